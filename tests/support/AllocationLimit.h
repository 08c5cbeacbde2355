#pragma once

#include "support/TextString.h"

#include <cstdint>

// Limits TextString's allocations for a test, and lifts the limit again however the test ends.
struct AllocationLimit {
    explicit AllocationLimit(std::uint32_t bytes) { TextString::LimitAllocations(bytes); }
    ~AllocationLimit() { TextString::LimitAllocations(TextString::WholeText); }
};
