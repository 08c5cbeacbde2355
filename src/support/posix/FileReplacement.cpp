#include "support/CopyName.h"
#include "support/FileCalls.h"
#include "support/posix/FileLayer.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Names drawn before giving up: a name taken already is all but impossible, so more than one
// failure means something else is wrong.
constexpr int NameAttempts = 4;

} // namespace

bool FileBeginReplacement(const char* path, FileReplacement& replacement) {
    replacement.target = LinkTarget(path);
    replacement.keptAside = false;
    if (replacement.target.empty()) {
        return false;
    }
    RemoveLeftoverCopies(FolderOf(replacement.target));
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const std::string name = NewCopyName();
        if (name.empty()) {
            return false;
        }
        const std::string copy = Beside(replacement.target, name);
        // Only a new file: a link or file planted at the name is never opened.
        const int descriptor =
            open(copy.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            if (errno == EEXIST || errno == EINTR) {
                continue;
            }
            return false;
        }
        // A removal of leftovers may have taken the new copy between its making and the lock;
        // it removes it, and the save goes on under another name.
        struct stat status;
        if (LockCopyForWriting(descriptor) && fstat(descriptor, &status) == 0 &&
            status.st_nlink > 0) {
            replacement.temporary = copy;
            replacement.file = descriptor;
            return true;
        }
        close(descriptor);
    }
    return false;
}

bool FileCommitReplacement(FileReplacement& replacement) {
    struct stat replaced;
    if (stat(replacement.target.c_str(), &replaced) == 0) {
        KeepOwnerAndMode(replacement.file, replaced);
    }
    // The new content reaches the disk before the name points at it, and the new name after the
    // rename, so a crash leaves either the old file or the new one, never an empty one. A rename
    // that is refused (a sticky folder, another file system, a busy file) leaves the file as it
    // was.
    if (fsync(replacement.file) != 0 ||
        rename(replacement.temporary.c_str(), replacement.target.c_str()) != 0) {
        FileAbandonReplacement(replacement);
        return false;
    }
    SyncFolder(FolderOf(replacement.target));
    // The lock goes only now: until the rename, no other save may take the copy for a leftover.
    close(replacement.file);
    replacement.file = FileError;
    return true;
}

void FileAbandonReplacement(FileReplacement& replacement) {
    if (replacement.file == FileError) {
        return;
    }
    // Removed while still locked, so no other save takes it for a leftover meanwhile.
    unlink(replacement.temporary.c_str());
    close(replacement.file);
    replacement.file = FileError;
}
