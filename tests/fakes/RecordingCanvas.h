#pragma once

#include "chart/Canvas.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A canvas that keeps every call in order, plus what the calls amount to: the line segments with
// the pen that drew them, the texts with the background and alignment in force, and whether each
// pen was put back the way the platform requires.
class RecordingCanvas : public Canvas {
public:
    enum class Op {
        FillWhite,
        FillSolid,
        SelectSolidPen,
        RestorePen,
        MoveTo,
        LineTo,
        SetTransparentBackground,
        SetTextAlignCenterTop,
        WriteText,
        WriteStyledText
    };

    struct Call {
        Op op = Op::FillWhite;
        CanvasRect rect{};
        CanvasColor color = 0;
        int width = 0;
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::string text;
        CanvasPen pen = 0; // SelectSolidPen: the pen returned; RestorePen: the pen handed back
        TextStyle style{}; // WriteStyledText
    };

    // The pen that the context holds before anything is selected.
    static constexpr CanvasPen ContextPen = 1;

    struct Segment {
        std::int32_t x0, y0, x1, y1;
        CanvasPen pen;     // ContextPen, or the pen SelectSolidPen created
        CanvasColor color; // of a created pen; 0 for the context's pen
        int width;         // of a created pen; 0 for the context's pen
    };

    struct Text {
        std::int32_t x, y;
        std::string text;
        bool transparent;
        bool centredTop;
        TextStyle style{}; // height 0 for WriteText's context font
    };

    // One curve per pen created: its colour and width and the points of the moves and lines
    // drawn with it.
    struct Curve {
        CanvasColor color;
        int width;
        std::vector<std::pair<std::int32_t, std::int32_t>> points;
    };

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
    void WriteStyledText(std::int32_t x, std::int32_t y, const char* text, int length,
                         const TextStyle& style) override;

    const std::vector<Call>& Calls() const { return calls; }
    const std::vector<Segment>& Segments() const { return segments; }
    const std::vector<Text>& Texts() const { return texts; }
    const std::vector<Curve>& Curves() const { return curves; }
    std::vector<Segment> SegmentsWithContextPen() const;

    // Pens created and released; a release is counted only for a pen that was selected and is
    // put back with the pen it replaced.
    int PensCreated() const { return pensCreated; }
    int PensReleased() const { return pensReleased; }
    // RestorePen calls that handed back a pen other than the one the selection replaced.
    int PenMisuses() const { return penMisuses; }
    CanvasPen SelectedPen() const { return selected; }

    void Clear();

private:
    struct PenState {
        CanvasColor color;
        int width;
        CanvasPen replaced;
    };

    std::vector<Call> calls;
    std::vector<Segment> segments;
    std::vector<Text> texts;
    std::vector<Curve> curves;
    void AddCurvePoint(std::int32_t x, std::int32_t y);

    std::map<CanvasPen, PenState> pens;
    std::map<CanvasPen, std::size_t> curveOf; // index in curves of each pen ever created
    CanvasPen selected = ContextPen;
    CanvasPen nextPen = ContextPen + 1;
    std::int32_t penX = 0;
    std::int32_t penY = 0;
    bool transparent = false;
    bool centredTop = false;
    int pensCreated = 0;
    int pensReleased = 0;
    int penMisuses = 0;
};
