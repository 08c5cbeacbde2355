#pragma once

#include <gtk/gtk.h>

#include <atomic>
#include <map>

class DialogProcedure;

// The native main dialog: its window, its controls by id and the procedure that handles its
// messages. A WindowHandle of the native program points to one of these.
//
// Threads: the audio thread only posts commands and asks whether the dialog is usable, so
// `alive` and `visible` are atomic; everything else belongs to the GTK main loop's thread.
struct GtkDialogWindow {
    GtkWidget* window = nullptr;
    std::map<int, GtkWidget*> items;
    DialogProcedure* procedure = nullptr;
    // The dialog's font, which the chart writes its labels in; owned.
    PangoFontDescription* font = nullptr;
    std::atomic<bool> alive{false};   // created and not yet destroyed
    std::atomic<bool> visible{false}; // mapped on the screen
    // Set while the program changes a control itself: GTK reports such changes like the user's,
    // the platform's dialogs do not.
    bool quiet = false;

    GtkDialogWindow() = default;
    ~GtkDialogWindow();
    GtkDialogWindow(const GtkDialogWindow&) = delete;
    GtkDialogWindow& operator=(const GtkDialogWindow&) = delete;

    GtkWidget* Item(int id) const;
    // Gives the chart's accessible description the procedure's words for what the chart shows;
    // called whenever the chart is invalidated.
    void DescribeChart();
};

// The dialog a handle names, or null.
inline GtkDialogWindow* DialogOf(void* handle) {
    return static_cast<GtkDialogWindow*>(handle);
}

// A check box's caption that carries a name ("Vergleich: ...") is shortened with an ellipsis at
// the control's width instead of widening it and the window: it asks for one character, and the
// template's width is the control's size request. GTK makes a new label for each new caption.
void ShortenLongCaption(GtkWidget* button);
