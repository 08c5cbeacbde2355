#include "support/CopyName.h"
#include "support/posix/FileLayer.h"

#include <cerrno>
#include <fcntl.h>

// Open-file-description locks, not flock: Wine's LockFileEx becomes a POSIX record lock taken by
// its server, which only these meet, so the native program and tonolot.exe see each other's
// locks. They belong to the descriptor, not the process, so no other descriptor's close drops
// them.

namespace {

bool SetLock(int descriptor, short type, bool& unsupported) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(CopyLockOffset);
    lock.l_len = 1;
    for (;;) {
        if (fcntl(descriptor, F_OFD_SETLK, &lock) == 0) {
            unsupported = false;
            return true;
        }
        if (errno != EINTR) {
            unsupported = errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL;
            return false;
        }
    }
}

} // namespace

bool LockCopyForWriting(int descriptor) {
    bool unsupported = false;
    return SetLock(descriptor, F_WRLCK, unsupported) || unsupported;
}

bool LockCopyForRemoval(int descriptor, bool read) {
    bool unsupported = false;
    // Where locks are not kept, nothing tells a live copy from a leftover: it stays.
    return SetLock(descriptor, read ? F_RDLCK : F_WRLCK, unsupported);
}
