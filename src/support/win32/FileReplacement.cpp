#include "support/CopyName.h"
#include "support/FileCalls.h"
#include "support/win32/FileLayer.h"
#include "support/win32/KernelHandle.h"
#include "support/win32/WideText.h"

namespace {

// Names drawn before giving up: a name taken already is all but impossible, so more than one
// failure means something else is wrong.
constexpr int NameAttempts = 4;

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The copy holds the only complete content: it gets a name no removal of leftovers takes,
// "tonolot-gesichert-<digits>" with the file's extension, where the folder allows; the path it
// is kept under.
std::wstring KeepAside(const std::wstring& copy, const std::wstring& target) {
    const std::wstring folder = FolderOf(copy);
    const std::wstring name = copy.substr(folder.size());
    const std::wstring targetName = target.substr(FolderOf(target).size());
    const std::size_t dot = targetName.rfind(L'.');
    const std::wstring digits = name.substr(9, 16);
    const std::wstring kept = folder + L"tonolot-gesichert-" + digits +
                              (dot == std::wstring::npos ? L"" : targetName.substr(dot));
    return CurrentReplaceCalls().moveFile(copy.c_str(), kept.c_str(), MOVEFILE_WRITE_THROUGH)
               ? kept
               : copy;
}

} // namespace

bool FileBeginReplacement(const char* path, FileReplacement& replacement) {
    replacement.keptAside = false;
    std::wstring wide = Wide(path);
    std::wstring target = wide.empty() ? std::wstring() : LinkTarget(wide);
    if (target.empty()) {
        return false;
    }
    replacement.target = Narrow(target);
    const std::wstring folder = FolderOf(target);
    RemoveLeftoverCopies(folder);
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const std::string name = NewCopyName();
        if (name.empty()) {
            return false;
        }
        const std::wstring copy = folder + Wide(name);
        // Only a new file (nothing planted at the name is opened). Others may read the copy but
        // not write or delete it while this save writes it.
        HANDLE file =
            CreateFileW(copy.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) {
                continue;
            }
            return false;
        }
        // A removal of leftovers by the native program may have taken the new copy between its
        // making and the lock; it removes it, and the save goes on under another name.
        BY_HANDLE_FILE_INFORMATION information;
        if (LockCopyForWriting(file) && GetFileInformationByHandle(file, &information) &&
            information.nNumberOfLinks > 0) {
            replacement.temporary = Narrow(copy);
            replacement.file = FromHandle(file);
            return true;
        }
        CloseHandle(file);
    }
    return false;
}

bool FileCommitReplacement(FileReplacement& replacement) {
    HANDLE file = ToHandle(replacement.file);
    replacement.file = FileError;
    const std::wstring copy = Wide(replacement.temporary);
    const std::wstring target = Wide(replacement.target);
    if (!FlushFileBuffers(file)) {
        CloseHandle(file);
        DeleteFileW(copy.c_str());
        return false;
    }
    if (ReplaceInOneStep(file, copy, target)) {
        return true;
    }
    if (Exists(target)) {
        DeleteFileW(copy.c_str());
        return false;
    }
    // A replace that removed the file and could not move the copy in: the copy is the last
    // complete content, never deleted. It takes the file's name, or is kept and named.
    if (!Exists(copy)) {
        return false;
    }
    if (CurrentReplaceCalls().moveFile(copy.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    replacement.keptAside = true;
    replacement.temporary = Narrow(KeepAside(copy, target));
    return false;
}

void FileAbandonReplacement(FileReplacement& replacement) {
    if (replacement.file == FileError) {
        return;
    }
    CloseHandle(ToHandle(replacement.file));
    replacement.file = FileError;
    DeleteFileW(Wide(replacement.temporary).c_str());
}
