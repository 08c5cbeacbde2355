#pragma once

#include "support/DialogControls.h"

// The controls seam on real windows: each operation is the one user32 call it is named after,
// with the cp1252 (*A) variants so the texts reach the controls unchanged.
class Win32DialogControls : public DialogControls {
public:
    int GetItemText(WindowHandle dialog, int id, char* buffer, int maxCount) override;
    void SetItemText(WindowHandle dialog, int id, const char* text) override;
    void EnableItem(WindowHandle dialog, int id, bool enabled) override;
    bool IsItemChecked(WindowHandle dialog, int id) override;
    void FocusItem(WindowHandle dialog, int id) override;
    void ListClear(WindowHandle dialog, int id) override;
    int ListAdd(WindowHandle dialog, int id, const char* text) override;
    int ListCount(WindowHandle dialog, int id) override;
    int ListSelection(WindowHandle dialog, int id) override;
    void ListSelect(WindowHandle dialog, int id, int index) override;
    void Invalidate(WindowHandle window, bool erase) override;
    void InvalidateItem(WindowHandle dialog, int id, bool erase) override;
    bool PostCommand(WindowHandle window, CommandParam param, CommandData data) override;
    CommandData SendCommand(WindowHandle window, CommandParam param, CommandData data) override;
    bool IsUsable(WindowHandle window) override;
    void PostClose(WindowHandle dialog) override;
    void DestroyDialog(WindowHandle dialog) override;
    void PostQuit(int exitCode) override;
};
