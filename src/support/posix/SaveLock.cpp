#include "support/SaveLock.h"
#include "support/posix/FileLayer.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr long PollMilliseconds = 20;

// The lock file beside the file a link names, so that every way to the data file meets it.
std::string LockPathFor(const char* path) {
    const std::string target = LinkTarget(path);
    return (target.empty() ? std::string(path) : target) + ".lock";
}

// True when path still names the file open in descriptor (its creator may have removed it).
bool StillNamed(int descriptor, const std::string& path) {
    struct stat held;
    struct stat named;
    return fstat(descriptor, &held) == 0 && lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void Pause() {
    timespec pause{0, PollMilliseconds * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// Creates the lock file, or opens the one there, never through a link; -1 when neither.
int OpenLockFile(const std::string& path, bool& created) {
    constexpr int Flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC;
    int descriptor = open(path.c_str(), Flags | O_CREAT | O_EXCL, 0666);
    created = descriptor >= 0;
    if (created) {
        // Every user of a shared folder must be able to lock it (the umask would keep them out).
        fchmod(descriptor, 0666);
        return descriptor;
    }
    if (errno != EEXIST) {
        return -1;
    }
    descriptor = open(path.c_str(), Flags);
    struct stat status;
    if (descriptor >= 0 && (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))) {
        close(descriptor);
        errno = EINVAL;
        return -1;
    }
    return descriptor;
}

} // namespace

SaveLockResult LockForSave(const char* path, std::uint32_t timeoutMilliseconds, SaveLock& lock) {
    const std::string lockPath = LockPathFor(path);
    // Polled rather than waited for: a wait could not be given up at the time limit.
    for (std::uint32_t waited = 0;; waited += PollMilliseconds) {
        bool created = false;
        const int descriptor = OpenLockFile(lockPath, created);
        if (descriptor < 0) {
            // Removed between the two opens: again. Anything else (a folder without the right
            // to add a file, a link or a folder at the name) leaves the save without a lock.
            if (errno == ENOENT && waited < timeoutMilliseconds) {
                continue;
            }
            return SaveLockResult::Unlocked;
        }
        struct flock range = {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        range.l_start = 0;
        range.l_len = 1;
        int result;
        while ((result = fcntl(descriptor, F_OFD_SETLK, &range)) != 0 && errno == EINTR) {
        }
        const bool busy = result != 0 && (errno == EAGAIN || errno == EACCES);
        if (result == 0 && !StillNamed(descriptor, lockPath)) {
            close(descriptor);
            if (waited >= timeoutMilliseconds) {
                return SaveLockResult::TimedOut;
            }
            continue; // its creator removed it meanwhile: a new one at once
        }
        if (!busy) {
            struct stat status;
            const bool own =
                result == 0 && fstat(descriptor, &status) == 0 && status.st_uid == geteuid();
            lock.handle = descriptor;
            lock.removedPath = created || own ? lockPath : std::string();
            return result == 0 ? SaveLockResult::Locked : SaveLockResult::Unlocked;
        }
        close(descriptor);
        if (waited >= timeoutMilliseconds) {
            return SaveLockResult::TimedOut;
        }
        Pause();
    }
}

void UnlockSave(SaveLock& lock) {
    if (lock.handle < 0) {
        return;
    }
    // Removed while still held, so nobody takes the lock of a file no longer named so.
    if (!lock.removedPath.empty()) {
        unlink(lock.removedPath.c_str());
    }
    // Closing the last descriptor of the description releases its lock.
    close(static_cast<int>(lock.handle));
    lock.handle = -1;
    lock.removedPath.clear();
}
