#pragma once

#include "support/Utf16.h"

#include <string>

// The UTF-8 paths of the file layer as the wide-character calls take them. wchar_t is 16 bits
// on Windows, so the UTF-16 text converts one to one.

// Empty (so the call fails) when the text is not valid UTF-8.
inline std::wstring Wide(const std::string& text) {
    std::u16string wide;
    Utf8ToUtf16(text, wide);
    return std::wstring(wide.begin(), wide.end());
}

// Empty when the text holds an unpaired surrogate.
inline std::string Narrow(const std::wstring& wide) {
    std::string text;
    Utf16ToUtf8(std::u16string(wide.begin(), wide.end()), text);
    return text;
}
