#include "support/TextString.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Every string without block reads as this one text.
constexpr char SharedEmptyText[1] = {'\0'};

// The shared formatting buffer; constant-initialised, allocated by SharedTextBuffers or on the
// first Format.
char* formatBuffer = nullptr;
std::int32_t formatBufferSize = 0;

// Allocations above this size fail (see TextString::LimitAllocations).
std::uint32_t allocationLimit = TextString::WholeText;

constexpr std::uint32_t HeaderBytes = 4;
// Header, characters and terminator must fit a block of at most MaxBlockBytes.
constexpr std::uint32_t MaxCharacters = TextString::MaxBlockBytes - 12;
constexpr std::uint32_t ChunkBytes = 128;

void* Allocate(std::uint32_t bytes) {
    if (bytes == 0 || bytes > allocationLimit) {
        return nullptr;
    }
    return std::malloc(bytes);
}

// n + 5 rounded up to a multiple of 8; 0 when n is too large for a block.
std::uint32_t BlockBytesFor(std::uint32_t characters) {
    if (characters > MaxCharacters) {
        return 0;
    }
    return (characters + 12) & TextString::MaxBlockBytes;
}

std::uint32_t& CapacityOf(void* block) {
    return *static_cast<std::uint32_t*>(block);
}

char* CharactersOf(void* block) {
    return static_cast<char*>(block) + HeaderBytes;
}

// A new block with room for n characters and an empty text, or null.
void* NewBlock(std::uint32_t characters) {
    std::uint32_t bytes = BlockBytesFor(characters);
    void* block = bytes ? Allocate(bytes) : nullptr;
    if (block) {
        CapacityOf(block) = bytes;
        CharactersOf(block)[0] = '\0';
    }
    return block;
}

bool HasRoom(void* block, std::uint32_t characters) {
    return characters <= MaxCharacters && CapacityOf(block) >= characters + 5;
}

// Copies at most `length` bytes of the text, fewer when it ends earlier (the rest up to `length`
// is filled with NUL), and terminates at `length`. The texts are single-byte cp1252, so no
// double-byte lead byte can be split.
void CopyText(char* target, const char* text, std::uint32_t length) {
    // memchr stops at the first NUL, so a text shorter than `length` is not read past its end.
    const char* end = static_cast<const char*>(std::memchr(text, '\0', length));
    const std::size_t copied = end ? static_cast<std::size_t>(end - text) : length;
    std::memcpy(target, text, copied);
    std::memset(target + copied, 0, length - copied + 1);
}

// The first CR or LF among the n bytes, or null. The chunk may hold NUL bytes, so it is searched
// by length; the library's search is several times faster than a loop over the bytes.
const char* FirstLineEnd(const char* bytes, std::uint32_t n) {
    const char* lineFeed = static_cast<const char*>(std::memchr(bytes, '\n', n));
    const std::uint32_t before = lineFeed ? static_cast<std::uint32_t>(lineFeed - bytes) : n;
    const char* carriageReturn = static_cast<const char*>(std::memchr(bytes, '\r', before));
    return carriageReturn ? carriageReturn : lineFeed;
}

// Replaces the shared buffer by one of about twice the size (two thirds again and again while
// memory is short; never below one byte). Returns false when nothing at all could be allocated.
bool GrowFormatBuffer() {
    std::int32_t size = formatBufferSize > 0 ? formatBufferSize * 2 : TextString::FormatBufferStart;
    std::free(formatBuffer);
    formatBuffer = nullptr;
    formatBufferSize = 0;
    for (;;) {
        formatBuffer = static_cast<char*>(Allocate(static_cast<std::uint32_t>(size)));
        if (formatBuffer) {
            formatBufferSize = size;
            return true;
        }
        if (size <= 1) {
            return false;
        }
        size = size / 3 * 2;
        if (size < 1) {
            size = 1;
        }
    }
}

bool EnsureFormatBuffer() {
    if (formatBuffer) {
        return true;
    }
    return GrowFormatBuffer();
}

// Formats into the shared buffer; true when the whole text fitted. A text of exactly the
// buffer's size counts as not fitting: the buffer grows rather than losing its last character.
// A negative answer of the formatter (some platforms report a cut text so) counts as not fitting.
bool FormatIntoBuffer(const char* format, std::va_list arguments) {
    std::va_list copy;
    va_copy(copy, arguments);
    int written =
        std::vsnprintf(formatBuffer, static_cast<std::size_t>(formatBufferSize), format, copy);
    va_end(copy);
    formatBuffer[formatBufferSize - 1] = '\0';
    return written >= 0 && written < formatBufferSize;
}

} // namespace

TextString::~TextString() {
    Release();
}

void TextString::Release() {
    std::free(block);
    block = nullptr;
}

void TextString::Clear() {
    if (block) {
        CharactersOf(block)[0] = '\0';
    }
}

std::uint32_t TextString::Length() const {
    if (!block) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::strlen(CharactersOf(block)));
}

const char* TextString::Text() const {
    return block ? CharactersOf(block) : SharedEmptyText;
}

char* TextString::Buffer() {
    return block ? CharactersOf(block) : nullptr;
}

std::uint32_t TextString::Capacity() const {
    return block ? CapacityOf(block) : 0;
}

int TextString::Reserve(std::uint32_t characters) {
    if (characters == 0) {
        Release();
        return 1;
    }
    if (block && HasRoom(block, characters)) {
        CharactersOf(block)[0] = '\0';
        return 1;
    }
    Release();
    block = NewBlock(characters);
    return block ? 1 : 0;
}

