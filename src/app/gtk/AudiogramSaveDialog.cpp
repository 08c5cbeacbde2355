#include "app/gtk/AudiogramSaveDialog.h"

#include "app/AudiogramPicture.h"
#include "app/DialogProcedure.h"
#include "app/PictureFileName.h"
#include "app/PictureStartFolder.h"
#include "app/ReportPrint.h"
#include "app/gtk/GtkDialogControls.h"
#include "app/gtk/ReportPrintOperation.h"
#include "chart/cairo/CairoPicture.h"
#include "support/ControlIds.h"
#include "support/Cp1252.h"
#include "support/ModalPause.h"

#include <string>
#include <utility>

namespace {

std::string StartFolder() {
    auto known = [](const char* path) { return std::string(path != nullptr ? path : ""); };
    return PictureStartFolder(
        {known(g_get_user_special_dir(G_USER_DIRECTORY_PICTURES)),
         known(g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS)), known(g_get_home_dir())},
        [](const std::string& path) { return g_file_test(path.c_str(), G_FILE_TEST_IS_DIR); });
}

void SaveChart(GtkDialogWindow& dialog) {
    GtkWidget* chart = dialog.Item(IdChart);
    if (chart == nullptr || dialog.procedure == nullptr) {
        return;
    }
    // Only the name field is read, which keeps no state in the controls object.
    GtkDialogControls controls;
    GtkPicturePlatform platform(chart, dialog.font);
    DialogProcedure& procedure = *dialog.procedure;
    SaveAudiogramPicture(
        &dialog, controls, platform,
        [&procedure](Canvas& canvas, const CanvasRect& item) {
            procedure.OnDrawItem(IdChart, canvas, item);
        },
        gtk_widget_get_allocated_width(chart), gtk_widget_get_allocated_height(chart),
        LocalTimeNow);
}

void OnSaveChosen(GtkMenuItem*, gpointer data) {
    SaveChart(*static_cast<GtkDialogWindow*>(data));
}

void OnPrintChosen(GtkMenuItem*, gpointer data) {
    PrintReport(*static_cast<GtkDialogWindow*>(data));
}

gboolean DestroyMenu(gpointer menu) {
    gtk_widget_destroy(static_cast<GtkWidget*>(menu));
    return G_SOURCE_REMOVE;
}

constexpr const char* MenuPauseKey = "tonolot-modal-pause";

void EndPause(gpointer pause) {
    delete static_cast<ModalPause*>(pause);
}

void OnMenuClosed(GtkMenuShell* menu, gpointer) {
    // Setting the data anew ends the menu's pause now (see ShowMenu); a chosen save dialog
    // takes its own.
    g_object_set_data(G_OBJECT(menu), MenuPauseKey, nullptr);
    // The chosen item is activated after the menu closes; the menu goes once that is done.
    g_idle_add(DestroyMenu, menu);
}

void ShowMenu(GtkDialogWindow& dialog, GtkWidget* chart, const GdkEvent* trigger) {
    GtkWidget* menu = gtk_menu_new();
    // The open menu takes the pointer and the keys: a run holds until it is gone (ModalPause).
    g_object_set_data_full(G_OBJECT(menu), MenuPauseKey, new ModalPause, EndPause);
    // Both shown but greyed during a run: their dialogs would keep the person from answering.
    const bool allowed = dialog.procedure != nullptr && dialog.procedure->MayOpenPictureSave();
    const std::pair<const char*, GCallback> items[] = {
        {SavePictureMenuItem, G_CALLBACK(OnSaveChosen)},
        {PrintReportMenuItem, G_CALLBACK(OnPrintChosen)}};
    for (const auto& [label, chosen] : items) {
        GtkWidget* item = gtk_menu_item_new_with_label(Cp1252ToUtf8(label).c_str());
        gtk_widget_set_sensitive(item, allowed);
        g_signal_connect(item, "activate", chosen, &dialog);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    }
    gtk_widget_show_all(menu);
    gtk_menu_attach_to_widget(GTK_MENU(menu), chart, nullptr);
    g_signal_connect(menu, "deactivate", G_CALLBACK(OnMenuClosed), nullptr);
    if (trigger != nullptr) {
        gtk_menu_popup_at_pointer(GTK_MENU(menu), trigger);
    } else {
        gtk_menu_popup_at_widget(GTK_MENU(menu), chart, GDK_GRAVITY_NORTH_WEST,
                                 GDK_GRAVITY_NORTH_WEST, nullptr);
    }
}

