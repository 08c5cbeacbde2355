#pragma once

#include "support/FileCalls.h"

#include <cstdarg>
#include <cstdint>

// The system's growable 8-bit text (cp1252), stored in one heap block that carries its own
// capacity. A string without block is empty and reads as the shared empty text.
//
// The block is a 32-bit capacity (the size of the whole block, header included) followed by the
// characters and their terminator. A block made for n characters has n + 5 bytes rounded up to a
// multiple of 8; blocks are reused whenever they are large enough and never shrink.
//
// Process-wide state and its order of life:
// - The shared empty text is a constant array, ready before any constructor runs, so a string
//   defined in any file (the application object among them) can read it at any time.
// - The shared formatting buffer of Format starts as null and 0 (constant-initialised, so there is
//   no order of initialisation across files to get wrong). SharedTextBuffers allocates its 1024
//   bytes and frees it again: the program defines one SharedTextBuffers in its main file before
//   its HearingTest, so the buffer is released after HearingTest (whose SaveRecords still formats
//   numbers) is destroyed. Without such an object (tests) Format allocates the buffer on first
//   use; ReleaseFormatBuffer frees it.
class TextString {
public:
    // A length of -1 (all bits set) stands for the whole text up to its terminator.
    static constexpr std::uint32_t WholeText = 0xFFFFFFFFu;
    // The formatting buffer starts with this many bytes and doubles up to FormatBufferLimit.
    static constexpr std::int32_t FormatBufferStart = 1024;
    static constexpr std::int32_t FormatBufferLimit = 0x80000;
    // The largest block the string makes; longer requests fail like a failed allocation.
    static constexpr std::uint32_t MaxBlockBytes = 0x7FFFFFF8u;

    TextString() = default;
    virtual ~TextString();
    TextString(const TextString&) = delete;
    TextString& operator=(const TextString&) = delete;

    // Frees the block; the string is empty.
    void Release();
    // Empties the text and keeps the block, for a string filled again and again.
    void Clear();
    // Characters before the first terminator, counted on every call; 0 without block.
    std::uint32_t Length() const;
    // The characters, or the shared empty text; never null.
    const char* Text() const;
    // The block's character area (Capacity() - 4 bytes) for writing in place; null without block.
    char* Buffer();
    // Size of the block in bytes, header included; 0 without block.
    std::uint32_t Capacity() const;

    // Room for n characters; the content is discarded. 1, or 0 when the allocation failed (the
    // string is then empty).
    int Reserve(std::uint32_t characters);
    // Room for n characters, keeping the content; a new block gets half again as much room.
    // 1, or 0 when the allocation failed (the content stays).
    int Grow(std::uint32_t characters);
    // The string becomes the first `length` characters of the text (fewer if it ends earlier).
    // Null, an empty text or length 0 free the block. The string's own text is cut, not copied.
    int Assign(const char* text, std::uint32_t length = WholeText);
    // Adds the first `length` characters of the text. Appending the string's own text is not
    // supported.
    int Append(const char* text, std::uint32_t length = WholeText);
    // Replaces the character at index (a NUL cuts the text there), or appends it when the index
    // lies at or past the end (a NUL is then not appended).
    int SetChar(std::uint32_t index, char character);
    // printf-style formatting through the shared buffer; the string becomes the formatted text
    // and its Text() is returned.
    const char* Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* FormatList(const char* format, std::va_list arguments);

    // Appends the next line of the file and moves the file position to the start of the following
    // line. Returns the number of characters of the line (its line end not counted), 0 for an
    // empty line, -1 at the end of the file. A read error counts as the end of the file: what was
    // read before it is kept, nothing that was not read is appended.
    std::int32_t LineReader(FileHandle file);
    // Writes the text without terminator; 1 when every byte was written (or the text is empty).
    int WriteTo(FileHandle file) const;

    // The shared formatting buffer's size in bytes (0 while it is not allocated).
    static std::int32_t FormatBufferSize();
    // Frees the shared formatting buffer; the next Format allocates it again.
    static void ReleaseFormatBuffer();
    // Makes every allocation of strings and of the formatting buffer larger than `bytes` fail, to
    // show what happens while memory is short; WholeText lifts the limit. For tests.
    static void LimitAllocations(std::uint32_t bytes);

private:
    // Append behind a text whose length the caller knows to be `current`; `length` characters of
    // the text, fewer when it ends earlier.
    int AppendBehind(std::uint32_t current, const char* text, std::uint32_t length);

    void* block = nullptr;
};

// Holds the shared formatting buffer for the life of the program (see above).
class SharedTextBuffers {
public:
    SharedTextBuffers();
    ~SharedTextBuffers();
    SharedTextBuffers(const SharedTextBuffers&) = delete;
    SharedTextBuffers& operator=(const SharedTextBuffers&) = delete;
};
