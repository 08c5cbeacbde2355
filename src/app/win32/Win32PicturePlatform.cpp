#include "app/win32/Win32PicturePlatform.h"

#include "app/AudiogramPicture.h"
#include "chart/win32/GdiPicture.h"

#include <commdlg.h>
#include <shlobj.h>

#include <string>

namespace {

// Room for a long path (beyond MAX_PATH) in the dialog's file name field.
constexpr DWORD PathRoom = 32768;

std::wstring Wide(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), length);
    }
    wide.resize(wide.size() - 1);
    return wide;
}

std::string Utf8(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), length, nullptr, nullptr);
    }
    utf8.resize(utf8.size() - 1);
    return utf8;
}

// The pictures folder, else the documents folder, else the profile folder; each only if it
// exists. Empty when none does: the dialog then picks its own.
std::wstring StartFolder() {
    for (int folder : {CSIDL_MYPICTURES, CSIDL_PERSONAL, CSIDL_PROFILE}) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK &&
            GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
            return path;
        }
    }
    return std::wstring();
}

} // namespace

bool Win32PicturePlatform::AskSavePath(WindowHandle owner, const std::string& suggestedName,
                                       std::string& path) {
    std::wstring file = Wide(suggestedName);
    file.resize(PathRoom, L'\0');
    const std::wstring title = Wide(SavePictureTitle);
    // Name and pattern of the one filter, each ended by a NUL, and a NUL after the last.
    std::wstring filter = Wide(SavePictureFilterName);
    filter.push_back(L'\0');
    filter += Wide(SavePicturePattern);
    filter.push_back(L'\0');
    const std::wstring folder = StartFolder();

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = static_cast<HWND>(owner);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = PathRoom;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = L"png";
    dialog.Flags =
        OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    // Cancelled, or the dialog could not be shown (CommDlgExtendedError tells which): either
    // way nothing is saved.
    if (!GetSaveFileNameW(&dialog)) {
        return false;
    }
    path = Utf8(file.c_str());
    return !path.empty();
}

std::unique_ptr<PictureBitmap> Win32PicturePlatform::NewBitmap(int width, int height) {
    return GdiPicture::Create(width, height, chartFont);
}
