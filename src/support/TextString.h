#pragma once

#include "support/FileCalls.h"

#include <cstdint>

// The system's growable 8-bit text (cp1252), stored in one heap block that carries its own
// capacity. A string without block is empty and reads as the shared empty text.
class TextString {
public:
    // A length of -1 (all bits set) stands for the whole text up to its terminator.
    static constexpr std::uint32_t WholeText = 0xFFFFFFFFu;

    TextString() = default;
    virtual ~TextString();
    TextString(const TextString&) = delete;
    TextString& operator=(const TextString&) = delete;

    void Release();
    std::uint32_t Length() const;
    const char* Text() const;
    char* Buffer();

    int Reserve(std::uint32_t characters);
    int Grow(std::uint32_t characters);
    int Assign(const char* text, std::uint32_t length = WholeText);
    int Append(const char* text, std::uint32_t length = WholeText);
    int SetChar(std::uint32_t index, char character);
    const char* Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Appends the next line of the file; the number of characters, 0 for an empty line, -1 at
    // the end of the file.
    std::int32_t LineReader(FileHandle file);
    // Writes the text without terminator; 1 when every byte was written.
    int WriteTo(FileHandle file) const;

private:
    void* block = nullptr;
};
