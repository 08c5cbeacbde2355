#include "chart/cairo/CairoCanvas.h"

#include "support/Cp1252.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

namespace {

constexpr CanvasColor White = 0x00FFFFFF;
constexpr CanvasColor Black = 0x00000000;

// Nothing is given to cairo farther out than this (its fixed-point coordinates end at 2^23).
constexpr std::int64_t FarLimit = std::int64_t{1} << 22;
// A pen wider than any screen covers it all the same; the limit keeps its pixels within reach.
constexpr int WidestPen = 1 << 12;

std::int64_t FloorDiv(__int128 numerator, __int128 denominator) {
    __int128 quotient = numerator / denominator;
    if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) {
        --quotient;
    }
    return static_cast<std::int64_t>(quotient);
}

std::int64_t CeilDiv(__int128 numerator, __int128 denominator) {
    return -FloorDiv(-numerator, denominator);
}

// The pixels a pen of `width` covers across its line where the exact centre lies at
// centre / scale: from centre - width / 2 inclusive to centre + width / 2 exclusive.
std::pair<std::int64_t, std::int64_t> Across(__int128 centre, __int128 scale, int width) {
    const __int128 half = __int128{width} * scale;
    return {CeilDiv(2 * centre - half, 2 * scale), CeilDiv(2 * centre + half, 2 * scale) - 1};
}

// Whole pixels, [left, right) x [top, bottom).
struct PixelArea {
    std::int64_t left;
    std::int64_t top;
    std::int64_t right;
    std::int64_t bottom;
};

// The pixels the context shows (user space, so a draw handler's translation and clip count),
// held within FarLimit.
PixelArea VisiblePixels(cairo_t* context) {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    cairo_clip_extents(context, &left, &top, &right, &bottom);
    const auto hold = [](double value) {
        return static_cast<std::int64_t>(
            std::clamp(value, -static_cast<double>(FarLimit), static_cast<double>(FarLimit)));
    };
    return PixelArea{hold(std::floor(left)), hold(std::floor(top)), hold(std::ceil(right)),
                     hold(std::ceil(bottom))};
}

// Adds the pixels [left, right) x [top, bottom), as far as they are visible, to the path. All
// rectangles run the same way round, so the path's fill is their union.
void AddPixels(cairo_t* context, const PixelArea& visible, std::int64_t left, std::int64_t top,
               std::int64_t right, std::int64_t bottom) {
    left = std::max(left, visible.left);
    top = std::max(top, visible.top);
    right = std::min(right, visible.right);
    bottom = std::min(bottom, visible.bottom);
    if (left < right && top < bottom) {
        cairo_rectangle(context, static_cast<double>(left), static_cast<double>(top),
                        static_cast<double>(right - left), static_cast<double>(bottom - top));
    }
}

// Adds the pixels of a line to the path. A one-pixel line covers, for each step along its longer
// axis from the start pixel up to the end pixel left out, the pixel nearest the exact line
// (halves rounded toward larger coordinates). A wider one covers from `width` / 2 before the
// exact line (inclusive) to `width` / 2 after it (exclusive) at every step including the end, and
// a square of that extent around each end. Only the steps within the visible area are walked,
// each computed from the start, so a line to a far-off point costs no more than the area is wide
// and shows the pixels of the whole line.
void AddLine(cairo_t* context, const PixelArea& visible, std::int64_t x0, std::int64_t y0,
             std::int64_t x1, std::int64_t y1, int width) {
    const bool wide = width > 1;
    if (wide) {
        for (const auto& [x, y] : {std::pair{x0, y0}, std::pair{x1, y1}}) {
            const auto [left, right] = Across(x, 1, width);
            const auto [top, bottom] = Across(y, 1, width);
            AddPixels(context, visible, left, top, right + 1, bottom + 1);
        }
    }
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const std::int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps == 0) {
        return;
    }
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t start = xMajor ? x0 : y0;
    const std::int64_t direction = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const std::int64_t minorStart = xMajor ? y0 : x0;
    const std::int64_t minorDelta = xMajor ? dy : dx;
    const std::int64_t majorLow = xMajor ? visible.left : visible.top;
    const std::int64_t majorHigh = (xMajor ? visible.right : visible.bottom) - 1;

    std::int64_t first = direction > 0 ? majorLow - start : start - majorHigh;
    std::int64_t final = direction > 0 ? majorHigh - start : start - majorLow;
    first = std::max<std::int64_t>(first, 0);
    final = std::min(final, wide ? steps : steps - 1);
    // Neighbouring steps with the same pixels across go into one rectangle.
    std::int64_t runFrom = 0;
    std::int64_t runTo = 0;
    std::int64_t runLow = 0;
    std::int64_t runHigh = -1; // no run yet
    const auto flush = [&] {
        if (runLow <= runHigh) {
            const std::int64_t from = std::min(runFrom, runTo);
            const std::int64_t to = std::max(runFrom, runTo) + 1;
            if (xMajor) {
                AddPixels(context, visible, from, runLow, to, runHigh + 1);
            } else {
                AddPixels(context, visible, runLow, from, runHigh + 1, to);
            }
        }
    };
    for (std::int64_t k = first; k <= final; ++k) {
        const std::int64_t major = start + k * direction;
        // The exact centre across the line, as a fraction over `steps`.
        const __int128 centre = __int128{minorStart} * steps + __int128{k} * minorDelta;
        std::int64_t low;
        std::int64_t high;
        if (wide) {
            std::tie(low, high) = Across(centre, steps, width);
        } else {
            low = high = FloorDiv(2 * centre + steps, __int128{2} * steps);
        }
        if (k > first && low == runLow && high == runHigh) {
            runTo = major;
            continue;
        }
        flush();
        runFrom = runTo = major;
        runLow = low;
        runHigh = high;
    }
    flush();
}

