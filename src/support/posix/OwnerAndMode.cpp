#include "support/posix/FileLayer.h"

#include <unistd.h>

// The owner only for the super-user, a group only to a member of it; then the permission bits,
// which a change of owner may clear.
void KeepOwnerAndMode(int descriptor, const struct stat& replaced) {
    if (fchown(descriptor, replaced.st_uid, replaced.st_gid) != 0 &&
        fchown(descriptor, static_cast<uid_t>(-1), replaced.st_gid) != 0) {
        // Neither is allowed: the copy keeps the user's own.
    }
    if (fchmod(descriptor, replaced.st_mode & 07777) != 0) {
        // The file system keeps no permission bits (it gives every file the same).
    }
}
