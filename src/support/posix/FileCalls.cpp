#include "support/FileCalls.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The integer-handle file calls over POSIX descriptors, with the results of the Windows calls:
// FileError (-1) for a failed open, seek or close, FileIoError for a failed read or write.

namespace {

bool SyncPath(const char* path, int flags) {
    int descriptor = open(path, flags | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    bool synced = fsync(descriptor) == 0;
    close(descriptor);
    return synced;
}

std::string FolderOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (!slash) {
        return ".";
    }
    if (slash == path) {
        return "/";
    }
    return std::string(path, slash);
}

std::string NameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link is followed to the file it finally names, so that the file is replaced and the
// link stays; any other path is kept as it is. Empty when the link cannot be followed.
std::string LinkTarget(const char* path) {
    struct stat status;
    if (lstat(path, &status) != 0 || !S_ISLNK(status.st_mode)) {
        return path;
    }
    char* resolved = realpath(path, nullptr);
    if (!resolved) {
        return std::string();
    }
    std::string target(resolved);
    std::free(resolved);
    return target;
}

// "<name>.<digits>.tmp": a copy made by a save of the file `name`.
bool IsCopyOf(const char* entry, const std::string& name) {
    constexpr std::size_t SuffixLength = 4;
    std::size_t length = std::strlen(entry);
    if (length <= name.size() + 1 + SuffixLength ||
        name.compare(0, name.size(), entry, name.size()) != 0 || entry[name.size()] != '.' ||
        std::strcmp(entry + length - SuffixLength, ".tmp") != 0) {
        return false;
    }
    for (std::size_t i = name.size() + 1; i < length - SuffixLength; ++i) {
        if (entry[i] < '0' || entry[i] > '9') {
            return false;
        }
    }
    return true;
}

// True when the descriptor's file is the one `name` in the folder names now.
bool StillNamed(int descriptor, int folder, const char* name, int flags) {
    struct stat held;
    struct stat named;
    return fstat(descriptor, &held) == 0 && held.st_nlink > 0 &&
           fstatat(folder, name, &named, flags) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// A save holds an exclusive lock on its copy from making it until the copy has replaced the file
// or is removed; the lock goes with the process when it dies. So a copy that can be locked
// belongs to a save that was cut off. The name is checked again under the lock, so a copy that
// a save has meanwhile put in place (or a new copy under the same name) is never removed.
void RemoveStaleCopies(const std::string& target) {
    int folder = open(FolderOf(target.c_str()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return;
    }
    DIR* entries = fdopendir(folder);
    if (!entries) {
        close(folder);
        return;
    }
    const std::string name = NameOf(target);
    while (const dirent* entry = readdir(entries)) {
        if (!IsCopyOf(entry->d_name, name)) {
            continue;
        }
        // A copy given a write-only mode by the save that was cut off opens for writing only.
        int copy = openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (copy < 0 && errno == EACCES) {
            copy = openat(folder, entry->d_name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        }
        if (copy < 0) {
            continue;
        }
        if (flock(copy, LOCK_EX | LOCK_NB) == 0 &&
            StillNamed(copy, folder, entry->d_name, AT_SYMLINK_NOFOLLOW)) {
            unlinkat(folder, entry->d_name, 0);
        }
        close(copy);
    }
    closedir(entries);
}

// Takes the copy's lock, waiting a little for a save that is just checking it for removal.
bool LockCopy(int descriptor) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        const timespec pause{0, 2000000};
        nanosleep(&pause, nullptr);
    }
    return false;
}

// The copy gets the replaced file's owner and group where allowed (the owner only for the
// super-user, a group only to a member of it), then its permission bits, which a change of
// owner may clear.
void KeepWhatWasSet(int descriptor, const char* target) {
    struct stat old;
    if (stat(target, &old) != 0) {
        return;
    }
    if (fchown(descriptor, old.st_uid, old.st_gid) != 0 &&
        fchown(descriptor, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Neither is allowed: the copy keeps the user's own.
    }
    if (fchmod(descriptor, old.st_mode & 07777) != 0) {
        // The file system keeps no permission bits (it gives every file the same).
    }
}

} // namespace

bool FileReplace(const char* source, const char* target) {
    // The new content reaches the disk before the name points at it, and the new name reaches the
    // disk after the rename, so a crash leaves either the old file or the new one, never an empty
    // one.
    int descriptor = open(source, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    KeepWhatWasSet(descriptor, target);
    bool synced = fsync(descriptor) == 0;
    close(descriptor);
    if (!synced || rename(source, target) != 0) {
        return false;
    }
    SyncPath(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY);
    return true;
}

bool FileBeginReplacement(const char* path, FileReplacement& replacement) {
    replacement.target = LinkTarget(path);
    replacement.refused = false;
    if (replacement.target.empty()) {
        return false;
    }
    RemoveStaleCopies(replacement.target);
    replacement.temporary =
        replacement.target + "." + std::to_string(CurrentProcessNumber()) + ".tmp";
    const char* copy = replacement.temporary.c_str();
    // A few attempts: a copy of this number left by an earlier process may be removed by another
    // save between opening and locking it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int descriptor = open(copy, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            int error = errno;
            struct stat status;
            replacement.refused =
                (error == EACCES || error == EPERM) && lstat(copy, &status) != 0 && errno == ENOENT;
            return false;
        }
        struct stat status;
        if (LockCopy(descriptor) && StillNamed(descriptor, AT_FDCWD, copy, 0) &&
            fstat(descriptor, &status) == 0 &&
            (!S_ISREG(status.st_mode) || ftruncate(descriptor, 0) == 0)) {
            replacement.file = descriptor;
            return true;
        }
        close(descriptor);
    }
    return false;
}

bool FileCommitReplacement(FileReplacement& replacement) {
    KeepWhatWasSet(replacement.file, replacement.target.c_str());
    if (fsync(replacement.file) != 0 ||
        rename(replacement.temporary.c_str(), replacement.target.c_str()) != 0) {
        FileAbandonReplacement(replacement);
        return false;
    }
    SyncPath(FolderOf(replacement.target.c_str()).c_str(), O_RDONLY | O_DIRECTORY);
    // The lock goes only now: until the rename, no other save may take the copy for a leftover.
    close(replacement.file);
    replacement.file = FileError;
    return true;
}

void FileAbandonReplacement(FileReplacement& replacement) {
    if (replacement.file == FileError) {
        return;
    }
    // Removed while still locked, so no other save takes the name for a leftover meanwhile.
    unlink(replacement.temporary.c_str());
    close(replacement.file);
    replacement.file = FileError;
}

std::uint32_t CurrentProcessNumber() {
    return static_cast<std::uint32_t>(getpid());
}
