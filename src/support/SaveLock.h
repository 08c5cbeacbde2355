#pragma once

#include <cstdint>
#include <string>

// The lock that lets one copy of the program at a time read, merge and write a data file that
// several copies (two windows, the native program beside tonolot.exe, computers sharing a folder)
// save into. It is an exclusive lock on a small, empty lock file beside the data file,
// "<name>.lock": not on the data file itself, which a save replaces and which Windows cannot
// replace while it is open. An open-file-description lock natively and LockFileEx on Windows:
// under Wine both are POSIX record locks on the Linux side, so the two programs exclude each
// other, and the lock goes with a process that dies holding it.
//
// The lock file is created exclusively and never opened through a link. The save that holds it
// removes it again (when it made it, or it is the user's own, left by a save that was cut off)
// while it still holds the lock; a copy that waited on it then finds that the name no longer
// names the file it locked, and tries anew.

struct SaveLock {
    std::intptr_t handle = -1; // a descriptor or a HANDLE
    std::string removedPath;   // the lock file, when this save removes it at the end
};

enum class SaveLockResult {
    Locked,   // held until UnlockSave
    Unlocked, // no lock can be had here (the folder takes no new file, the file system keeps no
              // locks): the save goes on without one, as a single copy's always did
    TimedOut, // another copy held it longer than the time given
};

// Takes the lock for the data file at path, waiting at most timeoutMilliseconds.
SaveLockResult LockForSave(const char* path, std::uint32_t timeoutMilliseconds, SaveLock& lock);
// Removes the lock file where this save may, then releases the lock.
void UnlockSave(SaveLock& lock);
