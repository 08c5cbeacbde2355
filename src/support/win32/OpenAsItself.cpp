#include "support/win32/FileLayer.h"

HANDLE OpenExistingAsItself(const std::wstring& path, DWORD access, DWORD share) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION information;
    if (file != INVALID_HANDLE_VALUE &&
        (!GetFileInformationByHandle(file, &information) ||
         (information.dwFileAttributes &
          (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}
