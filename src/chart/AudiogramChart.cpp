#include "chart/AudiogramChart.h"

#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

// Item rectangles come from the platform and levels may come from a hand-written data file, so
// every sum is formed in 64 bits and held at the edge of the 32-bit range before it reaches the
// canvas. Inside that range nothing changes: every point lies exactly where the sum puts it.
std::int32_t Clamp32(std::int64_t value) {
    constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    if (value < low) {
        return static_cast<std::int32_t>(low);
    }
    if (value > high) {
        return static_cast<std::int32_t>(high);
    }
    return static_cast<std::int32_t>(value);
}

// The band over columns 3 to 6 (500 to 4000 Hz): from just right of column 3's line through
// column 6's line, and from just below the top line to two rows above the bottom frame line.
CanvasRect BandRect(const ChartLayout& layout) {
    const std::int64_t left = layout.plot.left;
    const std::int64_t step = layout.columnStep;
    return CanvasRect{Clamp32(left + 1 + 3 * step), Clamp32(std::int64_t{layout.plot.top} + 1),
                      Clamp32(left + 1 + 6 * step), Clamp32(std::int64_t{layout.plot.bottom} - 1)};
}

void DrawLabel(Canvas& canvas, std::int32_t x, std::int32_t y, int frequency) {
    char text[24];
    const int length = std::snprintf(text, sizeof text, "%ld", static_cast<long>(frequency));
    if (length > 0) {
        canvas.WriteText(x, y, text, length);
    }
}

} // namespace

ChartLayout LayoutFor(const CanvasRect& item) {
    ChartLayout layout{};
    layout.plot =
        CanvasRect{Clamp32(std::int64_t{item.left} + 10), Clamp32(std::int64_t{item.top} + 15),
                   Clamp32(std::int64_t{item.right} - 15), Clamp32(std::int64_t{item.bottom} - 3)};
    // Signed divisions that truncate toward zero, as the platform's integer arithmetic does; a
    // rectangle narrower than the insets gives a negative step and a chart drawn mirrored.
    layout.rowStep = Clamp32((std::int64_t{layout.plot.bottom} - layout.plot.top) / ChartRows);
    layout.columnStep =
        Clamp32((std::int64_t{layout.plot.right} - layout.plot.left) / (ChartColumns - 1));
    return layout;
}

std::int32_t ColumnX(const CanvasRect& plot, std::int32_t columnStep, int index) {
    return Clamp32(std::int64_t{plot.left} + std::int64_t{index} * columnStep);
}

std::int32_t LevelY(const CanvasRect& plot, std::int32_t level) {
    return Clamp32(std::int64_t{plot.top} + level);
}

void DrawCurve(Canvas& canvas, CanvasRect plot, CanvasColor color, const std::int32_t* levels,
               std::int32_t columnStep) {
    const CanvasPen previous = canvas.SelectSolidPen(color, CurvePenWidth);
    canvas.MoveTo(ColumnX(plot, columnStep, 0), LevelY(plot, levels[0]));
    for (int i = 1; i < ChartColumns; ++i) {
        canvas.LineTo(ColumnX(plot, columnStep, i), LevelY(plot, levels[i]));
    }
    canvas.RestorePen(previous);
}

void DrawAudiogramChart(Canvas& canvas, const CanvasRect& item, const AudiogramRecords& records,
                        FrequencyLookup frequencyOf) {
    canvas.FillWhite(item);

    const ChartLayout layout = LayoutFor(item);
    const CanvasRect& plot = layout.plot;

    // Three sides with the context's own pen; the right side stays open.
    canvas.MoveTo(plot.right, plot.top);
    canvas.LineTo(plot.left, plot.top);
    canvas.LineTo(plot.left, plot.bottom);
    canvas.LineTo(plot.right, plot.bottom);

    canvas.SetTransparentBackground();
    canvas.SetTextAlignCenterTop();

    canvas.FillSolid(BandRect(layout), BandColor);

    for (int i = 0; i < ChartRows; ++i) {
        const std::int32_t y = Clamp32(std::int64_t{plot.top} + std::int64_t{i} * layout.rowStep);
        canvas.MoveTo(plot.left, y);
        canvas.LineTo(plot.right, y);
    }

    // Labels sit in the 15-pixel strip above the plot, their top on the item's top (plot top
    // - 15, taken from the item so that it stays exact when the plot top had to be held).
    const std::int32_t labelY = item.top;
    for (int i = 0; i < ChartColumns; ++i) {
        const std::int32_t x = ColumnX(plot, layout.columnStep, i);
        DrawLabel(canvas, x, labelY, frequencyOf(i));
        canvas.MoveTo(x, plot.top);
        canvas.LineTo(x, plot.bottom);
    }

    // Later curves lie over earlier ones. An ear's curve is decided by its first level alone.
    DrawCurve(canvas, plot, StandardLeftColor, records.standard.left, layout.columnStep);
    if (records.comparison.left[0] > 0) {
        DrawCurve(canvas, plot, ComparisonLeftColor, records.comparison.left, layout.columnStep);
    }
    if (records.comparison.right[0] > 0) {
        DrawCurve(canvas, plot, ComparisonRightColor, records.comparison.right, layout.columnStep);
    }
    // The record loaded as current and chosen as comparison is shown once, in pale colours;
    // any one differing byte of the 208, even behind the name's terminator, shows both.
    if (SameBytes(records.current, records.comparison)) {
        return;
    }
    if (records.current.left[0] != 0) {
        DrawCurve(canvas, plot, CurrentLeftColor, records.current.left, layout.columnStep);
    }
    if (records.current.right[0] != 0) {
        DrawCurve(canvas, plot, CurrentRightColor, records.current.right, layout.columnStep);
    }
}
