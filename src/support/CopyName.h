#pragma once

#include <cstdint>
#include <string>

// The copies a save writes beside a file before they take its place (see FileReplacement) are
// named ".tonolot-<16 hex digits>.tmp": short whatever the file is called, so a name at the
// length limit still gets a copy, and drawn from the system's random source, so nobody can
// plant a link or file at the name ahead of the save. Both programs use this one pattern, so
// either removes what a save of the other left behind.

constexpr std::size_t CopyNameLength = 29;

// A new copy name; empty when the system gave no random bytes.
std::string NewCopyName();
// True for a name of the pattern (a file name only, no folder).
bool IsCopyName(const std::string& name);

// A save holds a lock on this one byte of its copy from making it until the copy has taken the
// file's place or is removed: an exclusive one while it writes, and a removal of leftovers takes
// a shared one first, so a copy whose lock can be had belongs to a save that ended. The byte lies
// far behind any content, so the lock never stands in the way of reading or writing the copy
// (locks are binding on Windows). Under Wine a lock of the Windows program is a POSIX record
// lock on the Linux side, which the native program's open-file-description lock meets.
constexpr std::uint64_t CopyLockOffset = std::uint64_t{1} << 40;

// Fills `bytes` from the system's random source; false when it gave none.
bool SystemRandom(void* bytes, std::size_t size);
