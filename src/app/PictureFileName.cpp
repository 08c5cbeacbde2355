#include "app/PictureFileName.h"

#include "support/Cp1252.h"

#include <cstring>

namespace {

constexpr const char* PngExtension = ".png";
constexpr const char* UnnamedPicture = "Audiogramm";

bool FileNameCannotHold(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || std::strchr("\\/:*?\"<>|", byte) != nullptr;
}

} // namespace

std::string SuggestedPictureName(const char* name) {
    std::string cp1252 = name != nullptr ? name : "";
    const std::size_t first = cp1252.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::string(UnnamedPicture) + PngExtension;
    }
    cp1252 = cp1252.substr(first, cp1252.find_last_not_of(' ') - first + 1);
    // Every byte the set holds is ASCII, so replacing in cp1252 is replacing the character.
    for (char& byte : cp1252) {
        if (FileNameCannotHold(static_cast<unsigned char>(byte))) {
            byte = '_';
        }
    }
    return Cp1252ToUtf8(cp1252.c_str()) + PngExtension;
}

bool HasPngExtension(const std::string& path) {
    const std::size_t length = std::strlen(PngExtension);
    if (path.size() < length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        char c = path[path.size() - length + i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != PngExtension[i]) {
            return false;
        }
    }
    return true;
}

std::string WithPngExtension(const std::string& path) {
    return HasPngExtension(path) ? path : path + PngExtension;
}

bool IsReservedDeviceName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
    base = base.substr(0, base.find('.'));
    // Windows ignores blanks behind the device's name ("NUL .png").
    base.erase(base.find_last_not_of(' ') + 1);
    for (char& c : base) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") {
        return true;
    }
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}
