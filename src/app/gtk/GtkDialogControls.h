#pragma once

#include "support/DialogControls.h"

#include <deque>
#include <mutex>

// The dialog's controls over GTK widgets. The core's texts are cp1252: they are converted to
// UTF-8 on the way to a widget and back on the way from it, where a character that cp1252 cannot
// hold becomes '?', as the Windows edit control gives it.
//
// Posted commands and close requests are delivered on the GTK main loop, in the order posted,
// and only while the dialog is alive; PostCommand and IsUsable may be called from any thread.
class GtkDialogControls : public DialogControls {
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

    // The code PostQuit ended the main loop with.
    int ExitCode() const { return exitCode; }

private:
    struct Posted {
        WindowHandle window;
        CommandParam param;
        CommandData data;
    };
    static int DeliverPosted(void* controls);

    int exitCode = 0;
    // Posted commands wait here, under our own lock, until the main loop takes them; the loop is
    // woken once for all that arrive before it gets round to them.
    std::mutex postedMutex;
    std::deque<Posted> posted;
    bool wakePending = false;
};
