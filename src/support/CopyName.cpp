#include "support/CopyName.h"

namespace {

constexpr const char* Prefix = ".tonolot-";
constexpr std::size_t PrefixLength = 9;
constexpr const char* Suffix = ".tmp";
constexpr std::size_t DigitCount = 16;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

} // namespace

std::string NewCopyName() {
    unsigned char random[DigitCount / 2];
    if (!SystemRandom(random, sizeof random)) {
        return std::string();
    }
    constexpr const char* Digits = "0123456789abcdef";
    std::string name(Prefix);
    for (unsigned char byte : random) {
        name.push_back(Digits[byte >> 4]);
        name.push_back(Digits[byte & 15]);
    }
    return name + Suffix;
}

bool IsCopyName(const std::string& name) {
    if (name.size() != CopyNameLength || name.compare(0, PrefixLength, Prefix) != 0 ||
        name.compare(PrefixLength + DigitCount, std::string::npos, Suffix) != 0) {
        return false;
    }
    for (std::size_t i = PrefixLength; i < PrefixLength + DigitCount; ++i) {
        if (!IsHexDigit(name[i])) {
            return false;
        }
    }
    return true;
}
