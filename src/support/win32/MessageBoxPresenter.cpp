#include "support/win32/MessageBoxPresenter.h"

#include <windows.h>

int MessageBoxPresenter::Present(WindowHandle owner, const char* text, const char* caption,
                                 unsigned style) {
    return MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}
