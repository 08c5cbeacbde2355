#include "app/win32/Win32PicturePlatform.h"

#include "app/AudiogramPicture.h"
#include "app/PictureStartFolder.h"
#include "chart/win32/GdiPicture.h"
#include "support/Utf16.h"

#include <commdlg.h>
#include <shlobj.h>

#include <string>

namespace {

// Room for a long path (beyond MAX_PATH) in the dialog's file name field.
constexpr DWORD PathRoom = 32768;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

std::wstring Wide(const std::string& utf8) {
    std::u16string wide;
    Utf8ToUtf16(utf8, wide);
    return std::wstring(reinterpret_cast<const wchar_t*>(wide.c_str()), wide.size());
}

std::string Utf8(const wchar_t* wide) {
    std::string text;
    Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(wide)), text);
    return text;
}

std::wstring StartFolder() {
    auto known = [](int folder) {
        wchar_t path[MAX_PATH] = {};
        return SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK
                   ? Utf8(path)
                   : std::string();
    };
    return Wide(
        PictureStartFolder({known(CSIDL_MYPICTURES), known(CSIDL_PERSONAL), known(CSIDL_PROFILE)},
                           [](const std::string& path) {
                               const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
                               return attributes != INVALID_FILE_ATTRIBUTES &&
                                      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                           }));
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