gboolean OnChartButton(GtkWidget* chart, GdkEventButton* event, gpointer data) {
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_SECONDARY) {
        return FALSE;
    }
    ShowMenu(*static_cast<GtkDialogWindow*>(data), chart, reinterpret_cast<GdkEvent*>(event));
    return TRUE;
}

gboolean OnChartMenuKey(GtkWidget* chart, gpointer data) {
    ShowMenu(*static_cast<GtkDialogWindow*>(data), chart, nullptr);
    return TRUE;
}

// GTK asks about the name as typed. Without ".png" that is not the file written: the question is
// left to the saving code, which asks about the name with ".png" if that file exists, so the
// person is asked once, about the file that will be written.
GtkFileChooserConfirmation ConfirmOverwrite(GtkFileChooser* files, gpointer) {
    gchar* name = gtk_file_chooser_get_filename(files);
    const bool png = name != nullptr && HasPngExtension(name);
    g_free(name);
    return png ? GTK_FILE_CHOOSER_CONFIRMATION_CONFIRM
               : GTK_FILE_CHOOSER_CONFIRMATION_ACCEPT_FILENAME;
}

} // namespace

void AttachChartMenu(GtkDialogWindow& dialog, GtkWidget* chart) {
    gtk_widget_add_events(chart, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(chart, "button-press-event", G_CALLBACK(OnChartButton), &dialog);
    g_signal_connect(chart, "popup-menu", G_CALLBACK(OnChartMenuKey), &dialog);
}

GtkPicturePlatform::GtkPicturePlatform(GtkWidget* chart, const PangoFontDescription* font)
    : font(font), fontOptions(cairo_font_options_create()) {
    // The window's surfaces carry the display's font options; an image surface has its own.
    if (GdkWindow* window = gtk_widget_get_window(chart)) {
        cairo_surface_t* similar =
            gdk_window_create_similar_surface(window, CAIRO_CONTENT_COLOR, 1, 1);
        cairo_surface_get_font_options(similar, fontOptions);
        cairo_surface_destroy(similar);
    }
}

GtkPicturePlatform::~GtkPicturePlatform() {
    cairo_font_options_destroy(fontOptions);
}

bool GtkPicturePlatform::AskSavePath(WindowHandle owner, const std::string& suggestedName,
                                     std::string& path) {
    GtkDialogWindow* dialog = DialogOf(owner);
    GtkWindow* parent =
        dialog != nullptr && dialog->window != nullptr ? GTK_WINDOW(dialog->window) : nullptr;
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        SavePictureTitle, parent, GTK_FILE_CHOOSER_ACTION_SAVE, "_Abbrechen", GTK_RESPONSE_CANCEL,
        "_Speichern", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, SavePictureFilterName);
    gtk_file_filter_add_pattern(filter, "*.[Pp][Nn][Gg]");
    gtk_file_chooser_add_filter(files, filter);
    gtk_file_chooser_set_do_overwrite_confirmation(files, TRUE);
    g_signal_connect(chooser, "confirm-overwrite", G_CALLBACK(ConfirmOverwrite), nullptr);
    const std::string folder = StartFolder();
    if (!folder.empty()) {
        gtk_file_chooser_set_current_folder(files, folder.c_str());
    }
    gtk_file_chooser_set_current_name(files, suggestedName.c_str());
    gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);

    bool chosen = false;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        // The name's bytes as the file system has them, which the POSIX file calls take.
        if (gchar* name = gtk_file_chooser_get_filename(files)) {
            path = name;
            chosen = true;
            g_free(name);
        }
    }
    gtk_widget_destroy(chooser);
    return chosen;
}

std::unique_ptr<PictureBitmap> GtkPicturePlatform::NewBitmap(int width, int height) {
    return CairoPicture::Create(width, height, font, fontOptions);
}
