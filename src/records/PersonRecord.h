#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// One person's measurement: a name of at most 127 characters (cp1252, NUL-terminated) and ten
// levels per ear, one per tone index. The record is copied and compared as a whole block of
// bytes, the bytes behind the name's terminator included, and its layout is part of the data
// that moves between the list, the chart and the data file.
struct PersonRecord {
    static constexpr int NameSize = 128;
    static constexpr int LevelCount = 10;

    char name[NameSize];
    std::int32_t left[LevelCount];
    std::int32_t right[LevelCount];
};

static_assert(sizeof(PersonRecord) == 208, "a person record is exactly 208 bytes");
static_assert(offsetof(PersonRecord, left) == 128);
static_assert(offsetof(PersonRecord, right) == 168);

// Whole-record comparison, every one of the 208 bytes.
inline bool SameBytes(const PersonRecord& a, const PersonRecord& b) {
    return std::memcmp(&a, &b, sizeof(PersonRecord)) == 0;
}
