#pragma once

#include "chart/Canvas.h"

#include <cstdint>

// Draws a picture made for one rectangle (the chart's item, in screen pixels) into a place of
// another canvas (a printed page), every length multiplied by numerator / denominator. What falls
// outside the rectangle is cut off here, as the screen's clipping cuts it: a level far below the
// plot must not run over the rest of the page. Lines stay lines, so the page keeps vectors; the
// chart's labels become styled texts of `labelHeight` target units.
class ScaledCanvas : public Canvas {
public:
    ScaledCanvas(Canvas& target, const CanvasRect& source, std::int32_t left, std::int32_t top,
                 std::int32_t numerator, std::int32_t denominator, int labelHeight);

    void FillWhite(const CanvasRect& rect) override;
    void FillSolid(const CanvasRect& rect, CanvasColor color) override;
    CanvasPen SelectSolidPen(CanvasColor color, int width) override;
    void RestorePen(CanvasPen previous) override;
    void MoveTo(std::int32_t x, std::int32_t y) override;
    void LineTo(std::int32_t x, std::int32_t y) override;
    void SetTransparentBackground() override;
    void SetTextAlignCenterTop() override;
    void WriteText(std::int32_t x, std::int32_t y, const char* text, int length) override;
    void WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                         const TextStyle& style) override;

private:
    std::int32_t MapX(double x) const;
    std::int32_t MapY(double y) const;
    bool Inside(std::int32_t x, std::int32_t y) const;
    // The rectangle's part within the source, mapped; false when nothing of it is left.
    bool MapRect(const CanvasRect& rect, CanvasRect& mapped) const;

    Canvas& target;
    CanvasRect source;
    std::int32_t left;
    std::int32_t top;
    double scale;
    int labelHeight;
    std::int32_t penX = 0;
    std::int32_t penY = 0;
    bool centredTop = false;
};
