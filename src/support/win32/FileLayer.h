#pragma once

#include <windows.h>

#include <string>

// The pieces the Windows file layer's units share; not for use outside it (tests aside).

// A symbolic link is followed to the file it finally names, so that the file is replaced and the
// link stays; the path is kept as it is when it names the file itself or the final path cannot
// be had.
std::wstring LinkTarget(const std::wstring& path);
// Opens an existing file as itself: a link (a reparse point) at the name is opened as the link,
// not followed, and refused like a folder; INVALID_HANDLE_VALUE then or when it cannot be opened.
HANDLE OpenExistingAsItself(const std::wstring& path, DWORD access, DWORD share);
// The folder part of path with its backslash or slash; empty for a bare name.
std::wstring FolderOf(const std::wstring& path);

// Takes the exclusive lock of a save that writes the copy (see CopyLockOffset).
bool LockCopyForWriting(HANDLE copy);
// Takes the shared lock of a removal; false when a save holds the copy.
bool LockCopyForRemoval(HANDLE copy);
// True when the file's owner is the user this process runs as.
bool OwnedByUser(HANDLE file);
// Removes the copies in the folder that belong to the user and that no save holds any more.
void RemoveLeftoverCopies(const std::wstring& folder);

// The calls that put the copy in the file's place; tests replace them to make them fail.
struct ReplaceCalls {
    // Wine's ReplaceFileW moves the old file aside and deletes it before it moves the new one in:
    // a crash in between leaves no file. There the open copy is renamed instead (one rename).
    bool useReplaceFile = true;
    BOOL(WINAPI* replaceFile)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) = ReplaceFileW;
    BOOL(WINAPI* moveFile)(LPCWSTR, LPCWSTR, DWORD) = MoveFileExW;
};
ReplaceCalls& CurrentReplaceCalls();
// Puts the copy (open in `file`, which this closes) in target's place in one step, with what
// the user set on target carried over; false when it did not (target may then be gone, see
// FileCommitReplacement).
bool ReplaceInOneStep(HANDLE file, const std::wstring& copy, const std::wstring& target);
