#include "chart/win32/GdiCanvas.h"

#include "chart/LineClip.h"

#include <cmath>
#include <cstdlib>

namespace {

// Windows keeps device coordinates within 27 bits, and Wine drops lines that reach 10^9; well
// inside both, a cut line's end still lies millions of pixels beyond any device.
constexpr double CoordinateLimit = 1 << 26;

bool InsideLimit(std::int32_t x, std::int32_t y) {
    return std::abs(static_cast<double>(x)) <= CoordinateLimit &&
           std::abs(static_cast<double>(y)) <= CoordinateLimit;
}

RECT ToRect(const CanvasRect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

} // namespace

void GdiCanvas::FillWhite(const CanvasRect& rect) {
    const RECT area = ToRect(rect);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void GdiCanvas::FillSolid(const CanvasRect& rect, CanvasColor color) {
    const RECT area = ToRect(rect);
    // Created per fill and deleted right after: a brush kept per paint would leak one GDI object
    // with every repaint.
    HBRUSH brush = CreateSolidBrush(color);
    if (brush != nullptr) {
        FillRect(dc, &area, brush);
        DeleteObject(brush);
    }
}

CanvasPen GdiCanvas::SelectSolidPen(CanvasColor color, int width) {
    HPEN pen = CreatePen(PS_SOLID, width, color);
    if (pen == nullptr) {
        // Nothing selected: the lines fall back to the context's pen, and RestorePen below
        // selects the context's own pen over itself, which changes nothing.
        return reinterpret_cast<CanvasPen>(GetCurrentObject(dc, OBJ_PEN));
    }
    return reinterpret_cast<CanvasPen>(SelectObject(dc, pen));
}

void GdiCanvas::RestorePen(CanvasPen previous) {
    HGDIOBJ ours = SelectObject(dc, reinterpret_cast<HGDIOBJ>(previous));
    // SelectObject hands back the pen it took out, which is the one SelectSolidPen created (or,
    // if that failed, the context's own pen, which must not be deleted).
    if (ours != nullptr && ours != reinterpret_cast<HGDIOBJ>(previous)) {
        DeleteObject(ours);
    }
}

void GdiCanvas::MoveTo(std::int32_t x, std::int32_t y) {
    penX = x;
    penY = y;
    contextAtPen = InsideLimit(x, y);
    if (contextAtPen) {
        MoveToEx(dc, x, y, nullptr);
    }
}

void GdiCanvas::LineTo(std::int32_t x, std::int32_t y) {
    const std::int32_t fromX = penX;
    const std::int32_t fromY = penY;
    penX = x;
    penY = y;
    if (contextAtPen && InsideLimit(x, y)) {
        ::LineTo(dc, x, y);
        return;
    }
    // Draw the piece within the limits; its cut ends lie far outside every device, so the
    // pixels that show are those of the whole line, give or take the rounding of a cut end.
    const double x0 = fromX;
    const double y0 = fromY;
    const double dx = static_cast<double>(x) - x0;
    const double dy = static_cast<double>(y) - y0;
    double first = 0.0;
    double last = 1.0;
    if (ClipLine(x0, y0, dx, dy, -CoordinateLimit, -CoordinateLimit, CoordinateLimit,
                 CoordinateLimit, first, last)) {
        MoveToEx(dc, static_cast<int>(std::lround(x0 + first * dx)),
                 static_cast<int>(std::lround(y0 + first * dy)), nullptr);
        ::LineTo(dc, static_cast<int>(std::lround(x0 + last * dx)),
                 static_cast<int>(std::lround(y0 + last * dy)));
    }
    contextAtPen = InsideLimit(x, y);
    if (contextAtPen) {
        MoveToEx(dc, x, y, nullptr);
    }
}

void GdiCanvas::SetTransparentBackground() {
    SetBkMode(dc, TRANSPARENT);
}

void GdiCanvas::SetTextAlignCenterTop() {
    SetTextAlign(dc, TA_CENTER | TA_TOP);
}

void GdiCanvas::WriteText(std::int32_t x, std::int32_t y, const char* text, int length) {
    TextOutA(dc, x, y, text, length);
}

void GdiCanvas::WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                                const TextStyle& style) {
    HFONT font = CreateFontA(-style.height, 0, 0, 0, style.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                             FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    if (font == nullptr) {
        return;
    }
    const HGDIOBJ previousFont = SelectObject(dc, font);
    const UINT previousAlign = SetTextAlign(dc, (style.align == TextAlign::Left     ? TA_LEFT
                                                 : style.align == TextAlign::Center ? TA_CENTER
                                                                                    : TA_RIGHT) |
                                                    TA_TOP);
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, x, y, text, length);
    SetBkMode(dc, previousMode);
    SetTextAlign(dc, previousAlign);
    SelectObject(dc, previousFont);
    DeleteObject(font);
}
