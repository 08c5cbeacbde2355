#pragma once

#include "chart/Canvas.h"

#include <cairo.h>
#include <pango/pango.h>

#include <cstdint>
#include <map>

// The canvas on a cairo context, normally the one a GTK draw handler gets for the chart widget
// (the widget's origin at (0, 0)). It draws the picture GDI draws on a fresh device context:
//
// - The context starts with GDI's black one-pixel pen, black text and opaque white text
//   background; pens and fills take the colour exactly.
// - Fills and lines are whole pixels, worked out in integers by GDI's coverage rules and filled
//   as pixel-aligned rectangles without anti-aliasing: a filled rectangle covers its left and
//   top edges but not its right and bottom ones; a one-pixel line covers its start pixel but not
//   its end pixel, with the pixel nearest the exact line at each step of its longer axis; a
//   wider pen covers from width / 2 before the exact line to width / 2 after it along the shorter
//   axis, and a square of that extent at each end in place of GDI's round end (at two pixels
//   both are the same four pixels). Shapes cut by cairo would not do: its coordinates have 1/256
//   of a pixel and end at 2^23, while a level may be as large as int32 allows and put a curve's
//   end billions of pixels away, a hair beside a pixel boundary.
// - Only the part of a line within the visible area (the context's clip) is walked, each pixel
//   computed from the whole line, so a line to a far-off point shows the pixels the whole line
//   has there, as GDI shows them after GdiCanvas has cut the line.
// - Text is laid out with pango in the font the caller gives (the dialog's), converted from
//   cp1252 to UTF-8, and anti-aliased as the context's font options say.
//
// Tolerance: none for fills and lines. These rules are those of the test rasteriser, which was
// checked against GDI: every pixel it draws GDI draws too, GDI adds a few along a slanted wide
// line's edges (its pen is two pixels across the line, not along an axis), so a slanted curve
// here lacks those few pixels, about one in fifteen. The labels' glyphs are the font's, so for
// text only the place is compared.
class CairoCanvas : public Canvas {
public:
    // Neither the context nor the font is owned; both must outlive the canvas. A null font
    // leaves pango's default. The context's state (source, anti-aliasing, path) is kept as it
    // was after each call.
    CairoCanvas(cairo_t* context, const PangoFontDescription* font)
        : context(context), font(font) {}

    void FillWhite(const CanvasRect& rect) override;
    void FillSolid(const CanvasRect& rect, CanvasColor color) override;
    CanvasPen SelectSolidPen(CanvasColor color, int width) override;
    void RestorePen(CanvasPen previous) override;
    void MoveTo(std::int32_t x, std::int32_t y) override;
    void LineTo(std::int32_t x, std::int32_t y) override;
    void SetTransparentBackground() override;
    void SetTextAlignCenterTop() override;
    void WriteText(std::int32_t x, std::int32_t y, const char* text, int length) override;
    // In pango's "Sans" at an absolute size of `height` user-space units, so that a scaled
    // context (a printed page) gets the size the page asks for, whatever the screen's resolution.
    void WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                         const TextStyle& style) override;

private:
    struct Pen {
        CanvasColor color;
        int width;
    };

    void Fill(const CanvasRect& rect, CanvasColor color);
    const Pen& SelectedPen() const;

    cairo_t* context;
    const PangoFontDescription* font;
    std::map<CanvasPen, Pen> pens; // the pens SelectSolidPen created, by handle
    CanvasPen selected = 0;        // 0: the context's own pen
    CanvasPen nextPen = 1;
    std::int32_t penX = 0;
    std::int32_t penY = 0;
    bool transparent = false;
    bool centredTop = false;
};
