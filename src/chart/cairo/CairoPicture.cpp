#include "chart/cairo/CairoPicture.h"

namespace {

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* png = static_cast<std::vector<std::uint8_t>*>(closure);
    png->insert(png->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::unique_ptr<CairoPicture> CairoPicture::Create(int width, int height,
                                                   const PangoFontDescription* font,
                                                   const cairo_font_options_t* options) {
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* context = cairo_create(surface);
    if (cairo_status(context) != CAIRO_STATUS_SUCCESS) {
        // Both are cairo's inert error objects then, which may still be destroyed.
        cairo_destroy(context);
        cairo_surface_destroy(surface);
        return nullptr;
    }
    if (options != nullptr) {
        cairo_set_font_options(context, options);
    }
    cairo_set_source_rgb(context, 1.0, 1.0, 1.0);
    cairo_paint(context);
    return std::unique_ptr<CairoPicture>(new CairoPicture(surface, context, font));
}

CairoPicture::~CairoPicture() {
    cairo_destroy(context);
    cairo_surface_destroy(surface);
}

bool CairoPicture::EncodePng(std::vector<std::uint8_t>& png) {
    cairo_surface_flush(surface);
    png.clear();
    return cairo_surface_write_to_png_stream(surface, &AppendBytes, &png) == CAIRO_STATUS_SUCCESS;
}
