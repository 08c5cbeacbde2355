#include "support/FileCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsNoSpace(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// Takes the disk room for `size` bytes before anything is written; the file keeps its old
// length and content when the room cannot be had. 0 or the error.
int Reserve(int descriptor, off_t oldSize, off_t size) {
    if (size <= oldSize) {
        return 0;
    }
    const int error = posix_fallocate(descriptor, 0, size);
    if (error == 0 || error == EOPNOTSUPP || error == EINVAL) {
        // A file system that cannot reserve (and the emulation cannot either) gets the plain
        // write.
        return 0;
    }
    struct stat now;
    if (fstat(descriptor, &now) == 0 && now.st_size > oldSize && ftruncate(descriptor, oldSize)) {
        // The length stays as the failed reservation left it; the content before it is unchanged.
    }
    return error;
}

bool WriteAt(int descriptor, const char* bytes, std::size_t size) {
    off_t offset = 0;
    while (size > 0) {
        const ssize_t put = pwrite(descriptor, bytes, size, offset);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
        offset += put;
    }
    return true;
}

} // namespace

InPlaceResult FileWriteInPlace(const char* path, const void* bytes, std::size_t size) {
    // The file as it is; not a link planted at its name since the save began.
    const int descriptor = open(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return InPlaceResult::Failed;
    }
    struct stat status;
    InPlaceResult result = InPlaceResult::Failed;
    // A file without any write permission bit is read-only, also to the super-user (FileOpen).
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
        (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0) {
        const off_t length = static_cast<off_t>(size);
        const int error = Reserve(descriptor, status.st_size, length);
        if (error != 0) {
            result = IsNoSpace(error) ? InPlaceResult::NoSpace : InPlaceResult::Failed;
        } else if (WriteAt(descriptor, static_cast<const char*>(bytes), size) &&
                   ftruncate(descriptor, length) == 0 && fsync(descriptor) == 0) {
            result = InPlaceResult::Written;
        }
    }
    close(descriptor);
    return result;
}
