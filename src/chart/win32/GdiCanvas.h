#pragma once

#include "chart/Canvas.h"

#include <windows.h>

// The canvas on a GDI device context, normally the hDC of an owner-drawn item's DRAWITEMSTRUCT.
// Each call forwards to the GDI call it is named after; the brushes and pens it creates live
// only as long as the call (or the pen's selection) that needs them. Lines are the one
// exception: GDI draws nothing at all for a line with an end beyond its coordinate space, so a
// line to a far-off point (a level from a hand-edited data file) is cut to that space first and
// keeps the piece that shows.
class GdiCanvas : public Canvas {
public:
    explicit GdiCanvas(HDC dc) : dc(dc) {}

    void FillWhite(const CanvasRect& rect) override;
    void FillSolid(const CanvasRect& rect, CanvasColor color) override;
    CanvasPen SelectSolidPen(CanvasColor color, int width) override;
    void RestorePen(CanvasPen previous) override;
    void MoveTo(std::int32_t x, std::int32_t y) override;
    void LineTo(std::int32_t x, std::int32_t y) override;
    void SetTransparentBackground() override;
    void SetTextAlignCenterTop() override;
    void WriteText(std::int32_t x, std::int32_t y, const char* text, int length) override;
    // Arial, `height` logical units for the character (CreateFont with -height), so that a
    // printer context mapped to tenths of a millimetre gets the size the page asks for.
    void WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                         const TextStyle& style) override;

private:
    HDC dc;
    // The canvas's current position, which may lie where GDI cannot go, and whether the
    // context's own current position is the same point.
    std::int32_t penX = 0;
    std::int32_t penY = 0;
    bool contextAtPen = false;
};

// The item rectangle of a DRAWITEMSTRUCT as the chart takes it.
inline CanvasRect CanvasRectOf(const RECT& rect) {
    return CanvasRect{rect.left, rect.top, rect.right, rect.bottom};
}
