#pragma once

#include "chart/PictureBitmap.h"
#include "chart/cairo/CairoCanvas.h"

#include <cairo.h>
#include <pango/pango.h>

#include <memory>

// The chart's picture bitmap on Linux: a cairo image surface without alpha, white to begin with,
// drawn through a CairoCanvas in the dialog's font; cairo's own PNG writer encodes it. Text is
// rendered with the font options given, those of the surface the chart is shown on, so hinting
// puts the labels on the same pixels as on the screen.
class CairoPicture : public PictureBitmap {
public:
    // Null when the surface cannot be made (a size below 1 or too large for memory). The font is
    // not owned and must outlive the picture; null leaves pango's default. Null options keep
    // the image surface's own.
    static std::unique_ptr<CairoPicture> Create(int width, int height,
                                                const PangoFontDescription* font,
                                                const cairo_font_options_t* options = nullptr);
    ~CairoPicture() override;
    CairoPicture(const CairoPicture&) = delete;
    CairoPicture& operator=(const CairoPicture&) = delete;

    Canvas& Drawing() override { return canvas; }
    bool EncodePng(std::vector<std::uint8_t>& png) override;

private:
    CairoPicture(cairo_surface_t* surface, cairo_t* context, const PangoFontDescription* font)
        : surface(surface), context(context), canvas(context, font) {}

    cairo_surface_t* surface;
    cairo_t* context;
    CairoCanvas canvas;
};
