#include "support/win32/FileLayer.h"

namespace {

// The full path of the file the handle is open on, links followed; empty when unknown.
std::wstring FinalPathOf(HANDLE file) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, path.data(), MAX_PATH, FILE_NAME_NORMALIZED);
    if (length >= MAX_PATH) {
        path.resize(length);
        length = GetFinalPathNameByHandleW(file, path.data(), length, FILE_NAME_NORMALIZED);
    }
    if (length == 0 || length >= path.size()) {
        return std::wstring();
    }
    path.resize(length);
    return path;
}

} // namespace

// The link is recognised by the file's final path differing from the path given (not by a
// reparse point: Wine shows a link of the host's file system as a plain file).
std::wstring LinkTarget(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return path;
    }
    std::wstring target = FinalPathOf(file);
    CloseHandle(file);
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (target.empty() || length == 0 || length >= full.size()) {
        return path;
    }
    full.resize(length);
    // "\\?\C:\..." names the same file as "C:\...".
    std::wstring plain =
        target.compare(0, 4, L"\\\\?\\") == 0 && target.compare(4, 4, L"UNC\\") != 0
            ? target.substr(4)
            : target;
    bool same = CompareStringOrdinal(plain.c_str(), static_cast<int>(plain.size()), full.c_str(),
                                     static_cast<int>(full.size()), TRUE) == CSTR_EQUAL;
    return same ? path : target;
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}
