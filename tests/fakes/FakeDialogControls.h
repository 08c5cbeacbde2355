#pragma once

#include "support/DialogControls.h"

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A dialog without a window: it keeps what the system did to each control so a test can look,
// and lets a test play the user (type a name, tick a box, pick a list item).
// Posted commands are queued (thread-safe, the audio thread posts too); sent commands go to
// `onSend` at once, as SendMessage would run the dialog procedure.
class FakeDialogControls : public DialogControls {
public:
    struct Posted {
        WindowHandle window;
        CommandParam param;
        CommandData data;
    };
    struct Sent {
        WindowHandle window;
        CommandParam param;
        CommandData data;
    };

    // DialogControls
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

    // What the test reads and sets. Controls not yet touched are enabled, unchecked and empty.
    std::string Text(int id) const;
    bool Enabled(int id) const;
    void SetChecked(int id, bool checked);
    std::vector<std::string> ListItems(int id) const;

    // Takes every posted command so far (oldest first).
    std::vector<Posted> TakePosted();
    std::size_t PostedCount() const;

    // Whether IsUsable answers true (the dialog exists, is valid and visible).
    void SetUsable(bool usable);

    std::function<CommandData(const Sent&)> onSend;
    std::vector<Sent> sent;
    int invalidations = 0;        // whole-window invalidations
    int erasingInvalidations = 0; // of those, with erasing
    std::vector<int> invalidatedItems;
    int closePosts = 0;
    bool destroyed = false;
    int quitCode = -1;
    // The control with the keyboard focus (0: none), kept as the platform keeps it: a disabled
    // control takes no focus, and disabling the focused one leaves the dialog without one.
    int focused = 0;

private:
    struct Control {
        std::string text;
        bool enabled = true;
        bool checked = false;
        std::vector<std::string> items;
        int selection = -1;
    };

    Control& At(int id) { return controls[id]; }

    std::map<int, Control> controls;
    mutable std::mutex postedMutex;
    std::deque<Posted> posted;
    bool usable = true;
};
