#include "app/win32/Win32DialogControls.h"

#include <windows.h>

namespace {

HWND Window(WindowHandle handle) {
    return static_cast<HWND>(handle);
}

LRESULT SendToItem(WindowHandle dialog, int id, UINT message, WPARAM wParam = 0,
                   LPARAM lParam = 0) {
    return SendDlgItemMessageA(Window(dialog), id, message, wParam, lParam);
}

} // namespace

int Win32DialogControls::GetItemText(WindowHandle dialog, int id, char* buffer, int maxCount) {
    return static_cast<int>(GetDlgItemTextA(Window(dialog), id, buffer, maxCount));
}

void Win32DialogControls::SetItemText(WindowHandle dialog, int id, const char* text) {
    SetDlgItemTextA(Window(dialog), id, text);
}

void Win32DialogControls::EnableItem(WindowHandle dialog, int id, bool enabled) {
    EnableWindow(GetDlgItem(Window(dialog), id), enabled ? TRUE : FALSE);
}

bool Win32DialogControls::IsItemChecked(WindowHandle dialog, int id) {
    return IsDlgButtonChecked(Window(dialog), id) == BST_CHECKED;
}

void Win32DialogControls::FocusItem(WindowHandle dialog, int id) {
    // Unlike SetFocus, the dialog manager's own move also makes a focused push button the
    // default one, so Enter presses the button that has the focus.
    SendMessageA(Window(dialog), WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(GetDlgItem(Window(dialog), id)), TRUE);
}

void Win32DialogControls::ListClear(WindowHandle dialog, int id) {
    SendToItem(dialog, id, CB_RESETCONTENT);
}

int Win32DialogControls::ListAdd(WindowHandle dialog, int id, const char* text) {
    return static_cast<int>(
        SendToItem(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

int Win32DialogControls::ListCount(WindowHandle dialog, int id) {
    return static_cast<int>(SendToItem(dialog, id, CB_GETCOUNT));
}

int Win32DialogControls::ListSelection(WindowHandle dialog, int id) {
    return static_cast<int>(SendToItem(dialog, id, CB_GETCURSEL));
}

void Win32DialogControls::ListSelect(WindowHandle dialog, int id, int index) {
    // An index outside the list (or -1) clears the selection.
    SendToItem(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index));
}

void Win32DialogControls::Invalidate(WindowHandle window, bool erase) {
    InvalidateRect(Window(window), nullptr, erase ? TRUE : FALSE);
}

void Win32DialogControls::InvalidateItem(WindowHandle dialog, int id, bool erase) {
    InvalidateRect(GetDlgItem(Window(dialog), id), nullptr, erase ? TRUE : FALSE);
}

bool Win32DialogControls::PostCommand(WindowHandle window, CommandParam param, CommandData data) {
    return PostMessageA(Window(window), WM_COMMAND, param, data) != FALSE;
}

CommandData Win32DialogControls::SendCommand(WindowHandle window, CommandParam param,
                                             CommandData data) {
    return SendMessageA(Window(window), WM_COMMAND, param, data);
}

bool Win32DialogControls::IsUsable(WindowHandle window) {
    return IsWindow(Window(window)) && IsWindowVisible(Window(window));
}

void Win32DialogControls::PostClose(WindowHandle dialog) {
    PostMessageA(Window(dialog), WM_CLOSE, 0, 0);
}

void Win32DialogControls::DestroyDialog(WindowHandle dialog) {
    DestroyWindow(Window(dialog));
}

void Win32DialogControls::PostQuit(int exitCode) {
    PostQuitMessage(exitCode);
}
