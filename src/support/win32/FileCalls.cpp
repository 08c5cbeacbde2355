#include "support/FileCalls.h"
#include "support/win32/KernelHandle.h"
#include "support/win32/WideText.h"

#include <windows.h>

#include <string>

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

// A symbolic link is followed to the file it finally names, so that the file is replaced and the
// link stays. The link is recognised by the file's final path differing from the path given (not
// by a reparse point: Wine shows a link of the host's file system as a plain file). The path is
// kept as it is when it names the file itself or when the final path cannot be had.
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

// Wine's ReplaceFileW moves the old file aside and deletes it before it moves the new one in: a
// crash in between leaves no data file. Its MoveFileExW is a single rename.
bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Puts source in target's place in one step. ReplaceFileW carries over target's attributes,
// owner and access rights; where it is not supported (or not atomic), MoveFileExW replaces it.
bool Replace(const std::wstring& source, const std::wstring& target) {
    if (!RunningUnderWine() &&
        ReplaceFileW(target.c_str(), source.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                     nullptr)) {
        return true;
    }
    // Also after a failed ReplaceFileW: one that could not move the new file in leaves target
    // removed, and this puts the new file there. The attributes the user can set are carried
    // over here too; access rights are not (Wine turns copied ones into other permissions).
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        SetFileAttributesW(source.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
    }
    return MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// "<name>.<digits>.tmp": a copy made by a save of the file `name`; gives the digits' number.
bool IsCopyOf(const wchar_t* entry, const std::wstring& name, DWORD& process) {
    constexpr std::size_t SuffixLength = 4;
    std::wstring text(entry);
    if (text.size() <= name.size() + 1 + SuffixLength || text.compare(0, name.size(), name) != 0 ||
        text[name.size()] != L'.' ||
        text.compare(text.size() - SuffixLength, SuffixLength, L".tmp") != 0) {
        return false;
    }
    unsigned long long number = 0;
    for (std::size_t i = name.size() + 1; i < text.size() - SuffixLength; ++i) {
        if (text[i] < L'0' || text[i] > L'9' || number > 0xFFFFFFFFull) {
            return false;
        }
        number = number * 10 + static_cast<unsigned>(text[i] - L'0');
    }
    process = static_cast<DWORD>(number);
    return number <= 0xFFFFFFFFull;
}

// True while the save that made a copy may still be writing it: its process still runs and was
// started before the copy was last changed (a later process with the same number is another).
// Another user's process, which cannot be asked, counts as running.
bool WriterRunning(DWORD process, const FILETIME& changed) {
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process);
    if (!handle) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    FILETIME created;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    bool running = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT &&
                   GetProcessTimes(handle, &created, &exited, &kernel, &user) &&
                   CompareFileTime(&created, &changed) <= 0;
    CloseHandle(handle);
    return running;
}

// Removes the copies of saves that were cut off: this process's own (it writes none yet) and
// those whose writer no longer runs. A copy still open in its writer cannot be deleted anyway.
void RemoveStaleCopies(const std::wstring& target) {
    std::size_t slash = target.find_last_of(L"\\/");
    std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW((target + L".*.tmp").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    const DWORD own = GetCurrentProcessId();
    do {
        DWORD process = 0;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            IsCopyOf(found.cFileName, name, process) &&
            (process == own || !WriterRunning(process, found.ftLastWriteTime))) {
            DeleteFileW((folder + found.cFileName).c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace

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
    return flushed && Replace(from, to);
}

bool FileBeginReplacement(const char* path, FileReplacement& replacement) {
    replacement.refused = false;
    std::wstring wide = Wide(path);
    std::wstring target = wide.empty() ? std::wstring() : LinkTarget(wide);
    if (target.empty()) {
        return false;
    }
    RemoveStaleCopies(target);
    std::wstring copy = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    replacement.target = Narrow(target);
    replacement.temporary = Narrow(copy);
    // Others may read the copy but not write or delete it while this save writes it.
    HANDLE file = CreateFileW(copy.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // Access denied with nothing in the way: the folder does not allow new files.
        replacement.refused = GetLastError() == ERROR_ACCESS_DENIED &&
                              GetFileAttributesW(copy.c_str()) == INVALID_FILE_ATTRIBUTES;
        return false;
    }
    replacement.file = FromHandle(file);
    return true;
}

bool FileCommitReplacement(FileReplacement& replacement) {
    HANDLE file = ToHandle(replacement.file);
    replacement.file = FileError;
    bool flushed = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    std::wstring from = Wide(replacement.temporary.c_str());
    if (!flushed || !Replace(from, Wide(replacement.target.c_str()))) {
        DeleteFileW(from.c_str());
        return false;
    }
    return true;
}

void FileAbandonReplacement(FileReplacement& replacement) {
    if (replacement.file == FileError) {
        return;
    }
    CloseHandle(ToHandle(replacement.file));
    replacement.file = FileError;
    DeleteFileW(Wide(replacement.temporary.c_str()).c_str());
}

std::uint32_t CurrentProcessNumber() {
    return static_cast<std::uint32_t>(GetCurrentProcessId());
}
