#pragma once

#include <string>

// UTF-8 to UTF-16 and back, for the wide-character calls of Windows (paths arrive as UTF-8) and
// for anything else that needs UTF-16. Written out here rather than through the system's
// conversion so both programs convert alike and the conversion is tested on every platform.

// False (and `wide` empty) when `text` is not valid UTF-8: overlong forms, surrogate halves and
// values beyond U+10FFFF count as invalid, so a bad name never maps onto a good one.
bool Utf8ToUtf16(const std::string& text, std::u16string& wide);
// False (and `text` empty) when `wide` holds an unpaired surrogate.
bool Utf16ToUtf8(const std::u16string& wide, std::string& text);
