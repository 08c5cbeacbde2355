#pragma once

#include <string>
#include <sys/stat.h>

// The pieces the POSIX file layer's units share; not for use outside it.

// The folder part of path ("." for a bare name, "/" for a name in the root).
std::string FolderOf(const std::string& path);
// A path for `name` in the folder of `path`.
std::string Beside(const std::string& path, const std::string& name);
// A symbolic link is followed to the file it finally names, so that the file is replaced and the
// link stays; any other path is kept as it is. Empty when the link cannot be followed.
std::string LinkTarget(const char* path);
// Writes the folder's entries (a rename, a removal) through to the disk.
void SyncFolder(const std::string& folder);

// Takes the exclusive lock of a save that writes the copy (see CopyLockOffset). True also where
// the file system keeps no locks at all, since saving must not stop there.
bool LockCopyForWriting(int descriptor);
// Takes the shared lock of a removal (read: the descriptor is open for reading, else for
// writing); false when a save holds the copy.
bool LockCopyForRemoval(int descriptor, bool read);
// Removes the copies in the folder that belong to the user and that no save holds any more.
void RemoveLeftoverCopies(const std::string& folder);

// Gives the copy the replaced file's owner and group where allowed, then its permission bits.
void KeepOwnerAndMode(int descriptor, const struct stat& replaced);
