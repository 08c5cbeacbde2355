#include "app/gtk/FontBaseUnits.h"

FontBaseUnits MeasureBaseUnits(GtkWidget* widget, const PangoFontDescription* font) {
    PangoLayout* layout = gtk_widget_create_pango_layout(
        widget, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    pango_layout_set_font_description(layout, font);
    int letters = 0;
    pango_layout_get_pixel_size(layout, &letters, nullptr);
    PangoFontMetrics* metrics =
        pango_context_get_metrics(pango_layout_get_context(layout), font, nullptr);
    const int height = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) +
                                    pango_font_metrics_get_descent(metrics));
    pango_font_metrics_unref(metrics);
    g_object_unref(layout);
    // Never below what keeps a control readable, should a font report nonsense.
    const int width = (letters / 26 + 1) / 2;
    return {width > 4 ? width : 4, height > 8 ? height : 8};
}
