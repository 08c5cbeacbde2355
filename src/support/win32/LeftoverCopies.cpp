#include "support/CopyName.h"
#include "support/win32/FileLayer.h"
#include "support/win32/WideText.h"

#include <aclapi.h>

#include <memory>

bool OwnedByUser(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool own = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::unique_ptr<unsigned char[]> user(new unsigned char[size ? size : 1]);
        if (size && GetTokenInformation(token, TokenUser, user.get(), size, &size)) {
            own = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid) != 0;
        }
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return own;
}

namespace {

// Removes the copy at path when it is a leftover: a plain file of this user (a link is not
// followed), not held by a save. A copy a save of this program writes cannot even be opened for
// deleting (it shares reading only); one of the native program is recognised by its lock. The
// file is deleted through the handle that checked it, so it is the file checked.
void RemoveIfLeftover(const std::wstring& path) {
    HANDLE copy = CreateFileW(path.c_str(), GENERIC_READ | DELETE | READ_CONTROL,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (copy == INVALID_HANDLE_VALUE) {
        return;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(copy, &information) &&
        !(information.dwFileAttributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) &&
        OwnedByUser(copy) && LockCopyForRemoval(copy)) {
        FILE_DISPOSITION_INFO remove = {TRUE};
        SetFileInformationByHandle(copy, FileDispositionInfo, &remove, sizeof remove);
    }
    CloseHandle(copy);
}

} // namespace

void RemoveLeftoverCopies(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW((folder + L".tonolot-*.tmp").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            IsCopyName(Narrow(found.cFileName))) {
            RemoveIfLeftover(folder + found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
