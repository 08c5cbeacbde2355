#include "support/Utf16.h"

#include <cstdint>

namespace {

// The number of continuation bytes behind a lead byte and the smallest value such a sequence
// may hold (smaller ones are overlong); false for a byte that cannot lead.
bool LeadOf(unsigned char byte, int& following, char32_t& value, char32_t& smallest) {
    if (byte < 0x80) {
        following = 0;
        value = byte;
        smallest = 0;
    } else if ((byte & 0xE0) == 0xC0) {
        following = 1;
        value = byte & 0x1F;
        smallest = 0x80;
    } else if ((byte & 0xF0) == 0xE0) {
        following = 2;
        value = byte & 0x0F;
        smallest = 0x800;
    } else if ((byte & 0xF8) == 0xF0) {
        following = 3;
        value = byte & 0x07;
        smallest = 0x10000;
    } else {
        return false;
    }
    return true;
}

} // namespace

bool Utf8ToUtf16(const std::string& text, std::u16string& wide) {
    wide.clear();
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        int following = 0;
        char32_t value = 0;
        char32_t smallest = 0;
        if (!LeadOf(static_cast<unsigned char>(text[i++]), following, value, smallest) ||
            text.size() - i < static_cast<std::size_t>(following)) {
            wide.clear();
            return false;
        }
        for (int k = 0; k < following; ++k) {
            const auto byte = static_cast<unsigned char>(text[i++]);
            if ((byte & 0xC0) != 0x80) {
                wide.clear();
                return false;
            }
            value = (value << 6) | (byte & 0x3F);
        }
        if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            wide.clear();
            return false;
        }
        if (value >= 0x10000) {
            value -= 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(value));
        }
    }
    return true;
}

bool Utf16ToUtf8(const std::u16string& wide, std::string& text) {
    text.clear();
    text.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t value = wide[i];
        if (value >= 0xD800 && value <= 0xDFFF) {
            if (value > 0xDBFF || i + 1 == wide.size() || wide[i + 1] < 0xDC00 ||
                wide[i + 1] > 0xDFFF) {
                text.clear();
                return false;
            }
            value = 0x10000 + ((value - 0xD800) << 10) + (wide[++i] - 0xDC00);
        }
        if (value < 0x80) {
            text.push_back(static_cast<char>(value));
        } else if (value < 0x800) {
            text.push_back(static_cast<char>(0xC0 | (value >> 6)));
            text.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else if (value < 0x10000) {
            text.push_back(static_cast<char>(0xE0 | (value >> 12)));
            text.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else {
            text.push_back(static_cast<char>(0xF0 | (value >> 18)));
            text.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    }
    return true;
}
