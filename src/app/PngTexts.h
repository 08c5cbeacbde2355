#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A text field of a PNG file (a tEXt chunk): a keyword such as "Title" or "Creation Time" and
// its text, both Latin-1.
struct PngText {
    std::string keyword;
    std::string text;
};

// Puts the texts into the bytes of a PNG file as tEXt chunks right behind the header chunk, so
// every reader finds them before the pixel data. The encoders of both platforms write the pixels;
// this only frames the texts. False, and the bytes unchanged, when they do not begin with a PNG
// signature and a header chunk, or a keyword is not 1 to 79 characters or a text holds a NUL.
bool AddPngTexts(std::vector<std::uint8_t>& png, const std::vector<PngText>& texts);

// The cp1252 text as Latin-1: the code page's own signs in 0x80..0x9F (the euro sign, curved
// quotes...) have no Latin-1 character and become '?'; every other byte is the same character.
std::string Cp1252ToLatin1(const char* text);
