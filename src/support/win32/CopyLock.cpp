#include "support/CopyName.h"
#include "support/win32/FileLayer.h"

// Under Wine these locks are POSIX record locks of its server on the Linux side, which the
// native program's locks meet (see CopyLockOffset), so each program sees the other's saves.

namespace {

bool LockByte(HANDLE file, DWORD flags) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(CopyLockOffset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(CopyLockOffset >> 32);
    return LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

} // namespace

bool LockCopyForWriting(HANDLE copy) {
    return LockByte(copy, LOCKFILE_EXCLUSIVE_LOCK);
}

bool LockCopyForRemoval(HANDLE copy) {
    return LockByte(copy, 0);
}
