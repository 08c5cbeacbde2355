#pragma once

#include "support/TextString.h"

#include <string>

// Paths inside the core are UTF-8, while every text the user reads is cp1252. Converts a UTF-8
// text for display: characters that cp1252 has become its byte, all others (and bytes that are
// not valid UTF-8) become '?'. Replaces the content of `out`.
void Utf8ToCp1252(const char* utf8, TextString& out);

// The other way, for a front end that shows texts as UTF-8: each cp1252 byte becomes its
// character; the five bytes the code page leaves undefined become U+FFFD. Stops at the first NUL.
std::string Cp1252ToUtf8(const char* text);
