#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB pictures (three bytes per pixel, rows top to bottom) for a person to look at:
// binary PPM, and PNG with uncompressed ("stored") deflate blocks, so no library is needed.
// Both return false when the file cannot be written or the picture is malformed.
bool WritePpm(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

// CRC-32 as PNG chunks use it and Adler-32 as zlib streams use it.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size);