void SetSource(cairo_t* context, CanvasColor color) {
    cairo_set_source_rgb(context, RedOf(color) / 255.0, GreenOf(color) / 255.0,
                         BlueOf(color) / 255.0);
}

} // namespace

void CairoCanvas::Fill(const CanvasRect& rect, CanvasColor color) {
    // GDI covers the edge named left (top) and not the one named right (bottom), whichever way
    // round they are given: a rectangle from 20 to 10 covers 11 to 20.
    const auto span = [](std::int64_t from, std::int64_t to) {
        return from <= to ? std::pair{from, to} : std::pair{to + 1, from + 1};
    };
    const auto [left, right] = span(rect.left, rect.right);
    const auto [top, bottom] = span(rect.top, rect.bottom);
    cairo_save(context);
    cairo_set_antialias(context, CAIRO_ANTIALIAS_NONE);
    SetSource(context, color);
    cairo_new_path(context);
    AddPixels(context, VisiblePixels(context), left, top, right, bottom);
    cairo_fill(context);
    cairo_restore(context);
}

void CairoCanvas::FillWhite(const CanvasRect& rect) {
    Fill(rect, White);
}

void CairoCanvas::FillSolid(const CanvasRect& rect, CanvasColor color) {
    Fill(rect, color & 0x00FFFFFFu);
}

CanvasPen CairoCanvas::SelectSolidPen(CanvasColor color, int width) {
    const CanvasPen pen = nextPen++;
    pens[pen] = Pen{color & 0x00FFFFFFu, std::clamp(width, 1, WidestPen)};
    const CanvasPen previous = selected;
    selected = pen;
    return previous;
}

void CairoCanvas::RestorePen(CanvasPen previous) {
    pens.erase(selected);
    selected = previous;
}

const CairoCanvas::Pen& CairoCanvas::SelectedPen() const {
    static const Pen contextPen{Black, 1};
    const auto found = pens.find(selected);
    return found != pens.end() ? found->second : contextPen;
}

void CairoCanvas::MoveTo(std::int32_t x, std::int32_t y) {
    penX = x;
    penY = y;
}

void CairoCanvas::LineTo(std::int32_t x, std::int32_t y) {
    const Pen& pen = SelectedPen();
    cairo_save(context);
    cairo_set_antialias(context, CAIRO_ANTIALIAS_NONE);
    SetSource(context, pen.color);
    cairo_new_path(context);
    AddLine(context, VisiblePixels(context), penX, penY, x, y, pen.width);
    cairo_fill(context);
    cairo_restore(context);
    penX = x;
    penY = y;
}

void CairoCanvas::SetTransparentBackground() {
    transparent = true;
}

void CairoCanvas::SetTextAlignCenterTop() {
    centredTop = true;
}

void CairoCanvas::WriteText(std::int32_t x, std::int32_t y, const char* text, int length) {
    if (text == nullptr || length <= 0) {
        return;
    }
    // pango takes UTF-8 only; the text ends at its length or at a zero byte.
    const std::string utf8 = Cp1252ToUtf8(std::string(text, length > 0 ? length : 0).c_str());
    PangoLayout* layout = pango_cairo_create_layout(context);
    if (font != nullptr) {
        pango_layout_set_font_description(layout, font);
    }
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout, nullptr, &logical);

    // The reference point is the top of the line and, centred, the middle of its advance.
    const double left = centredTop ? x - std::floor(logical.width / 2.0) : x;
    const double top = y;
    const PixelArea visible = VisiblePixels(context);
    if (left + logical.width >= visible.left && left <= visible.right &&
        top + logical.height >= visible.top && top <= visible.bottom) {
        cairo_save(context);
        if (!transparent) {
            cairo_set_antialias(context, CAIRO_ANTIALIAS_NONE);
            SetSource(context, White);
            cairo_new_path(context);
            cairo_rectangle(context, left, top, logical.width, logical.height);
            cairo_fill(context);
        }
        SetSource(context, Black);
        cairo_move_to(context, left - logical.x, top - logical.y);
        pango_cairo_show_layout(context, layout);
        cairo_new_path(context);
        cairo_restore(context);
    }
    g_object_unref(layout);
}

void CairoCanvas::WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                                  const TextStyle& style) {
    if (text == nullptr || length <= 0 || style.height <= 0) {
        return;
    }
    const std::string utf8 = Cp1252ToUtf8(std::string(text, length).c_str());
    PangoFontDescription* description = pango_font_description_from_string("Sans");
    pango_font_description_set_absolute_size(description, style.height * double{PANGO_SCALE});
    pango_font_description_set_weight(description,
                                      style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    PangoLayout* layout = pango_cairo_create_layout(context);
    pango_layout_set_font_description(layout, description);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    const double width = logical.width / double{PANGO_SCALE};
    const double shift = style.align == TextAlign::Left     ? 0.0
                         : style.align == TextAlign::Center ? width / 2
                                                            : width;
    cairo_save(context);
    SetSource(context, Black);
    cairo_move_to(context, x - shift - logical.x / double{PANGO_SCALE},
                  y - logical.y / double{PANGO_SCALE});
    pango_cairo_show_layout(context, layout);
    cairo_new_path(context);
    cairo_restore(context);
    g_object_unref(layout);
    pango_font_description_free(description);
}
