#pragma once

#include "app/PicturePlatform.h"
#include "app/gtk/GtkDialogWindow.h"

#include <gtk/gtk.h>

// Saving the audiogram in the native program: the chart's context menu, a GtkFileChooserDialog
// as the save dialog and CairoPicture bitmaps in the dialog's font.

// Gives the chart widget its context menu with the items "Audiogramm speichern…" and "Bericht
// drucken…": on a right click at the pointer, on Shift+F10 or the menu key (the widget's
// "popup-menu") at the chart's top left corner. Choosing an item saves the chart, or prints the
// report, as it shows at that moment.
void AttachChartMenu(GtkDialogWindow& dialog, GtkWidget* chart);

// What SaveAudiogramPicture needs of GTK. The owner it is given is the GtkDialogWindow. The
// bitmaps draw like the chart widget: in its font and with its window's font options.
class GtkPicturePlatform : public PicturePlatform {
public:
    GtkPicturePlatform(GtkWidget* chart, const PangoFontDescription* font);
    ~GtkPicturePlatform() override;
    GtkPicturePlatform(const GtkPicturePlatform&) = delete;
    GtkPicturePlatform& operator=(const GtkPicturePlatform&) = delete;

    bool AskSavePath(WindowHandle owner, const std::string& suggestedName,
                     std::string& path) override;
    std::unique_ptr<PictureBitmap> NewBitmap(int width, int height) override;

private:
    const PangoFontDescription* font;
    cairo_font_options_t* fontOptions;
};
