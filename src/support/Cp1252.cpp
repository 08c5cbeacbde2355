#include "support/Cp1252.h"

#include <cstdint>

namespace {

// The characters of cp1252's bytes 0x80..0x9F; 0 where the code page has none.
constexpr std::uint16_t HighControlBlock[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToCp1252(std::uint32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<char>(character);
    }
    for (int i = 0; i < 32; ++i) {
        if (HighControlBlock[i] != 0 && HighControlBlock[i] == character) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

// Decodes one UTF-8 character at `text`; sets `length` to the bytes it takes (at least 1) and
// returns 0xFFFFFFFF for a byte that starts no valid sequence.
std::uint32_t Decode(const unsigned char* text, int& length) {
    constexpr std::uint32_t Invalid = 0xFFFFFFFFu;
    length = 1;
    const unsigned char lead = text[0];
    if (lead < 0x80) {
        return lead;
    }
    int following = 0;
    std::uint32_t character = 0;
    std::uint32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        following = 1;
        character = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        following = 2;
        character = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        following = 3;
        character = lead & 0x07;
        smallest = 0x10000;
    } else {
        return Invalid;
    }
    for (int i = 1; i <= following; ++i) {
        if ((text[i] & 0xC0) != 0x80) {
            return Invalid; // also stops at the terminator
        }
        character = (character << 6) | (text[i] & 0x3F);
    }
    if (character < smallest || character > 0x10FFFF) {
        return Invalid; // an overlong form or beyond Unicode
    }
    length = 1 + following;
    return character;
}

} // namespace

void Utf8ToCp1252(const char* utf8, TextString& out) {
    out.Release();
    if (utf8 == nullptr) {
        return;
    }
    const auto* text = reinterpret_cast<const unsigned char*>(utf8);
    char converted[2] = {};
    while (*text != 0) {
        int length = 1;
        const std::uint32_t character = Decode(text, length);
        converted[0] = character == 0xFFFFFFFFu ? '?' : ToCp1252(character);
        out.Append(converted, 1);
        text += length;
    }
}

std::string Cp1252ToUtf8(const char* text) {
    std::string utf8;
    if (text == nullptr) {
        return utf8;
    }
    for (const auto* byte = reinterpret_cast<const unsigned char*>(text); *byte != 0; ++byte) {
        std::uint32_t character = *byte;
        if (character >= 0x80 && character < 0xA0) {
            character = HighControlBlock[character - 0x80];
            if (character == 0) {
                character = 0xFFFD;
            }
        }
        if (character < 0x80) {
            utf8.push_back(static_cast<char>(character));
        } else if (character < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (character >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (character & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xE0 | (character >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (character & 0x3F)));
        }
    }
    return utf8;
}
