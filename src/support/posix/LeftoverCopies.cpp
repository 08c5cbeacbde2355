#include "support/CopyName.h"
#include "support/posix/FileLayer.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool SameFile(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Removes `name` when it is a leftover: a regular file of this user (links are not followed,
// nothing else is opened), not held by a save, and still the file that was checked. A copy given
// a write-only mode by the save that was cut off opens for writing only.
void RemoveIfLeftover(int folder, const char* name) {
    struct stat named;
    if (fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode) ||
        named.st_uid != geteuid()) {
        return;
    }
    constexpr int Flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    bool read = true;
    int copy = openat(folder, name, O_RDONLY | Flags);
    if (copy < 0 && errno == EACCES) {
        read = false;
        copy = openat(folder, name, O_WRONLY | Flags);
    }
    if (copy < 0) {
        return;
    }
    struct stat held;
    struct stat now;
    if (fstat(copy, &held) == 0 && SameFile(held, named) && LockCopyForRemoval(copy, read) &&
        fstatat(folder, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(held, now)) {
        unlinkat(folder, name, 0);
    }
    close(copy);
}

} // namespace

void RemoveLeftoverCopies(const std::string& folderPath) {
    const int folder = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return;
    }
    DIR* entries = fdopendir(folder);
    if (!entries) {
        close(folder);
        return;
    }
    while (const dirent* entry = readdir(entries)) {
        if (IsCopyName(entry->d_name)) {
            RemoveIfLeftover(folder, entry->d_name);
        }
    }
    closedir(entries);
}
