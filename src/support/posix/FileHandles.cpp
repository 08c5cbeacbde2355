#include "support/FileCalls.h"
#include "support/posix/ReadBuffer.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The integer-handle file calls over POSIX descriptors, with the results of the Windows calls:
// FileError (-1) for a failed open, seek or close, FileIoError for a failed read or write.

namespace {

int OpenFlagsFor(int mode) {
    switch (mode & 3) {
    case FileOpenWrite:
        return O_WRONLY;
    case FileOpenReadWrite:
        return O_RDWR;
    default:
        return O_RDONLY;
    }
}

// A file without any write permission bit is what the read-only attribute is on Windows: it
// cannot be opened for writing, not even by the super-user.
bool IsReadOnly(int descriptor) {
    struct stat status;
    return fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
           (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

FileHandle FileOpen(const char* path, int mode) {
    int flags = OpenFlagsFor(mode);
    int descriptor = open(path, flags | O_CLOEXEC);
    if (descriptor < 0) {
        return FileError;
    }
    if (flags != O_RDONLY && IsReadOnly(descriptor)) {
        close(descriptor);
        errno = EACCES;
        return FileError;
    }
    AttachReadBuffer(descriptor);
    return descriptor;
}

FileHandle FileCreate(const char* path, int attributes) {
    // Attribute bit 0 is "read-only": the file is created without write permission (the handle
    // returned may still write, as on Windows).
    mode_t permissions = (attributes & 1) ? 0444 : 0666;
    int descriptor = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
    if (descriptor >= 0 || errno != EEXIST) {
        return descriptor >= 0 ? descriptor : FileError;
    }
    // An existing file is emptied, unless it is read-only: Windows refuses to overwrite those.
    descriptor = open(path, O_RDWR | O_CLOEXEC);
    if (descriptor < 0) {
        return FileError;
    }
    struct stat status;
    if (IsReadOnly(descriptor) || fstat(descriptor, &status) != 0 ||
        (S_ISREG(status.st_mode) && ftruncate(descriptor, 0) != 0)) {
        close(descriptor);
        errno = EACCES;
        return FileError;
    }
    return descriptor;
}

FileHandle FileCreateNew(const char* path) {
    const int descriptor = open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    return descriptor >= 0 ? descriptor : FileError;
}

FileHandle FileOpenUnlinked(const char* path) {
    const int descriptor = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status;
    if (descriptor < 0) {
        return FileError;
    }
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        return FileError;
    }
    AttachReadBuffer(descriptor);
    return descriptor;
}

std::uint32_t FileRead(FileHandle file, void* buffer, std::uint32_t bytes) {
    std::uint32_t done = 0;
    if (ReadBuffered(file, buffer, bytes, done)) {
        return done;
    }
    while (done < bytes) {
        ssize_t got = read(file, static_cast<char*>(buffer) + done, bytes - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return done > 0 ? done : FileIoError;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::uint32_t>(got);
    }
    return done;
}

std::uint32_t FileWrite(FileHandle file, const void* buffer, std::uint32_t bytes) {
    SettleReadBuffer(file);
    std::uint32_t done = 0;
    while (done < bytes) {
        ssize_t put = write(file, static_cast<const char*>(buffer) + done, bytes - done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FileIoError;
        }
        if (put == 0) {
            return FileIoError;
        }
        done += static_cast<std::uint32_t>(put);
    }
    return done;
}

std::int32_t FileSeek(FileHandle file, std::int32_t offset, int origin) {
    std::int32_t buffered = FileError;
    if (SeekBuffered(file, offset, origin, buffered)) {
        return buffered;
    }
    int whence = origin == FileSeekCurrent ? SEEK_CUR : origin == FileSeekEnd ? SEEK_END : SEEK_SET;
    off_t position = lseek(file, offset, whence);
    if (position < 0 || position > INT32_MAX) {
        return FileError;
    }
    return static_cast<std::int32_t>(position);
}

FileHandle FileClose(FileHandle file) {
    DetachReadBuffer(file);
    return close(file) == 0 ? 0 : FileError;
}

bool FileSetEnd(FileHandle file) {
    SettleReadBuffer(file);
    off_t position = lseek(file, 0, SEEK_CUR);
    return position >= 0 && ftruncate(file, position) == 0;
}

bool FileFlush(FileHandle file) {
    return fsync(file) == 0;
}

bool FileRemove(const char* path) {
    return unlink(path) == 0;
}
