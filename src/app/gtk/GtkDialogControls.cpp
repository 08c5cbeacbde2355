#include "app/gtk/GtkDialogControls.h"

#include "app/DialogProcedure.h"
#include "app/gtk/GtkDialogWindow.h"
#include "support/ControlIds.h"
#include "support/Cp1252.h"
#include "support/TextString.h"

#include <cstring>
#include <string>

namespace {

gboolean DeliverClose(gpointer data) {
    auto* dialog = static_cast<GtkDialogWindow*>(data);
    if (dialog->alive && dialog->procedure != nullptr) {
        dialog->procedure->OnClose(dialog);
    }
    return G_SOURCE_REMOVE;
}

GtkWidget* ItemOf(WindowHandle dialog, int id) {
    GtkDialogWindow* window = DialogOf(dialog);
    return window != nullptr && window->alive ? window->Item(id) : nullptr;
}

// Runs a change of the program's own without the notifications GTK would send for it.
template <typename Change> void Quietly(WindowHandle dialog, Change change) {
    GtkDialogWindow* window = DialogOf(dialog);
    const bool was = window->quiet;
    window->quiet = true;
    change();
    window->quiet = was;
}

} // namespace

int GtkDialogControls::GetItemText(WindowHandle dialog, int id, char* buffer, int maxCount) {
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    GtkWidget* item = ItemOf(dialog, id);
    const char* utf8 = "";
    if (item != nullptr && GTK_IS_ENTRY(item)) {
        utf8 = gtk_entry_get_text(GTK_ENTRY(item));
    } else if (item != nullptr && GTK_IS_LABEL(item)) {
        utf8 = gtk_label_get_text(GTK_LABEL(item));
    } else if (item != nullptr && GTK_IS_BUTTON(item)) {
        utf8 = gtk_button_get_label(GTK_BUTTON(item));
    }
    TextString text;
    Utf8ToCp1252(utf8 != nullptr ? utf8 : "", text);
    const int length = static_cast<int>(text.Length());
    const int copied = length < maxCount - 1 ? length : maxCount - 1;
    std::memcpy(buffer, text.Text(), static_cast<std::size_t>(copied));
    buffer[copied] = '\0';
    return copied;
}

void GtkDialogControls::SetItemText(WindowHandle dialog, int id, const char* text) {
    GtkWidget* item = ItemOf(dialog, id);
    const std::string utf8 = Cp1252ToUtf8(text);
    if (item == nullptr) {
        return;
    }
    Quietly(dialog, [&] {
        if (GTK_IS_ENTRY(item)) {
            gtk_entry_set_text(GTK_ENTRY(item), utf8.c_str());
        } else if (GTK_IS_LABEL(item)) {
            gtk_label_set_text(GTK_LABEL(item), utf8.c_str());
        } else if (GTK_IS_CHECK_BUTTON(item)) {
            gtk_button_set_label(GTK_BUTTON(item), utf8.c_str());
            ShortenLongCaption(item);
        } else if (GTK_IS_BUTTON(item)) {
            gtk_button_set_label(GTK_BUTTON(item), utf8.c_str());
        }
    });
}

void GtkDialogControls::EnableItem(WindowHandle dialog, int id, bool enabled) {
    if (GtkWidget* item = ItemOf(dialog, id)) {
        gtk_widget_set_sensitive(item, enabled ? TRUE : FALSE);
    }
}

bool GtkDialogControls::IsItemChecked(WindowHandle dialog, int id) {
    GtkWidget* item = ItemOf(dialog, id);
    return item != nullptr && GTK_IS_TOGGLE_BUTTON(item) &&
           gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(item));
}

void GtkDialogControls::FocusItem(WindowHandle dialog, int id) {
    // GTK, too, gives no focus to an insensitive widget.
    if (GtkWidget* item = ItemOf(dialog, id)) {
        gtk_widget_grab_focus(item);
    }
}

void GtkDialogControls::ListClear(WindowHandle dialog, int id) {
    GtkWidget* item = ItemOf(dialog, id);
    if (item != nullptr && GTK_IS_COMBO_BOX_TEXT(item)) {
        Quietly(dialog, [&] { gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(item)); });
    }
}

int GtkDialogControls::ListAdd(WindowHandle dialog, int id, const char* text) {
    GtkWidget* item = ItemOf(dialog, id);
    if (item == nullptr || !GTK_IS_COMBO_BOX_TEXT(item)) {
        return -1;
    }
    const std::string utf8 = Cp1252ToUtf8(text);
    Quietly(dialog,
            [&] { gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(item), utf8.c_str()); });
    return ListCount(dialog, id) - 1;
}

