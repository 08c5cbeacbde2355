#include "support/SaveLock.h"
#include "support/win32/WideText.h"

#include <windows.h>

namespace {

constexpr DWORD PollMilliseconds = 20;

// Others may read, write and replace the file while it is held: the save that holds it replaces
// it itself, and a copy waiting for the lock must not stand in its way.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool SameFile(HANDLE held, const std::wstring& path) {
    HANDLE named = CreateFileW(path.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
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

} // namespace

SaveLockResult LockForSave(const char* path, std::uint32_t timeoutMilliseconds, SaveLock& lock) {
    const std::wstring wide = Wide(path);
    for (std::uint32_t waited = 0;; waited += PollMilliseconds) {
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (wide.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_READONLY)) {
            return SaveLockResult::Missing;
        }
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return SaveLockResult::Missing;
        }
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(SaveLockOffset & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(SaveLockOffset >> 32);
        const bool locked =
            LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
        if (!locked && GetLastError() != ERROR_LOCK_VIOLATION &&
            GetLastError() != ERROR_IO_PENDING) {
            lock.handle = reinterpret_cast<std::intptr_t>(file);
            return SaveLockResult::Unlocked;
        }
        if (locked && SameFile(file, wide)) {
            lock.handle = reinterpret_cast<std::intptr_t>(file);
            return SaveLockResult::Locked;
        }
        CloseHandle(file);
        if (locked) {
            continue; // replaced meanwhile: the new file at once
        }
        if (waited >= timeoutMilliseconds) {
            return SaveLockResult::TimedOut;
        }
        Sleep(PollMilliseconds);
    }
}

void UnlockSave(SaveLock& lock) {
    if (lock.handle != -1) {
        // Closing the handle releases its lock.
        CloseHandle(reinterpret_cast<HANDLE>(lock.handle));
        lock.handle = -1;
    }
}
