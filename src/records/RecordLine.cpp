#include "records/RecordLine.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

// Levels are read and written eight digits at a time in a 64-bit word: a file holds two levels
// per ten bytes, and a loop over the digits mispredicts its end at nearly every level, since the
// levels' lengths follow no pattern. The words' byte order is that of memory on the little-endian
// machines the program is built for.
static_assert(std::endian::native == std::endian::little, "levels are put as little-endian words");

namespace {

constexpr char NameSeparator = '\xF7';
constexpr const char* LeftMarker = "\xF7 L";
constexpr const char* RightMarker = " R";
constexpr const char* LineEnd = "\r\n";
constexpr std::int32_t MissingLevel = 50;

constexpr std::uint64_t EveryByte(std::uint8_t byte) {
    return 0x0101010101010101u * byte;
}

// Bytes 0x01-0x20 and 0x80-0xFF (at most 32 as signed 8-bit numbers) separate values.
bool IsSeparator(char byte) {
    return byte != '\0' && static_cast<signed char>(byte) <= 32;
}

// Reads a decimal number with optional sign at `text` into `number`; no digits give 0. A number
// beyond the signed 32-bit range is clamped to that range rather than wrapping. Returns the first
// byte behind the sign and the digits.
const char* ReadNumber(const char* text, std::int32_t& number) {
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value >= limit) {
            value = limit;
        }
    }
    number = static_cast<std::int32_t>(negative ? -value : value);
    return text;
}

// A non-zero byte for each of the word's bytes that is no digit '0'-'9', correct up to and
// including the first such byte (a carry out of a byte 0xFA-0xFF only changes the bytes behind
// it).
std::uint64_t NonDigits(std::uint64_t word) {
    const std::uint64_t high = word & EveryByte(0xF0);
    const std::uint64_t highOfSum = (word + EveryByte(0x06)) & EveryByte(0xF0);
    return (high ^ EveryByte(0x30)) | (highOfSum ^ EveryByte(0x30));
}

// The value of the `count` digits (1 to 8) that start the word, the first the most significant.
std::uint32_t DigitsValue(std::uint64_t word, int count) {
    // The digits move to the top, the bytes behind them drop out and zeros lead. Then pairs of
    // digits become numbers 0-99 (each times 10 plus the next), those 0-9999, those the value.
    std::uint64_t value = (word << (8 * (8 - count))) & EveryByte(0x0F);
    value = (value * 2561) >> 8;
    value = ((value & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
    return static_cast<std::uint32_t>(((value & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32);
}

// Reads `count` values from `cursor` on into `levels`; values that are missing, not numbers, or
// 0 or less read as 50. `end` is the line's terminator. Returns where reading stopped.
const char* ReadLevels(const char* cursor, const char* end, std::int32_t* levels) {
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        while (IsSeparator(*cursor)) {
            ++cursor;
        }
        // A negative number reads as 50 whatever its digits. A branch, not arithmetic: the
        // next value's place then does not wait for this byte.
        bool negative = false;
        const char* digits = cursor;
        if (*cursor == '+' || *cursor == '-') [[unlikely]] {
            negative = *cursor == '-';
            ++digits;
        }
        std::int32_t value = 0;
        std::uint64_t nonDigits = 0;
        std::uint64_t word = 0;
        // Eight bytes from the digits on lie within the line and its terminator.
        if (end - digits >= 7) {
            std::memcpy(&word, digits, sizeof word);
            nonDigits = NonDigits(word);
        }
        if (nonDigits != 0) {
            // Fewer than eight digits: no clamping either.
            const int count = std::countr_zero(nonDigits) / 8;
            value = count > 0 ? static_cast<std::int32_t>(DigitsValue(word, count)) : 0;
            cursor = digits + count;
        } else {
            // Eight digits or more, or the line's last bytes: one at a time.
            cursor = ReadNumber(cursor, value);
        }
        levels[i] = !negative && value > 0 ? value : MissingLevel;
        while (*cursor && !IsSeparator(*cursor)) {
            ++cursor;
        }
    }
    return cursor;
}

// The eight decimal digits of a value below 10^8 as digit values 0-9, the most significant in the
// lowest byte: the value is split in halves of four digits, those in pairs, the pairs in digits,
// every lane of a step at once.
std::uint64_t EightDigits(std::uint32_t value) {
    const std::uint64_t quads = (value / 10000) | (static_cast<std::uint64_t>(value % 10000) << 32);
    const std::uint64_t hundreds = ((quads * 10486) >> 20) & 0x0000007F0000007Fu;
    const std::uint64_t pairs = hundreds | ((quads - 100 * hundreds) << 16);
    const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Fu;
    return tens | ((pairs - 10 * tens) << 8);
}

// Each level as " %ld" would write it: a space, a '-' for negative values, the decimal digits.
// A level of fewer than nine digits (every level the program measures) is stored as one word of
// eight bytes, its leading zeros shifted out; the bytes behind it are overwritten later or lie
// in the room behind the line.
char* PutLevels(char* out, const std::int32_t* levels) {
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        *out++ = ' ';
        const std::int32_t level = levels[i];
        if (level < 0 || level >= 100000000) {
            out = std::to_chars(out, out + 11, level).ptr;
            continue;
        }
        const std::uint64_t digits = EightDigits(static_cast<std::uint32_t>(level));
        // The top bit stands in for the last digit, so that 0 still writes one digit.
        const int zeros = std::countr_zero(digits | (std::uint64_t{1} << 63)) / 8;
        const std::uint64_t text = (digits + EveryByte('0')) >> (8 * zeros);
        std::memcpy(out, &text, sizeof text);
        out += 8 - zeros;
    }
    return out;
}

} // namespace

char* PutRecordLine(const PersonRecord& record, bool last, char* out) {
    const void* nameEnd = std::memchr(record.name, '\0', PersonRecord::NameSize - 1);
    out = std::copy(record.name,
                    nameEnd ? static_cast<const char*>(nameEnd)
                            : record.name + (PersonRecord::NameSize - 1),
                    out);
    out = std::copy_n(LeftMarker, 3, out);
    out = PutLevels(out, record.left);
    out = std::copy_n(RightMarker, 2, out);
    out = PutLevels(out, record.right);
    if (!last) {
        out = std::copy_n(LineEnd, 2, out);
    }
    return out;
}

bool ReadRecordLine(const char* line, std::size_t length, PersonRecord& record) {
    const char* separator = static_cast<const char*>(std::memchr(line, NameSeparator, length));
    if (!separator) {
        return false;
    }
    // The name keeps the rest of the line's first 128 bytes behind its terminator.
    std::memset(record.name, 0, sizeof record.name);
    std::memcpy(record.name, line, length < sizeof record.name ? length : sizeof record.name);
    record.name[PersonRecord::NameSize - 1] = '\0';
    std::size_t nameLength = static_cast<std::size_t>(separator - line);
    if (nameLength < sizeof record.name) {
        record.name[nameLength] = '\0';
    }

    const char* end = line + length;
    const char* marker = static_cast<const char*>(
        std::memchr(separator, 'L', static_cast<std::size_t>(end - separator)));
    if (!marker) {
        return false;
    }
    const char* cursor = ReadLevels(marker + 1, end, record.left);
    // The R counts only after the tenth left value; fewer left values read on into the right ones.
    const char* right = std::strrchr(cursor, 'R');
    if (right) {
        ReadLevels(right + 1, end, record.right);
    } else {
        std::memcpy(record.right, record.left, sizeof record.right);
    }
    return true;
}