int TextString::Grow(std::uint32_t characters) {
    if (!block) {
        block = NewBlock(characters);
        return block ? 1 : 0;
    }
    if (HasRoom(block, characters)) {
        return 1;
    }
    std::uint32_t room = characters + characters / 2;
    if (room < characters || room > MaxCharacters) {
        room = characters; // half again would not fit a block; try the bare need
    }
    void* larger = NewBlock(room);
    if (!larger) {
        return 0;
    }
    std::strcpy(CharactersOf(larger), CharactersOf(block));
    Release();
    block = larger;
    return 1;
}

int TextString::Assign(const char* text, std::uint32_t length) {
    if (!text) {
        Release();
        return 1;
    }
    if (block && text == CharactersOf(block)) {
        if (length < Length()) {
            SetChar(length, '\0');
        }
        return 1;
    }
    if (length == WholeText) {
        length = static_cast<std::uint32_t>(std::strlen(text));
    }
    if (length == 0) {
        Release();
        return 1;
    }
    if (!Reserve(length)) {
        return 0;
    }
    CopyText(CharactersOf(block), text, length);
    return 1;
}

int TextString::Append(const char* text, std::uint32_t length) {
    if (!text || text[0] == '\0' || length == 0) {
        return 1;
    }
    if (length == WholeText) {
        length = static_cast<std::uint32_t>(std::strlen(text));
    }
    return AppendBehind(Length(), text, length);
}

int TextString::AppendBehind(std::uint32_t current, const char* text, std::uint32_t length) {
    if (current == 0) {
        return Assign(text, length);
    }
    if (length > MaxCharacters - current || !Grow(current + length)) {
        return 0;
    }
    CopyText(CharactersOf(block) + current, text, length);
    return 1;
}

int TextString::SetChar(std::uint32_t index, char character) {
    if (block && index < Length()) {
        CharactersOf(block)[index] = character;
        return 1;
    }
    return Append(&character, 1);
}

const char* TextString::Format(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    const char* text = FormatList(format, arguments);
    va_end(arguments);
    return text;
}

const char* TextString::FormatList(const char* format, std::va_list arguments) {
    if (!EnsureFormatBuffer()) {
        // Not even one byte for the buffer: the formatted text is empty.
        Release();
        return Text();
    }
    while (!FormatIntoBuffer(format, arguments)) {
        std::int32_t oldSize = formatBufferSize;
        if (oldSize >= FormatBufferLimit) {
            break; // the cut text in the largest buffer is used
        }
        if (!GrowFormatBuffer()) {
            Release();
            return Text();
        }
        if (formatBufferSize <= oldSize) {
            // Memory is short: format once more into what was obtained and use the cut text.
            FormatIntoBuffer(format, arguments);
            break;
        }
    }
    Assign(formatBuffer);
    return Text();
}

std::int32_t TextString::LineReader(FileHandle file) {
    // 128 bytes, the look-ahead byte and a terminator.
    char chunk[ChunkBytes + 2];
    std::int32_t count = 0;
    // The text's length is counted once and then kept: counting it for every chunk would make a
    // long line cost the square of its length.
    std::uint32_t length = Length();
    // Appends the first n bytes of the chunk up to a NUL among them, as Append of the terminated
    // chunk does; on a failed allocation the text stays as it was.
    auto appendChunk = [&](std::uint32_t n) {
        const char* nul = static_cast<const char*>(std::memchr(chunk, '\0', n));
        const std::uint32_t text = nul ? static_cast<std::uint32_t>(nul - chunk) : n;
        if (text > 0 && AppendBehind(length, chunk, text)) {
            length += text;
        }
    };
    for (;;) {
        std::uint32_t n = FileRead(file, chunk, ChunkBytes);
        if (n == FileIoError || n > ChunkBytes) {
            // A failed read delivers nothing: keep what was read before it.
            return count > 0 ? count : -1;
        }
        const char* end = FirstLineEnd(chunk, n);
        if (!end) {
            appendChunk(n);
            count += static_cast<std::int32_t>(n);
            if (n == ChunkBytes) {
                continue;
            }
            if (count > 0) {
                return count;
            }
            return n > 0 ? 0 : -1;
        }
        std::uint32_t i = static_cast<std::uint32_t>(end - chunk);
        if (i == ChunkBytes - 1 && n == ChunkBytes) {
            // The line end is the last byte: its partner may be the next byte of the file.
            std::uint32_t extra = FileRead(file, &chunk[ChunkBytes], 1);
            if (extra == 1) {
                n = ChunkBytes + 1;
            }
        }
        char first = chunk[i];
        if (i > 0) {
            appendChunk(i);
            count += static_cast<std::int32_t>(i);
        }
        std::uint32_t used = i + 1;
        char partner = first == '\r' ? '\n' : '\r';
        if (used < n && chunk[used] == partner) {
            ++used;
        }
        if (used < n) {
            FileSeek(file, static_cast<std::int32_t>(used) - static_cast<std::int32_t>(n),
                     FileSeekCurrent);
        }
        return count; // n > 0 here, so an empty line gives 0
    }
}

int TextString::WriteTo(FileHandle file) const {
    std::uint32_t length = Length();
    if (length == 0) {
        return 1;
    }
    return FileWrite(file, Text(), length) == length ? 1 : 0;
}

std::int32_t TextString::FormatBufferSize() {
    return formatBufferSize;
}

void TextString::ReleaseFormatBuffer() {
    std::free(formatBuffer);
    formatBuffer = nullptr;
    formatBufferSize = 0;
}

void TextString::LimitAllocations(std::uint32_t bytes) {
    allocationLimit = bytes;
}

SharedTextBuffers::SharedTextBuffers() {
    // A failure here is not fatal: Format tries again on its first use.
    EnsureFormatBuffer();
}

SharedTextBuffers::~SharedTextBuffers() {
    TextString::ReleaseFormatBuffer();
}
