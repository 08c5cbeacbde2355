#include "support/FileCalls.h"
#include "support/win32/FileLayer.h"
#include "support/win32/KernelHandle.h"
#include "support/win32/WideText.h"

#include <windows.h>

#include <string>

// The integer-handle file calls over the wide-character kernel32 calls, with the results of
// _lopen, _lcreat, _lread, _lwrite, _llseek and _lclose. Paths arrive as UTF-8 and are converted
// to UTF-16, so a program folder outside the ANSI code page works.

namespace {

DWORD AccessFor(int mode) {
    switch (mode & 3) {
    case FileOpenWrite:
        return GENERIC_WRITE;
    case FileOpenReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

// Windows refuses to write a read-only file; checked here as well, since a layer in between (a
// compatibility layer run by the super-user) may not.
bool IsReadOnly(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

} // namespace

FileHandle FileOpen(const char* path, int mode) {
    std::wstring wide = Wide(path);
    if (wide.empty() || ((mode & 3) != FileOpenRead && IsReadOnly(wide))) {
        return FileError;
    }
    // The compatibility sharing of the old calls: others may read and write meanwhile.
    return FromHandle(CreateFileW(wide.c_str(), AccessFor(mode), FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileCreateNew(const char* path) {
    std::wstring wide = Wide(path);
    // CREATE_NEW fails where anything, a link included, is at the name.
    return wide.empty()
               ? FileError
               : FromHandle(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileOpenUnlinked(const char* path) {
    std::wstring wide = Wide(path);
    return wide.empty() ? FileError
                        : FromHandle(OpenExistingAsItself(wide, GENERIC_READ,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE));
}

FileHandle FileCreate(const char* path, int attributes) {
    std::wstring wide = Wide(path);
    if (wide.empty() || IsReadOnly(wide)) {
        return FileError;
    }
    DWORD flags = static_cast<DWORD>(attributes) &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (flags == 0) {
        flags = FILE_ATTRIBUTE_NORMAL;
    }
    return FromHandle(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, flags,
                                  nullptr));
}

std::uint32_t FileRead(FileHandle file, void* buffer, std::uint32_t bytes) {
    DWORD done = 0;
    if (!ReadFile(ToHandle(file), buffer, bytes, &done, nullptr)) {
        return FileIoError;
    }
    return done;
}

std::uint32_t FileWrite(FileHandle file, const void* buffer, std::uint32_t bytes) {
    DWORD done = 0;
    if (!WriteFile(ToHandle(file), buffer, bytes, &done, nullptr)) {
        return FileIoError;
    }
    return done;
}

std::int32_t FileSeek(FileHandle file, std::int32_t offset, int origin) {
    DWORD method = origin == FileSeekCurrent ? FILE_CURRENT
                   : origin == FileSeekEnd   ? FILE_END
                                             : FILE_BEGIN;
    DWORD position = SetFilePointer(ToHandle(file), offset, nullptr, method);
    if (position == INVALID_SET_FILE_POINTER) {
        return FileError;
    }
    return static_cast<std::int32_t>(position);
}

FileHandle FileClose(FileHandle file) {
    return CloseHandle(ToHandle(file)) ? 0 : FileError;
}

bool FileSetEnd(FileHandle file) {
    return SetEndOfFile(ToHandle(file)) != 0;
}

bool FileFlush(FileHandle file) {
    return FlushFileBuffers(ToHandle(file)) != 0;
}

bool FileRemove(const char* path) {
    std::wstring wide = Wide(path);
    return !wide.empty() && DeleteFileW(wide.c_str()) != 0;
}
