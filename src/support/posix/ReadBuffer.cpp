#include "support/posix/ReadBuffer.h"

#include "support/FileCalls.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t BufferBytes = 64 * 1024;
// Descriptors below this number can have a buffer; a program that opens its data file has a
// handful of descriptors, so the table is a plain array and a look-up costs no lock.
constexpr int TableSize = 1024;

// The bytes read ahead of one descriptor. While `known`, the descriptor's own position is
// start + filled and the reader stands at start + used. When not known (after a write), nothing
// is held and the descriptor's position is the reader's; the next read or seek learns it.
struct Buffer {
    off_t start = 0;
    std::uint32_t filled = 0;
    std::uint32_t used = 0;
    bool known = true;
    char data[BufferBytes];
};

std::atomic<Buffer*> table[TableSize];

Buffer* BufferOf(int descriptor) {
    if (descriptor < 0 || descriptor >= TableSize) {
        return nullptr;
    }
    return table[descriptor].load(std::memory_order_acquire);
}

// Makes the descriptor's position known again: where the reader stands, nothing held.
bool Learn(int descriptor, Buffer& held) {
    if (held.known) {
        return true;
    }
    const off_t position = lseek(descriptor, 0, SEEK_CUR);
    if (position < 0) {
        return false;
    }
    held.start = position;
    held.known = true;
    return true;
}

// One read of the system; retried only when a signal cut it off.
ssize_t ReadOnce(int descriptor, void* target, std::uint32_t bytes) {
    for (;;) {
        const ssize_t got = read(descriptor, target, bytes);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

std::int32_t SeekResult(off_t position) {
    return position < 0 || position > INT32_MAX ? FileError : static_cast<std::int32_t>(position);
}

} // namespace

void AttachReadBuffer(int descriptor) {
    if (descriptor < 0 || descriptor >= TableSize) {
        return;
    }
    Buffer* fresh = new (std::nothrow) Buffer;
    // A buffer left behind for this number belonged to a descriptor closed some other way.
    delete table[descriptor].exchange(fresh, std::memory_order_acq_rel);
}

void DetachReadBuffer(int descriptor) {
    if (descriptor >= 0 && descriptor < TableSize) {
        delete table[descriptor].exchange(nullptr, std::memory_order_acq_rel);
    }
}

bool ReadBuffered(int descriptor, void* buffer, std::uint32_t bytes, std::uint32_t& result) {
    Buffer* held = BufferOf(descriptor);
    if (!held || !Learn(descriptor, *held)) {
        return false;
    }
    char* target = static_cast<char*>(buffer);
    std::uint32_t done = 0;
    while (done < bytes) {
        if (held->used < held->filled) {
            const std::uint32_t take = std::min(held->filled - held->used, bytes - done);
            std::memcpy(target + done, held->data + held->used, take);
            held->used += take;
            done += take;
            continue;
        }
        held->start += held->filled;
        held->filled = 0;
        held->used = 0;
        // A request of a whole buffer or more goes straight to the caller's memory.
        const bool direct = bytes - done >= BufferBytes;
        const ssize_t got = direct ? ReadOnce(descriptor, target + done, bytes - done)
                                   : ReadOnce(descriptor, held->data, BufferBytes);
        if (got < 0) {
            result = done > 0 ? done : FileIoError;
            return true;
        }
        if (got == 0) {
            break;
        }
        if (direct) {
            held->start += got;
            done += static_cast<std::uint32_t>(got);
        } else {
            held->filled = static_cast<std::uint32_t>(got);
        }
    }
    result = done;
    return true;
}

bool SeekBuffered(int descriptor, std::int32_t offset, int origin, std::int32_t& result) {
    Buffer* held = BufferOf(descriptor);
    if (!held) {
        return false;
    }
    if (origin == FileSeekEnd || !held->known) {
        // The system decides; what was read ahead is dropped once the descriptor has moved.
        const off_t position = lseek(descriptor, offset,
                                     origin == FileSeekEnd       ? SEEK_END
                                     : origin == FileSeekCurrent ? SEEK_CUR
                                                                 : SEEK_SET);
        if (position >= 0) {
            held->start = position;
            held->filled = 0;
            held->used = 0;
            held->known = true;
        }
        result = SeekResult(position);
        return true;
    }
    const off_t target = (origin == FileSeekCurrent ? held->start + held->used : 0) + offset;
    if (target < 0) {
        // As lseek: a position before the file's start is refused, and nothing moves.
        errno = EINVAL;
        result = FileError;
        return true;
    }
    if (target >= held->start && target <= held->start + held->filled) {
        held->used = static_cast<std::uint32_t>(target - held->start);
        result = SeekResult(target);
        return true;
    }
    const off_t position = lseek(descriptor, target, SEEK_SET);
    if (position >= 0) {
        held->start = position;
        held->filled = 0;
        held->used = 0;
    }
    result = SeekResult(position);
    return true;
}

void SettleReadBuffer(int descriptor) {
    Buffer* held = BufferOf(descriptor);
    if (!held) {
        return;
    }
    if (held->known && held->used < held->filled) {
        lseek(descriptor, held->start + held->used, SEEK_SET);
    }
    // The write moves the descriptor's position; the next read or seek asks for it.
    held->filled = 0;
    held->used = 0;
    held->known = false;
}
