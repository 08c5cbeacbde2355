#include "app/PngTexts.h"

#include <array>
#include <cstring>

namespace {

constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t HeaderChunkSize = 8 + 13 + 4; // length and type, 13 bytes, CRC
constexpr std::size_t MaxKeywordLength = 79;

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

bool StartsWithHeader(const std::vector<std::uint8_t>& png) {
    return png.size() >= sizeof Signature + HeaderChunkSize &&
           std::memcmp(png.data(), Signature, sizeof Signature) == 0 &&
           std::memcmp(png.data() + 8, "\0\0\0\x0DIHDR", 8) == 0;
}

bool Valid(const PngText& text) {
    return !text.keyword.empty() && text.keyword.size() <= MaxKeywordLength &&
           text.keyword.find('\0') == std::string::npos &&
           text.text.find('\0') == std::string::npos;
}

} // namespace

bool AddPngTexts(std::vector<std::uint8_t>& png, const std::vector<PngText>& texts) {
    if (!StartsWithHeader(png)) {
        return false;
    }
    std::vector<std::uint8_t> chunks;
    for (const PngText& text : texts) {
        if (!Valid(text)) {
            return false;
        }
        // Length, type, keyword, NUL separator, text, CRC over type and data.
        PutBigEndian(chunks,
                     static_cast<std::uint32_t>(text.keyword.size() + 1 + text.text.size()));
        const std::size_t typeAt = chunks.size();
        chunks.insert(chunks.end(), {'t', 'E', 'X', 't'});
        chunks.insert(chunks.end(), text.keyword.begin(), text.keyword.end());
        chunks.push_back(0);
        chunks.insert(chunks.end(), text.text.begin(), text.text.end());
        PutBigEndian(chunks, Crc32(chunks.data() + typeAt, chunks.size() - typeAt));
    }
    png.insert(png.begin() + static_cast<std::ptrdiff_t>(sizeof Signature + HeaderChunkSize),
               chunks.begin(), chunks.end());
    return true;
}

std::string Cp1252ToLatin1(const char* text) {
    std::string latin1 = text != nullptr ? text : "";
    for (char& byte : latin1) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x80 && value < 0xA0) {
            byte = '?';
        }
    }
    return latin1;
}
