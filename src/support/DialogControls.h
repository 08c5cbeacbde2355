#pragma once

#include "support/WindowHandle.h"

// What the system does to the main dialog and its controls, shaped like the Win32 calls it makes,
// so the Windows adapter is a set of one-line forwards and tests drive every path with a fake.
//
// Thread rules: PostCommand and IsUsable are also called from the audio thread (the tone
// synthesis posts its notifications); every other call comes from the user-interface thread.
class DialogControls {
public:
    virtual ~DialogControls() = default;

    // GetDlgItemTextA: copies at most maxCount - 1 characters and a terminator into buffer and
    // returns the number of characters copied.
    virtual int GetItemText(WindowHandle dialog, int id, char* buffer, int maxCount) = 0;
    // SetDlgItemTextA.
    virtual void SetItemText(WindowHandle dialog, int id, const char* text) = 0;
    // EnableWindow on the control.
    virtual void EnableItem(WindowHandle dialog, int id, bool enabled) = 0;
    // IsDlgButtonChecked: true when a check box is ticked.
    virtual bool IsItemChecked(WindowHandle dialog, int id) = 0;
    // WM_NEXTDLGCTL with the control: the keyboard focus moves to it (and a push button becomes
    // the one Enter presses). A disabled control takes no focus, and disabling the control that
    // has it leaves the dialog without one, so focus moves before its holder is disabled.
    virtual void FocusItem(WindowHandle dialog, int id) = 0;

    // Drop-down list: CB_RESETCONTENT, CB_ADDSTRING (returns the new item's index), CB_GETCOUNT,
    // CB_GETCURSEL (-1 for no selection) and CB_SETCURSEL (an index outside the list clears the
    // selection).
    virtual void ListClear(WindowHandle dialog, int id) = 0;
    virtual int ListAdd(WindowHandle dialog, int id, const char* text) = 0;
    virtual int ListCount(WindowHandle dialog, int id) = 0;
    virtual int ListSelection(WindowHandle dialog, int id) = 0;
    virtual void ListSelect(WindowHandle dialog, int id, int index) = 0;

    // InvalidateRect(window, whole client area, erase) and the same for one control.
    virtual void Invalidate(WindowHandle window, bool erase) = 0;
    virtual void InvalidateItem(WindowHandle dialog, int id, bool erase) = 0;

    // PostMessageA(window, WM_COMMAND, param, data); safe from any thread.
    virtual bool PostCommand(WindowHandle window, CommandParam param, CommandData data) = 0;
    // SendMessageA(window, WM_COMMAND, param, data): handled before the call returns.
    virtual CommandData SendCommand(WindowHandle window, CommandParam param, CommandData data) = 0;
    // IsWindow and IsWindowVisible together; safe from any thread.
    virtual bool IsUsable(WindowHandle window) = 0;

    // PostMessageA(dialog, WM_CLOSE), DestroyWindow and PostQuitMessage.
    virtual void PostClose(WindowHandle dialog) = 0;
    virtual void DestroyDialog(WindowHandle dialog) = 0;
    virtual void PostQuit(int exitCode) = 0;
};

// WM_COMMAND's wParam: the command id in the low 16 bits and a notification code or a value in
// the high 16 bits.
constexpr CommandParam MakeCommandParam(int low, int high) {
    return (static_cast<CommandParam>(static_cast<unsigned>(high) & 0xFFFFu) << 16) |
           (static_cast<CommandParam>(static_cast<unsigned>(low) & 0xFFFFu));
}
constexpr int CommandId(CommandParam param) {
    return static_cast<int>(param & 0xFFFFu);
}
constexpr int CommandCode(CommandParam param) {
    return static_cast<int>((param >> 16) & 0xFFFFu);
}
