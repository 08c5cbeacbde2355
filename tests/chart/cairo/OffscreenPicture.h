#pragma once

#include "chart/Canvas.h"

#include <pango/pango.h>

#include <cstdint>
#include <functional>
#include <vector>

// A picture as 8-bit RGB, three bytes per pixel, rows top to bottom.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// Paints into an off-screen image, white to begin with, through a CairoCanvas with the given font
// (null: pango's default) and hands back its pixels; `paint` gets the canvas and the image's
// rectangle (the chart's item). An empty picture when the image cannot be made (a size below 1
// or too large for memory).
RgbPicture PaintOffscreen(int width, int height, const PangoFontDescription* font,
                          const std::function<void(Canvas&, const CanvasRect&)>& paint);
