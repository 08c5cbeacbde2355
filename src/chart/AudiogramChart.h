#pragma once

#include "chart/Canvas.h"
#include "records/PersonRecord.h"

#include <cstdint>

// The audiogram: ten frequency columns with their labels, a pale band over the middle columns,
// ten grid rows and up to five curves, painted anew from three records on every paint. The chart
// keeps no state and changes no data.

constexpr CanvasColor BandColor = 0x00DCFFFF;            // pale yellow
constexpr CanvasColor StandardLeftColor = 0x00C8C8C8;    // light grey
constexpr CanvasColor ComparisonLeftColor = 0x00C8C8FF;  // pale red
constexpr CanvasColor ComparisonRightColor = 0x00FFC8C8; // pale blue
constexpr CanvasColor CurrentLeftColor = 0x000000FF;     // red
constexpr CanvasColor CurrentRightColor = 0x00FF0000;    // blue
constexpr int CurvePenWidth = 2;

constexpr int ChartColumns = PersonRecord::LevelCount;
constexpr int ChartRows = 10;

// Where the parts of the chart lie for one item rectangle.
struct ChartLayout {
    CanvasRect plot;         // item inset by 10 left, 15 top, 15 right, 3 bottom
    std::int32_t rowStep;    // plot height / 10, truncated
    std::int32_t columnStep; // plot width / 9, truncated
};

ChartLayout LayoutFor(const CanvasRect& item);

// x of the line of column `index` (0..9).
std::int32_t ColumnX(const CanvasRect& plot, std::int32_t columnStep, int index);
// y of a level: the level is a distance in pixels below the plot's top line, neither scaled nor
// offset nor clipped. Only a level that would take y out of the 32-bit range is held at its edge.
std::int32_t LevelY(const CanvasRect& plot, std::int32_t level);

// Draws one curve through the ten levels with its own solid pen, two pixels wide, and leaves the
// canvas's selected pen as it found it. Only plot.left and plot.top decide where points lie.
void DrawCurve(Canvas& canvas, CanvasRect plot, CanvasColor color, const std::int32_t* levels,
               std::int32_t columnStep);

// The frequency in Hz written above column `index`.
using FrequencyLookup = int (*)(int index);

// The three records a paint shows.
struct AudiogramRecords {
    const PersonRecord& standard;
    const PersonRecord& comparison;
    const PersonRecord& current;
};

// Paints the whole chart into the item rectangle: white background, frame, band, grid, labels,
// columns, then the curves of the standard, the comparison and the current record.
void DrawAudiogramChart(Canvas& canvas, const CanvasRect& item, const AudiogramRecords& records,
                        FrequencyLookup frequencyOf);
