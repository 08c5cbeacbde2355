#include "fakes/RasterCanvas.h"

#include "fakes/ImageFile.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <utility>

namespace {

// 5 x 7 digits, one byte per row, bit 4 the leftmost pixel.
constexpr std::uint8_t Digits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};
constexpr std::uint8_t Unknown[7] = {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F};
constexpr int GlyphTop = 2;

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

} // namespace

RasterCanvas::RasterCanvas(int width, int height, CanvasColor background)
    : width(std::max(width, 0)), height(std::max(height, 0)),
      pixels(static_cast<std::size_t>(this->width) * static_cast<std::size_t>(this->height),
             background) {}

void RasterCanvas::Set(std::int64_t x, std::int64_t y, CanvasColor color) {
    if (x >= 0 && y >= 0 && x < width && y < height) {
        pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x)] = color;
    }
}

void RasterCanvas::Fill(const CanvasRect& rect, CanvasColor color) {
    // The edge named left (top) is covered and the one named right (bottom) is not, whichever
    // way round they are given: a rectangle from 20 to 10 covers 11 to 20, as GDI fills it.
    const auto span = [](std::int64_t from, std::int64_t to, std::int64_t limit) {
        const std::int64_t low = from <= to ? from : to + 1;
        const std::int64_t high = from <= to ? to : from + 1;
        return std::pair{std::max<std::int64_t>(low, 0), std::min(high, limit)};
    };
    const auto [left, right] = span(rect.left, rect.right, width);
    const auto [top, bottom] = span(rect.top, rect.bottom, height);
    for (std::int64_t y = top; y < bottom; ++y) {
        for (std::int64_t x = left; x < right; ++x) {
            Set(x, y, color);
        }
    }
}

void RasterCanvas::FillWhite(const CanvasRect& rect) {
    Fill(rect, White);
}

void RasterCanvas::FillSolid(const CanvasRect& rect, CanvasColor color) {
    Fill(rect, color & 0x00FFFFFFu);
}

CanvasPen RasterCanvas::SelectSolidPen(CanvasColor color, int width) {
    const CanvasPen pen = nextPen++;
    pens[pen] = Pen{color & 0x00FFFFFFu, std::max(width, 1)};
    const CanvasPen previous = selected;
    selected = pen;
    return previous;
}

void RasterCanvas::RestorePen(CanvasPen previous) {
    pens.erase(selected);
    selected = previous;
}

void RasterCanvas::MoveTo(std::int32_t x, std::int32_t y) {
    penX = x;
    penY = y;
}

void RasterCanvas::LineTo(std::int32_t x, std::int32_t y) {
    const auto found = pens.find(selected);
    const Pen& pen = found != pens.end() ? found->second : contextPen;
    DrawLine(penX, penY, x, y, pen);
    penX = x;
    penY = y;
}

void RasterCanvas::Cap(std::int64_t x, std::int64_t y, const Pen& pen) {
    const auto [left, right] = Across(x, 1, pen.width);
    const auto [top, bottom] = Across(y, 1, pen.width);
    for (std::int64_t row = top; row <= bottom; ++row) {
        for (std::int64_t column = left; column <= right; ++column) {
            Set(column, row, pen.color);
        }
    }
}

