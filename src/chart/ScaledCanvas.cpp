#include "chart/ScaledCanvas.h"

#include "chart/LineClip.h"

#include <algorithm>
#include <cmath>

ScaledCanvas::ScaledCanvas(Canvas& target, const CanvasRect& source, std::int32_t left,
                           std::int32_t top, std::int32_t numerator, std::int32_t denominator,
                           int labelHeight)
    : target(target), source(source), left(left), top(top),
      scale(denominator > 0 ? static_cast<double>(numerator) / denominator : 1.0),
      labelHeight(labelHeight) {}

std::int32_t ScaledCanvas::MapX(double x) const {
    return left + static_cast<std::int32_t>(std::lround((x - source.left) * scale));
}

std::int32_t ScaledCanvas::MapY(double y) const {
    return top + static_cast<std::int32_t>(std::lround((y - source.top) * scale));
}

bool ScaledCanvas::Inside(std::int32_t x, std::int32_t y) const {
    return x >= source.left && x < source.right && y >= source.top && y < source.bottom;
}

bool ScaledCanvas::MapRect(const CanvasRect& rect, CanvasRect& mapped) const {
    const std::int32_t l = std::max(std::min(rect.left, rect.right), source.left);
    const std::int32_t r = std::min(std::max(rect.left, rect.right), source.right);
    const std::int32_t t = std::max(std::min(rect.top, rect.bottom), source.top);
    const std::int32_t b = std::min(std::max(rect.top, rect.bottom), source.bottom);
    if (l >= r || t >= b) {
        return false;
    }
    mapped = CanvasRect{MapX(l), MapY(t), MapX(r), MapY(b)};
    return true;
}

void ScaledCanvas::FillWhite(const CanvasRect& rect) {
    CanvasRect mapped{};
    if (MapRect(rect, mapped)) {
        target.FillWhite(mapped);
    }
}

void ScaledCanvas::FillSolid(const CanvasRect& rect, CanvasColor color) {
    CanvasRect mapped{};
    if (MapRect(rect, mapped)) {
        target.FillSolid(mapped, color);
    }
}

CanvasPen ScaledCanvas::SelectSolidPen(CanvasColor color, int width) {
    return target.SelectSolidPen(color, std::max(1, static_cast<int>(std::lround(width * scale))));
}

void ScaledCanvas::RestorePen(CanvasPen previous) {
    target.RestorePen(previous);
}

void ScaledCanvas::MoveTo(std::int32_t x, std::int32_t y) {
    penX = x;
    penY = y;
}

void ScaledCanvas::LineTo(std::int32_t x, std::int32_t y) {
    const double x0 = penX;
    const double y0 = penY;
    const double dx = static_cast<double>(x) - x0;
    const double dy = static_cast<double>(y) - y0;
    penX = x;
    penY = y;
    double first = 0.0;
    double last = 1.0;
    if (ClipLine(x0, y0, dx, dy, source.left, source.top, source.right, source.bottom, first,
                 last)) {
        target.MoveTo(MapX(x0 + first * dx), MapY(y0 + first * dy));
        target.LineTo(MapX(x0 + last * dx), MapY(y0 + last * dy));
    }
}

void ScaledCanvas::SetTransparentBackground() {
    // Styled texts are always written over a transparent background.
}

void ScaledCanvas::SetTextAlignCenterTop() {
    centredTop = true;
}

void ScaledCanvas::WriteText(std::int32_t x, std::int32_t y, const char* text, int length) {
    if (Inside(x, y)) {
        target.WriteStyledText(
            MapX(x), MapY(y), text, length,
            TextStyle{labelHeight, centredTop ? TextAlign::Center : TextAlign::Left, false});
    }
}

void ScaledCanvas::WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                                   const TextStyle& style) {
    if (Inside(x, y)) {
        TextStyle scaled = style;
        scaled.height = std::max(1, static_cast<int>(std::lround(style.height * scale)));
        target.WriteStyledText(MapX(x), MapY(y), text, length, scaled);
    }
}
