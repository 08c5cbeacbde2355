#include "chart/win32/GdiCanvas.h"

namespace {

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
    MoveToEx(dc, x, y, nullptr);
}

void GdiCanvas::LineTo(std::int32_t x, std::int32_t y) {
    ::LineTo(dc, x, y);
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
