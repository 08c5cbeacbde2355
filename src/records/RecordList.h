#pragma once

#include "records/PersonRecord.h"

#include <cstdint>

// The growable array of person records. Entries are never removed, inserted or moved, so an
// index stays valid for the whole run; entry 0 is the standard. It grows by 8 slots below a
// capacity of 64 and by half its capacity from there, and always keeps one slot free.
class RecordList {
public:
    RecordList() = default;
    ~RecordList();
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    // Copies the record to the end; when the larger array cannot be allocated nothing is added.
    // Returns whether it was added (callers of the system ignore it).
    bool Add(const PersonRecord& record);
    // Moves the records into an array of the given number of slots; false, leaving the list as
    // it was, when the array cannot be allocated or would not hold the records plus a free slot.
    bool GrowTo(std::uint32_t slots);
    // The record at index, or null; the index is compared unsigned, so -1 yields null.
    PersonRecord* At(std::int32_t index);
    const PersonRecord* At(std::int32_t index) const;
    void Clear();
    // Exchanges the contents of the two lists (a save hands its merged list over so).
    void Swap(RecordList& other);

    std::uint32_t count = 0;
    std::uint32_t capacity = 0;
    PersonRecord* items = nullptr;
};
