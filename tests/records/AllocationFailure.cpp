#include "AllocationFailure.h"

#include <atomic>
#include <new>

namespace {

std::atomic<bool> failing{false};
std::atomic<int> refused{0};

} // namespace

AllocationFailure::AllocationFailure() {
    refused.store(0);
    failing.store(true);
}

AllocationFailure::~AllocationFailure() {
    failing.store(false);
}

int AllocationFailure::Refused() {
    return refused.load();
}

// Replaces the library's non-throwing array allocation for this test program. Otherwise it does
// what the library's does: forward to the throwing one, so new[] and delete[] stay a pair.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (failing.load()) {
        refused.fetch_add(1);
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}
