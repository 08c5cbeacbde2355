#pragma once

#include "support/TextString.h"

// Paths inside the core are UTF-8, while every text the user reads is cp1252. Converts a UTF-8
// text for display: characters that cp1252 has become its byte, all others (and bytes that are
// not valid UTF-8) become '?'. Replaces the content of `out`.
void Utf8ToCp1252(const char* utf8, TextString& out);