void RasterCanvas::DrawLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                            const Pen& pen) {
    const bool wide = pen.width > 1;
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const std::int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (wide) {
        Cap(x0, y0, pen);
        Cap(x1, y1, pen);
    }
    if (steps == 0) {
        return;
    }
    // A thin line leaves out its end pixel; a wide one reaches it with its cap.
    const std::int64_t last = wide ? steps : steps - 1;

    // Walk the major axis over the stretch that can touch the picture only, so that lines to far
    // away points cost no more than the picture is wide. Every point is computed from the start,
    // so the pixels inside are those of the whole line.
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t start = xMajor ? x0 : y0;
    const std::int64_t direction = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const std::int64_t minorStart = xMajor ? y0 : x0;
    const std::int64_t minorDelta = xMajor ? dy : dx;
    const std::int64_t margin = pen.width;
    const std::int64_t majorLow = -margin;
    const std::int64_t majorHigh = (xMajor ? width : height) - 1 + margin;
    const std::int64_t minorLow = -margin;
    const std::int64_t minorHigh = (xMajor ? height : width) - 1 + margin;

    std::int64_t first = direction > 0 ? majorLow - start : start - majorHigh;
    std::int64_t final = direction > 0 ? majorHigh - start : start - majorLow;
    first = std::max<std::int64_t>(first, 0);
    final = std::min(final, last);
    for (std::int64_t k = first; k <= final; ++k) {
        const std::int64_t major = start + k * direction;
        // The exact centre across the line, as a fraction over `steps`.
        const __int128 centre = __int128{minorStart} * steps + __int128{k} * minorDelta;
        std::int64_t low;
        std::int64_t high;
        if (wide) {
            std::tie(low, high) = Across(centre, steps, pen.width);
        } else {
            // Nearest pixel to the exact line, halves rounded toward larger coordinates.
            low = high = FloorDiv(2 * centre + steps, __int128{2} * steps);
        }
        if (high < minorLow || low > minorHigh) {
            continue;
        }
        for (std::int64_t minor = low; minor <= high; ++minor) {
            Set(xMajor ? major : minor, xMajor ? minor : major, pen.color);
        }
    }
}

void RasterCanvas::SetTransparentBackground() {
    transparent = true;
}

void RasterCanvas::SetTextAlignCenterTop() {
    centredTop = true;
}

void RasterCanvas::DrawGlyph(std::int64_t left, std::int64_t top, char c) {
    const std::uint8_t* rows = (c >= '0' && c <= '9') ? Digits[c - '0'] : Unknown;
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 5; ++column) {
            if (rows[row] & (0x10 >> column)) {
                Set(left + column, top + GlyphTop + row, textColor);
            }
        }
    }
}

void RasterCanvas::WriteText(std::int32_t x, std::int32_t y, const char* text, int length) {
    if (length <= 0) {
        return;
    }
    const std::int64_t extent = std::int64_t{CellWidth} * length;
    const std::int64_t left = centredTop ? x - extent / 2 : x;
    const CanvasRect box{static_cast<std::int32_t>(left), y,
                         static_cast<std::int32_t>(left + extent),
                         static_cast<std::int32_t>(std::int64_t{y} + CellHeight)};
    textBoxes.push_back(TextBox{box, std::string(text, static_cast<std::size_t>(length))});
    if (!transparent) {
        Fill(box, textBackground);
    }
    for (int i = 0; i < length; ++i) {
        DrawGlyph(left + std::int64_t{CellWidth} * i, y, text[i]);
    }
}

void RasterCanvas::WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                                   const TextStyle& style) {
    const std::int64_t extent = std::int64_t{style.height} / 2 * std::max(length, 0);
    const std::int64_t left = style.align == TextAlign::Left     ? x
                              : style.align == TextAlign::Center ? x - extent / 2
                                                                 : x - extent;
    textBoxes.push_back(TextBox{
        CanvasRect{static_cast<std::int32_t>(left), y, static_cast<std::int32_t>(left + extent),
                   static_cast<std::int32_t>(y + std::int64_t{style.height})},
        std::string(text, static_cast<std::size_t>(std::max(length, 0)))});
}

CanvasColor RasterCanvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return Outside;
    }
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
}

int RasterCanvas::Count(CanvasColor color, const CanvasRect& rect) const {
    int count = 0;
    for (int y = std::max(rect.top, 0); y < std::min(rect.bottom, height); ++y) {
        for (int x = std::max(rect.left, 0); x < std::min(rect.right, width); ++x) {
            count += Pixel(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

int RasterCanvas::Count(CanvasColor color) const {
    return Count(color, CanvasRect{0, 0, width, height});
}

std::vector<std::uint8_t> RasterCanvas::Rgb() const {
    std::vector<std::uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (CanvasColor color : pixels) {
        rgb.push_back(static_cast<std::uint8_t>(RedOf(color)));
        rgb.push_back(static_cast<std::uint8_t>(GreenOf(color)));
        rgb.push_back(static_cast<std::uint8_t>(BlueOf(color)));
    }
    return rgb;
}

bool RasterCanvas::SavePng(const std::string& path) const {
    return WritePng(path, width, height, Rgb());
}

bool RasterCanvas::SavePpm(const std::string& path) const {
    return WritePpm(path, width, height, Rgb());
}
