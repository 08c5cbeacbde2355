#pragma once

#include "chart/AudiogramChart.h"
#include "chart/Canvas.h"
#include "records/PersonRecord.h"

#include <ctime>
#include <string>

// The printed report: one A4 page in German, drawn on a canvas whose units are tenths of a
// millimetre from the paper's top left corner. Texts are cp1252.

constexpr int ReportPageWidth = 2100;  // 210 mm
constexpr int ReportPageHeight = 2970; // 297 mm

// What one page shows, taken when printing was chosen: copies of the three records (so the page
// is the chart of that moment, whatever the dialog does while the page is rendered), the name
// field's text and the chart's size on the screen, in whose pixels the levels are drawn.
struct ReportContent {
    std::string name;
    std::string program; // the program's name and version, "Tonolot 0.8"
    PersonRecord standard{};
    PersonRecord comparison{};
    PersonRecord current{};
    FrequencyLookup frequencyOf = nullptr;
    int chartWidth = 0;
    int chartHeight = 0;
};

// Whether the page lists the comparison's levels: when the chart shows at least one of its
// curves.
bool ReportShowsComparison(const ReportContent& content);

// Draws the whole page: the header with name, time of printing and program, the chart scaled
// into its place, the table of levels and differences from the reference ("Standard"), the mean
// difference of each ear and the note that the self-test is no hearing test by a professional.
void DrawReportPage(Canvas& canvas, const ReportContent& content, const std::tm& printed);
