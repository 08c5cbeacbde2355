#pragma once

#include <cstdint>

// A rectangle in device pixels (x grows to the right, y downwards), laid out like the platform's
// RECT: the right and bottom edges lie just outside the area it covers.
struct CanvasRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// A colour as the platform's COLORREF: 0x00BBGGRR.
using CanvasColor = std::uint32_t;

constexpr CanvasColor MakeCanvasColor(unsigned red, unsigned green, unsigned blue) {
    return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}
constexpr unsigned RedOf(CanvasColor color) {
    return color & 0xFFu;
}
constexpr unsigned GreenOf(CanvasColor color) {
    return (color >> 8) & 0xFFu;
}
constexpr unsigned BlueOf(CanvasColor color) {
    return (color >> 16) & 0xFFu;
}

// Where a styled text lies on its reference point's x: its left edge, its middle or its right
// edge there.
enum class TextAlign { Left, Center, Right };

// A text of a printed page: the page's sans-serif font, `height` units from the top of its line
// to the bottom (the font's em size), black, bold or not.
struct TextStyle {
    int height;
    TextAlign align;
    bool bold;
};

// The pen a context held before SelectSolidPen replaced it; only the canvas that handed it out
// knows what it stands for.
using CanvasPen = std::uintptr_t;

// The drawing calls the audiogram makes, shaped like the GDI calls on an owner-drawn item's
// device context, so that the Windows binding forwards each one and a test canvas can record or
// rasterise them. Pixel coverage is GDI's: a line covers its start pixel but not its end pixel, a
// filled rectangle covers its left and top edges but not its right and bottom edges. Nothing the
// canvas does is reported back: like the chart, callers do not look at drawing results.
class Canvas {
public:
    virtual ~Canvas() = default;

    // FillRect with the stock white brush.
    virtual void FillWhite(const CanvasRect& rect) = 0;
    // CreateSolidBrush, FillRect, DeleteObject: the brush lives for this one fill.
    virtual void FillSolid(const CanvasRect& rect, CanvasColor color) = 0;

    // CreatePen(PS_SOLID, width, color) and SelectObject; returns the pen it replaced, which the
    // caller hands back to RestorePen.
    virtual CanvasPen SelectSolidPen(CanvasColor color, int width) = 0;
    // SelectObject(previous), then DeleteObject of the pen that SelectSolidPen created.
    virtual void RestorePen(CanvasPen previous) = 0;

    // MoveToEx and LineTo with the selected pen.
    virtual void MoveTo(std::int32_t x, std::int32_t y) = 0;
    virtual void LineTo(std::int32_t x, std::int32_t y) = 0;

    // SetBkMode(TRANSPARENT): text leaves the pixels around its glyphs alone.
    virtual void SetTransparentBackground() = 0;
    // SetTextAlign(TA_CENTER | TA_TOP): text is centred on its reference point's x and its top
    // lies on the reference point's y.
    virtual void SetTextAlignCenterTop() = 0;
    // TextOutA with the context's font and text colour; length in bytes (cp1252).
    virtual void WriteText(std::int32_t x, std::int32_t y, const char* text, int length) = 0;
    // CreateFont, SelectObject, SetTextAlign and TextOutA for one text of a page: in the style's
    // font and alignment, its top on y, over a transparent background. The context's font,
    // alignment and background are as they were afterwards.
    virtual void WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                                 const TextStyle& style) = 0;
};
