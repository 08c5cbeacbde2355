#include "app/gtk/GtkDialogWindow.h"

#include "app/DialogProcedure.h"
#include "support/ControlIds.h"
#include "support/Cp1252.h"

#include <string>

GtkDialogWindow::~GtkDialogWindow() {
    if (font != nullptr) {
        pango_font_description_free(font);
    }
}

GtkWidget* GtkDialogWindow::Item(int id) const {
    const auto found = items.find(id);
    return found == items.end() ? nullptr : found->second;
}

void GtkDialogWindow::DescribeChart() {
    GtkWidget* chart = Item(IdChart);
    if (chart == nullptr || procedure == nullptr) {
        return;
    }
    AtkObject* accessible = gtk_widget_get_accessible(chart);
    const std::string text = Cp1252ToUtf8(procedure->DescribeChart().c_str());
    const char* shown = atk_object_get_description(accessible);
    // Unchanged words are not announced again.
    if (shown == nullptr || text != shown) {
        atk_object_set_description(accessible, text.c_str());
    }
}

void ShortenLongCaption(GtkWidget* button) {
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
    if (label != nullptr && GTK_IS_LABEL(label)) {
        gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
        gtk_label_set_max_width_chars(GTK_LABEL(label), 1);
    }
}
