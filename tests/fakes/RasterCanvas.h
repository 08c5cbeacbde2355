#pragma once

#include "chart/Canvas.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A small rasteriser behind the canvas seam, following GDI's pixel coverage closely enough for
// pixel checks: a one-pixel line covers its start pixel but not its end pixel; a filled rectangle
// covers its left and top edges but not its right and bottom edges (also when given the wrong
// way round). A wider pen covers, along the
// line's longer axis, the pixels from `width` / 2 before the exact centre line (inclusive) to
// `width` / 2 after it (exclusive), and a square of the same extent at each end in place of the
// round cap. For a pen of width 2 that is the row of the point and the row above it (the column
// and the column to the left on steep lines). Checked against GDI in a memory bitmap: every pixel
// this draws GDI draws too, and GDI adds a few more along a slanted line's edges (about one in
// fifteen on shallow lines, one in six on steep ones). The picture clips to its own bounds, as a
// device context does.
//
// The context starts like a fresh one: black one-pixel pen, black text, opaque white text
// background, text aligned left and top. Text uses a built-in 5 x 7 digit font (other characters
// as hollow boxes) in cells of 6 x 11 pixels, with the glyphs two rows below the cell's top.
class RasterCanvas : public Canvas {
public:
    static constexpr CanvasColor White = 0x00FFFFFF;
    static constexpr CanvasColor Black = 0x00000000;
    static constexpr int CellWidth = 6;
    static constexpr int CellHeight = 11;

    RasterCanvas(int width, int height, CanvasColor background = White);

    // Canvas
    void FillWhite(const CanvasRect& rect) override;
    void FillSolid(const CanvasRect& rect, CanvasColor color) override;
    CanvasPen SelectSolidPen(CanvasColor color, int width) override;
    void RestorePen(CanvasPen previous) override;
    void MoveTo(std::int32_t x, std::int32_t y) override;
    void LineTo(std::int32_t x, std::int32_t y) override;
    void SetTransparentBackground() override;
    void SetTextAlignCenterTop() override;
    void WriteText(std::int32_t x, std::int32_t y, const char* text, int length) override;
    // Only its box is kept: a page's texts are checked by place, not by pixels.
    void WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                         const TextStyle& style) override;

    int Width() const { return width; }
    int Height() const { return height; }
    // The colour at (x, y); outside the picture, Outside.
    static constexpr CanvasColor Outside = 0xFFFFFFFFu;
    CanvasColor Pixel(int x, int y) const;
    // How many pixels of the rectangle (clipped to the picture) have the colour.
    int Count(CanvasColor color, const CanvasRect& rect) const;
    int Count(CanvasColor color) const;

    // The cell box of every text written, in picture coordinates.
    struct TextBox {
        CanvasRect box;
        std::string text;
    };
    const std::vector<TextBox>& TextBoxes() const { return textBoxes; }

    // Pens created but not yet released (should be 0 after a paint).
    int LivePens() const { return static_cast<int>(pens.size()); }

    // RGB bytes, rows top to bottom, and the picture as a file for a person to look at.
    std::vector<std::uint8_t> Rgb() const;
    bool SavePng(const std::string& path) const;
    bool SavePpm(const std::string& path) const;

private:
    struct Pen {
        CanvasColor color;
        int width;
    };

    void Fill(const CanvasRect& rect, CanvasColor color);
    void Set(std::int64_t x, std::int64_t y, CanvasColor color);
    void Cap(std::int64_t x, std::int64_t y, const Pen& pen);
    void DrawLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                  const Pen& pen);
    void DrawGlyph(std::int64_t left, std::int64_t top, char c);

    int width;
    int height;
    std::vector<CanvasColor> pixels;
    std::vector<TextBox> textBoxes;
    std::map<CanvasPen, Pen> pens; // the pens SelectSolidPen created, by handle
    Pen contextPen{Black, 1};
    CanvasPen selected = 0; // 0: the context's own pen
    CanvasPen nextPen = 1;
    std::int32_t penX = 0;
    std::int32_t penY = 0;
    bool transparent = false;
    bool centredTop = false;
    CanvasColor textColor = Black;
    CanvasColor textBackground = White;
};
