#include "support/win32/FileLayer.h"

#include <memory>

namespace {

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The attributes the user can set, carried over from target to the copy; access rights are not
// (Wine turns copied ones into other permissions).
void KeepAttributes(const std::wstring& copy, const std::wstring& target) {
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        SetFileAttributesW(copy.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
    }
}

// Renames the open copy over target. The handle, and with it the copy's lock, stays until the
// copy has the file's name, so no removal of leftovers (of either program) takes it meanwhile.
bool RenameOpen(HANDLE file, const std::wstring& target) {
    const std::size_t bytes = target.size() * sizeof(wchar_t);
    const std::size_t size = sizeof(FILE_RENAME_INFO) + bytes;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]());
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.get());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(bytes);
    target.copy(rename->FileName, target.size());
    return SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(size)) != 0;
}

} // namespace

ReplaceCalls& CurrentReplaceCalls() {
    static ReplaceCalls calls{!RunningUnderWine()};
    return calls;
}

// ReplaceFileW carries over target's attributes, owner and access rights; where it is not
// used (or fails), the copy is renamed over target.
bool ReplaceInOneStep(HANDLE file, const std::wstring& copy, const std::wstring& target) {
    const ReplaceCalls& calls = CurrentReplaceCalls();
    if (!calls.useReplaceFile) {
        KeepAttributes(copy, target);
        const bool renamed = RenameOpen(file, target);
        CloseHandle(file);
        if (renamed) {
            return true;
        }
    } else {
        CloseHandle(file);
        if (calls.replaceFile(target.c_str(), copy.c_str(), nullptr,
                              REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                              nullptr, nullptr)) {
            return true;
        }
    }
    // Also after a failed ReplaceFileW: one that could not move the copy in
    // (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) leaves target removed, and this puts the copy there.
    KeepAttributes(copy, target);
    return calls.moveFile(copy.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
