#pragma once

#include <cstdint>

// The lock that lets one copy of the program at a time read, merge and write a file that several
// copies (two windows, the native program beside tonolot.exe, computers sharing a folder) save
// into. It is an exclusive lock on one byte of the file itself, far behind any content (locks
// bind reads on Windows), at an offset of its own so it never meets a save's copy lock. An
// open-file-description lock natively and LockFileEx on Windows: under Wine both are POSIX
// record locks on the Linux side, so the two programs exclude each other, and the lock goes
// with a process that dies holding it.
//
// A save replaces the file with a new one: a copy that waited on the old file finds, once it has
// the lock, that the path names another file, and takes the lock on that one instead.

constexpr std::uint64_t SaveLockOffset = (std::uint64_t{1} << 40) - 1;

struct SaveLock {
    std::intptr_t handle = -1; // a descriptor or a HANDLE
};

enum class SaveLockResult {
    Locked,   // held until UnlockSave
    Unlocked, // the file system keeps no locks: go on without one
    Missing,  // the file cannot be opened for writing (gone, read-only): nothing to save into
    TimedOut, // another copy held it longer than the time given
};

// Opens the file at path for writing and takes the lock, waiting at most timeoutMilliseconds.
SaveLockResult LockForSave(const char* path, std::uint32_t timeoutMilliseconds, SaveLock& lock);
// Releases the lock and closes the file.
void UnlockSave(SaveLock& lock);
