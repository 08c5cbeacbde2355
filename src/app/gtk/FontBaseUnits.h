#pragma once

#include <gtk/gtk.h>

// The base units of a dialog font, measured as the platform's dialogs measure theirs: the width
// is the average width of the 52 Latin letters, rounded ((width / 26 + 1) / 2), the height is the
// font's height (ascent plus descent). Dialog units are quarters and eighths of them.
struct FontBaseUnits {
    int width;
    int height;
};

FontBaseUnits MeasureBaseUnits(GtkWidget* widget, const PangoFontDescription* font);
