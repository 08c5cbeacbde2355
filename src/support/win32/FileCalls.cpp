#include "support/FileCalls.h"

#include <windows.h>

#include <string>

// The integer-handle file calls over the wide-character kernel32 calls, with the results of
// _lopen, _lcreat, _lread, _lwrite, _llseek and _lclose. Paths arrive as UTF-8 and are converted
// to UTF-16, so a program folder outside the ANSI code page works. A handle is the kernel handle
// itself as an int, as the old calls return it (kernel handles fit 32 bits, also on 64-bit).

namespace {

// UTF-8 to UTF-16; empty (so the call fails) when the text is not valid UTF-8.
std::wstring Wide(const char* path) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), length) !=
        length) {
        return std::wstring();
    }
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

HANDLE ToHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file));
}

FileHandle FromHandle(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) {
        return FileError;
    }
    return static_cast<FileHandle>(reinterpret_cast<INT_PTR>(handle));
}

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

bool FileReplace(const char* source, const char* target) {
    std::wstring from = Wide(source);
    std::wstring to = Wide(target);
    if (from.empty() || to.empty()) {
        return false;
    }
    // The new content reaches the disk before the name points at it; write-through returns only
    // once the move itself is on the disk.
    HANDLE file = CreateFileW(from.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool flushed = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    if (!flushed) {
        return false;
    }
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool FileRemove(const char* path) {
    std::wstring wide = Wide(path);
    return !wide.empty() && DeleteFileW(wide.c_str()) != 0;
}

std::uint32_t CurrentProcessNumber() {
    return static_cast<std::uint32_t>(GetCurrentProcessId());
}
