#include "support/FileCalls.h"
#include "support/win32/WideText.h"

#include <windows.h>

namespace {

bool IsNoSpace(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

bool SetLength(HANDLE file, LONGLONG length) {
    FILE_END_OF_FILE_INFO end = {};
    end.EndOfFile.QuadPart = length;
    return SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) != 0;
}

bool WriteAt(HANDLE file, const char* bytes, std::size_t size, LONGLONG offset) {
    while (size > 0) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD chunk = size < 0x40000000u ? static_cast<DWORD>(size) : 0x40000000u;
        DWORD done = 0;
        if (!WriteFile(file, bytes, chunk, &done, &at) || done == 0) {
            return false;
        }
        bytes += done;
        size -= done;
        offset += done;
    }
    return true;
}

// Takes the disk room for `size` bytes before the old content is touched: the file is extended
// and the part behind the old end written first, so a full disk shows there and the old length
// is set again. The room taken by extending alone is not to be trusted (Wine only sets the
// length). True when the room is had; `error` says why not.
bool Reserve(HANDLE file, const char* bytes, LONGLONG oldSize, std::size_t size, DWORD& error) {
    const auto length = static_cast<LONGLONG>(size);
    if (length <= oldSize) {
        return true;
    }
    if (SetLength(file, length) &&
        WriteAt(file, bytes + oldSize, static_cast<std::size_t>(length - oldSize), oldSize)) {
        return true;
    }
    error = GetLastError();
    SetLength(file, oldSize);
    return false;
}

} // namespace

InPlaceResult FileWriteInPlace(const char* path, const void* bytes, std::size_t size) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) {
        return InPlaceResult::Failed;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        return InPlaceResult::Failed;
    }
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return InPlaceResult::Failed;
    }
    const char* content = static_cast<const char*>(bytes);
    InPlaceResult result = InPlaceResult::Failed;
    LARGE_INTEGER oldSize;
    DWORD error = 0;
    if (GetFileSizeEx(file, &oldSize)) {
        if (!Reserve(file, content, oldSize.QuadPart, size, error)) {
            result = IsNoSpace(error) ? InPlaceResult::NoSpace : InPlaceResult::Failed;
        } else if (WriteAt(file, content,
                           static_cast<std::size_t>(
                               std::min<LONGLONG>(oldSize.QuadPart, static_cast<LONGLONG>(size))),
                           0) &&
                   SetLength(file, static_cast<LONGLONG>(size)) && FlushFileBuffers(file)) {
            result = InPlaceResult::Written;
        }
    }
    CloseHandle(file);
    return result;
}
