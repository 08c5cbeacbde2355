#include "support/win32/FileLayer.h"

namespace {

// Wine's ReplaceFileW moves the old file aside and deletes it before it moves the new one in: a
// crash in between leaves no data file. Its MoveFileExW is a single rename.
bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

ReplaceCalls& CurrentReplaceCalls() {
    static ReplaceCalls calls;
    return calls;
}

// ReplaceFileW carries over target's attributes, owner and access rights; where it is not
// supported (or not atomic), MoveFileExW replaces it.
bool ReplaceInOneStep(const std::wstring& source, const std::wstring& target) {
    const ReplaceCalls& calls = CurrentReplaceCalls();
    if (!RunningUnderWine() &&
        calls.replaceFile(target.c_str(), source.c_str(), nullptr,
                          REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                          nullptr)) {
        return true;
    }
    // Also after a failed ReplaceFileW: one that could not move the new file in
    // (ERROR_UNABLE_TO_MOVE_REPLACEMENT) leaves target removed, and this puts the new file there.
    // The attributes the user can set are carried over here too; access rights are not (Wine
    // turns copied ones into other permissions).
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        SetFileAttributesW(source.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
    }
    return calls.moveFile(source.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
