#include "app/win32/ProgramPath.h"

namespace {
// The longest path Windows hands out, with the \\?\ prefix.
constexpr DWORD LongestPath = 32768;
} // namespace

std::string ProgramPath(HINSTANCE instance) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameW(instance, path.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            path.resize(length);
            break;
        }
        // The name was cut to fit: ask again with more room.
        if (size >= LongestPath) {
            return {};
        }
        path.resize(size * 2 > LongestPath ? LongestPath : size * 2);
    }

    const int wide = static_cast<int>(path.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, path.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.data(), wide, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}
