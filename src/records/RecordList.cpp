#include "records/RecordList.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

RecordList::~RecordList() {
    Clear();
}

bool RecordList::Add(const PersonRecord& record) {
    // One slot always stays free: a list of capacity 8 holds at most 7 records.
    if (count + 1 >= capacity) {
        std::uint32_t grown = capacity < 64 ? capacity + 8 : capacity + capacity / 2;
        if (grown <= capacity || !GrowTo(grown)) {
            return false;
        }
    }
    std::memcpy(&items[count], &record, sizeof(PersonRecord));
    ++count;
    return true;
}

bool RecordList::GrowTo(std::uint32_t slots) {
    // Fewer slots than records in use would lose records (and write past the new array), and a
    // size the address space cannot hold would wrap around; both are refused like a failed
    // allocation.
    if (slots <= count ||
        slots > std::numeric_limits<std::ptrdiff_t>::max() / sizeof(PersonRecord)) {
        return false;
    }
    // Not zeroed: only the slots below `count` are ever read, each written whole by Add first.
    // Zeroing a large array touched every page of it once more (a tenth of a large load).
    PersonRecord* grown = new (std::nothrow) PersonRecord[slots];
    if (grown == nullptr) {
        return false;
    }
    if (count > 0) {
        std::memcpy(grown, items, static_cast<std::size_t>(count) * sizeof(PersonRecord));
    }
    delete[] items;
    items = grown;
    capacity = slots;
    return true;
}

PersonRecord* RecordList::At(std::int32_t index) {
    // Compared unsigned, so -1 (a list box without selection) yields no record.
    return static_cast<std::uint32_t>(index) < count ? &items[index] : nullptr;
}

const PersonRecord* RecordList::At(std::int32_t index) const {
    return static_cast<std::uint32_t>(index) < count ? &items[index] : nullptr;
}

void RecordList::Clear() {
    delete[] items;
    items = nullptr;
    count = 0;
    capacity = 0;
}

void RecordList::Swap(RecordList& other) {
    std::swap(count, other.count);
    std::swap(capacity, other.capacity);
    std::swap(items, other.items);
}
