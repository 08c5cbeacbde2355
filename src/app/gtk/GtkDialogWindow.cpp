#include "app/gtk/GtkDialogWindow.h"

GtkDialogWindow::~GtkDialogWindow() {
    if (font != nullptr) {
        pango_font_description_free(font);
    }
}

GtkWidget* GtkDialogWindow::Item(int id) const {
    const auto found = items.find(id);
    return found == items.end() ? nullptr : found->second;
}
