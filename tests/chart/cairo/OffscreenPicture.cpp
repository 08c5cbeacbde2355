#include "chart/cairo/OffscreenPicture.h"

#include "chart/cairo/CairoCanvas.h"

#include <cairo.h>

RgbPicture PaintOffscreen(int width, int height, const PangoFontDescription* font,
                          const std::function<void(Canvas&, const CanvasRect&)>& paint) {
    RgbPicture picture;
    if (width <= 0 || height <= 0) {
        return picture;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* context = cairo_create(surface);
    if (cairo_status(context) == CAIRO_STATUS_SUCCESS) {
        cairo_set_source_rgb(context, 1.0, 1.0, 1.0);
        cairo_paint(context);
        CairoCanvas canvas(context, font);
        paint(canvas, CanvasRect{0, 0, width, height});
        cairo_surface_flush(surface);

        // Each pixel is a native 32-bit word 0x00RRGGBB.
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        picture.width = width;
        picture.height = height;
        picture.rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
        for (int y = 0; y < height; ++y) {
            const auto* row =
                reinterpret_cast<const std::uint32_t*>(data + std::size_t{1} * y * stride);
            for (int x = 0; x < width; ++x) {
                picture.rgb.push_back(static_cast<std::uint8_t>(row[x] >> 16));
                picture.rgb.push_back(static_cast<std::uint8_t>(row[x] >> 8));
                picture.rgb.push_back(static_cast<std::uint8_t>(row[x]));
            }
        }
    }
    cairo_destroy(context);
    cairo_surface_destroy(surface);
    return picture;
}