int GtkDialogControls::ListCount(WindowHandle dialog, int id) {
    GtkWidget* item = ItemOf(dialog, id);
    if (item == nullptr || !GTK_IS_COMBO_BOX(item)) {
        return 0;
    }
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(item));
    return model != nullptr ? gtk_tree_model_iter_n_children(model, nullptr) : 0;
}

int GtkDialogControls::ListSelection(WindowHandle dialog, int id) {
    GtkWidget* item = ItemOf(dialog, id);
    return item != nullptr && GTK_IS_COMBO_BOX(item) ? gtk_combo_box_get_active(GTK_COMBO_BOX(item))
                                                     : -1;
}

void GtkDialogControls::ListSelect(WindowHandle dialog, int id, int index) {
    GtkWidget* item = ItemOf(dialog, id);
    if (item == nullptr || !GTK_IS_COMBO_BOX(item)) {
        return;
    }
    // An index outside the list clears the selection, as on the platform's list.
    const int chosen = index >= 0 && index < ListCount(dialog, id) ? index : -1;
    Quietly(dialog, [&] { gtk_combo_box_set_active(GTK_COMBO_BOX(item), chosen); });
}

void GtkDialogControls::Invalidate(WindowHandle window, bool) {
    GtkDialogWindow* dialog = DialogOf(window);
    if (dialog != nullptr && dialog->alive) {
        gtk_widget_queue_draw(dialog->window);
        dialog->DescribeChart();
    }
}

void GtkDialogControls::InvalidateItem(WindowHandle dialog, int id, bool) {
    if (GtkWidget* item = ItemOf(dialog, id)) {
        gtk_widget_queue_draw(item);
        if (id == IdChart) {
            DialogOf(dialog)->DescribeChart();
        }
    }
}

bool GtkDialogControls::PostCommand(WindowHandle window, CommandParam param, CommandData data) {
    GtkDialogWindow* dialog = DialogOf(window);
    if (dialog == nullptr || !dialog->alive) {
        return false;
    }
    std::lock_guard<std::mutex> held(postedMutex);
    posted.push_back({window, param, data});
    if (!wakePending) {
        wakePending = true;
        // g_idle_add may be called from any thread; DeliverPosted runs on the main loop.
        g_idle_add_full(G_PRIORITY_DEFAULT, DeliverPosted, this, nullptr);
    }
    return true;
}

int GtkDialogControls::DeliverPosted(void* data) {
    auto* controls = static_cast<GtkDialogControls*>(data);
    std::deque<Posted> taken;
    {
        std::lock_guard<std::mutex> held(controls->postedMutex);
        taken.swap(controls->posted);
        controls->wakePending = false;
    }
    for (const Posted& command : taken) {
        GtkDialogWindow* dialog = DialogOf(command.window);
        // A dialog destroyed since the post takes no more commands.
        if (dialog->alive && dialog->procedure != nullptr) {
            dialog->procedure->OnCommand(dialog, command.param, command.data);
        }
    }
    return G_SOURCE_REMOVE;
}

CommandData GtkDialogControls::SendCommand(WindowHandle window, CommandParam param,
                                           CommandData data) {
    GtkDialogWindow* dialog = DialogOf(window);
    if (dialog != nullptr && dialog->alive && dialog->procedure != nullptr) {
        dialog->procedure->OnCommand(dialog, param, data);
    }
    return 0;
}

bool GtkDialogControls::IsUsable(WindowHandle window) {
    GtkDialogWindow* dialog = DialogOf(window);
    return dialog != nullptr && dialog->alive && dialog->visible;
}

void GtkDialogControls::PostClose(WindowHandle window) {
    GtkDialogWindow* dialog = DialogOf(window);
    if (dialog != nullptr && dialog->alive) {
        g_idle_add_full(G_PRIORITY_DEFAULT, DeliverClose, dialog, nullptr);
    }
}

void GtkDialogControls::DestroyDialog(WindowHandle window) {
    GtkDialogWindow* dialog = DialogOf(window);
    if (dialog != nullptr && dialog->alive) {
        // The "destroy" handler tells the procedure, which ends the main loop.
        gtk_widget_destroy(dialog->window);
    }
}

void GtkDialogControls::PostQuit(int code) {
    exitCode = code;
    if (gtk_main_level() > 0) {
        gtk_main_quit();
    }
}
