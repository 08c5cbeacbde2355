#include "support/SaveLock.h"
#include "support/win32/FileLayer.h"
#include "support/win32/WideText.h"

#include <windows.h>

namespace {

constexpr DWORD PollMilliseconds = 20;
// A lock file that can be neither created nor opened for this long is taken for a folder that
// takes none (a removal still pending looks the same for a moment).
constexpr std::uint32_t OpenMilliseconds = 1000;

// Others may open and remove it while it is held: a copy waiting for the lock must not stand in
// the way of its creator's removal.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool SameFile(HANDLE held, const std::wstring& path) {
    HANDLE named = CreateFileW(path.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    const bool same = GetFileInformationByHandle(held, &a) &&
                      GetFileInformationByHandle(named, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(named);
    return same;
}

// Creates the lock file, or opens the one there (a link at the name is opened as itself and
// refused); INVALID_HANDLE_VALUE when neither.
HANDLE OpenLockFile(const std::wstring& path, bool& created) {
    constexpr DWORD Access = GENERIC_READ | GENERIC_WRITE;
    HANDLE file = CreateFileW(path.c_str(), Access, ShareAll, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    created = file != INVALID_HANDLE_VALUE;
    if (created || GetLastError() != ERROR_FILE_EXISTS) {
        return file;
    }
    return OpenExistingAsItself(path, Access, ShareAll);
}

} // namespace

SaveLockResult LockForSave(const char* path, std::uint32_t timeoutMilliseconds, SaveLock& lock) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) {
        return SaveLockResult::Unlocked;
    }
    // Beside the file a link names, so that every way to the data file meets it.
    const std::wstring lockPath = LinkTarget(wide) + L".lock";
    std::uint32_t unopened = 0;
    for (std::uint32_t waited = 0;; waited += PollMilliseconds) {
        bool created = false;
        HANDLE file = OpenLockFile(lockPath, created);
        if (file == INVALID_HANDLE_VALUE) {
            if (unopened >= OpenMilliseconds || waited >= timeoutMilliseconds) {
                return SaveLockResult::Unlocked;
            }
            unopened += PollMilliseconds;
            Sleep(PollMilliseconds);
            continue;
        }
        OVERLAPPED at = {};
        const bool locked =
            LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
        const bool busy = !locked && (GetLastError() == ERROR_LOCK_VIOLATION ||
                                      GetLastError() == ERROR_IO_PENDING);
        if (locked && !SameFile(file, lockPath)) {
            CloseHandle(file);
            if (waited >= timeoutMilliseconds) {
                return SaveLockResult::TimedOut;
            }
            continue; // its creator removed it meanwhile: a new one at once
        }
        if (!busy) {
            lock.handle = reinterpret_cast<std::intptr_t>(file);
            lock.removedPath =
                created || (locked && OwnedByUser(file)) ? Narrow(lockPath) : std::string();
            return locked ? SaveLockResult::Locked : SaveLockResult::Unlocked;
        }
        CloseHandle(file);
        if (waited >= timeoutMilliseconds) {
            return SaveLockResult::TimedOut;
        }
        Sleep(PollMilliseconds);
    }
}

void UnlockSave(SaveLock& lock) {
    if (lock.handle == -1) {
        return;
    }
    // Removed while still held (the removal completes when the last handle closes), so nobody
    // takes the lock of a file no longer named so.
    if (!lock.removedPath.empty()) {
        DeleteFileW(Wide(lock.removedPath).c_str());
    }
    // Closing the handle releases its lock.
    CloseHandle(reinterpret_cast<HANDLE>(lock.handle));
    lock.handle = -1;
    lock.removedPath.clear();
}
