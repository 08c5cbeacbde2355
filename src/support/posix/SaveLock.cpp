#include "support/SaveLock.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr long PollMilliseconds = 20;

// True when path still names the file open in descriptor (another save may have replaced it).
bool StillNamed(int descriptor, const char* path) {
    struct stat held;
    struct stat named;
    return fstat(descriptor, &held) == 0 && stat(path, &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void Pause() {
    timespec pause{0, PollMilliseconds * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

} // namespace

SaveLockResult LockForSave(const char* path, std::uint32_t timeoutMilliseconds, SaveLock& lock) {
    // Polled rather than waited for: a wait could not be given up at the time limit.
    for (std::uint32_t waited = 0;; waited += PollMilliseconds) {
        // The link a person made to the file is followed, as the save follows it.
        const int descriptor = open(path, O_RDWR | O_CLOEXEC);
        if (descriptor < 0) {
            return SaveLockResult::Missing;
        }
        // Without any write permission bit the file is read-only, as for the file calls, even
        // to the super-user.
        struct stat status;
        if (fstat(descriptor, &status) != 0 ||
            (S_ISREG(status.st_mode) && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
            close(descriptor);
            return SaveLockResult::Missing;
        }
        struct flock range = {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        range.l_start = static_cast<off_t>(SaveLockOffset);
        range.l_len = 1;
        int result;
        while ((result = fcntl(descriptor, F_OFD_SETLK, &range)) != 0 && errno == EINTR) {
        }
        if (result != 0 && errno != EAGAIN && errno != EACCES) {
            lock.handle = descriptor;
            return SaveLockResult::Unlocked;
        }
        if (result == 0 && StillNamed(descriptor, path)) {
            lock.handle = descriptor;
            return SaveLockResult::Locked;
        }
        close(descriptor);
        if (result == 0) {
            continue; // replaced meanwhile: the new file at once
        }
        if (waited >= timeoutMilliseconds) {
            return SaveLockResult::TimedOut;
        }
        Pause();
    }
}

void UnlockSave(SaveLock& lock) {
    if (lock.handle >= 0) {
        // Closing the last descriptor of the description releases its lock.
        close(static_cast<int>(lock.handle));
        lock.handle = -1;
    }
}
