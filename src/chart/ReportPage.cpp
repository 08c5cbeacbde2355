#include "chart/ReportPage.h"

#include "chart/ReportFigures.h"
#include "chart/ScaledCanvas.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr int MarginLeft = 200;
constexpr int MarginRight = ReportPageWidth - 200;
constexpr int ChartTop = 430;
constexpr int ChartMaxHeight = 900;
constexpr int BodyHeight = 32;
constexpr int RowStep = 48;

void Write(Canvas& canvas, int x, int y, const std::string& text, int height,
           TextAlign align = TextAlign::Left, bool bold = false) {
    canvas.WriteStyledText(x, y, text.data(), static_cast<int>(text.size()),
                           TextStyle{height, align, bold});
}

void Rule(Canvas& canvas, int y) {
    canvas.MoveTo(MarginLeft, y);
    canvas.LineTo(MarginRight, y);
}

std::string Number(long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", value);
    return text;
}

// A stored level as the table shows it: 0 is "not measured".
std::string LevelText(std::int32_t level) {
    return level == 0 ? "\x96" : Number(level);
}

std::string DifferenceText(std::int32_t level, std::int32_t reference) {
    const std::optional<double> difference = LevelDifference(level, reference);
    return difference ? FormatDecibels(*difference) : "\x96";
}

std::string PrintedText(const std::tm& printed) {
    char text[64];
    std::snprintf(text, sizeof text, "Gedruckt am %02d.%02d.%04d um %02d:%02d Uhr", printed.tm_mday,
                  printed.tm_mon + 1, printed.tm_year + 1900, printed.tm_hour, printed.tm_min);
    return text;
}

// The chart as wide as the text, or lower if its height would take too much of the page; the
// lengths are scaled by a whole ratio so that both axes keep the screen's proportions.
int DrawChart(Canvas& canvas, const ReportContent& content) {
    const int width = std::max(content.chartWidth, 1);
    const int height = std::max(content.chartHeight, 1);
    int numerator = MarginRight - MarginLeft;
    int denominator = width;
    if (static_cast<long long>(height) * numerator >
        static_cast<long long>(ChartMaxHeight) * width) {
        numerator = ChartMaxHeight;
        denominator = height;
    }
    const CanvasRect item{0, 0, width, height};
    ScaledCanvas scaled(canvas, item, MarginLeft, ChartTop, numerator, denominator,
                        std::max(1, 11 * numerator / denominator));
    DrawAudiogramChart(scaled, item,
                       AudiogramRecords{content.standard, content.comparison, content.current},
                       content.frequencyOf);
    return ChartTop + static_cast<int>(static_cast<long long>(height) * numerator / denominator);
}

int DrawTable(Canvas& canvas, const ReportContent& content, int y) {
    const bool comparison = ReportShowsComparison(content);
    const int columns = comparison ? 8 : 6;
    const int step = (MarginRight - MarginLeft) / columns;
    // Right edges of the columns, less a little room before the next one.
    const auto column = [&](int i) { return MarginLeft + (i + 1) * step - 30; };
    const char* top[8] = {"Frequenz", "Standard", "Links",     "Links",
                          "Rechts",   "Rechts",   "Vergleich", "Vergleich"};
    const char* bottom[8] = {"(Hz)",  "Pegel",      "Pegel", "Diff. (dB)",
                             "Pegel", "Diff. (dB)", "links", "rechts"};
    for (int i = 0; i < columns; ++i) {
        Write(canvas, column(i), y, top[i], BodyHeight, TextAlign::Right, true);
        Write(canvas, column(i), y + RowStep - 8, bottom[i], BodyHeight, TextAlign::Right, true);
    }
    y += 2 * RowStep;
    Rule(canvas, y - 10);
    const std::int32_t* reference = content.standard.left;
    for (int row = 0; row < PersonRecord::LevelCount; ++row) {
        const std::int32_t left = content.current.left[row];
        const std::int32_t right = content.current.right[row];
        const std::string cells[8] = {
            Number(content.frequencyOf != nullptr ? content.frequencyOf(row) : 0),
            LevelText(reference[row]),
            LevelText(left),
            DifferenceText(left, reference[row]),
            LevelText(right),
            DifferenceText(right, reference[row]),
            content.comparison.left[0] > 0 ? LevelText(content.comparison.left[row]) : "\x96",
            content.comparison.right[0] > 0 ? LevelText(content.comparison.right[row]) : "\x96"};
        for (int i = 0; i < columns; ++i) {
            Write(canvas, column(i), y, cells[i], BodyHeight, TextAlign::Right);
        }
        y += RowStep;
    }
    Rule(canvas, y);
    return y;
}

} // namespace

bool ReportShowsComparison(const ReportContent& content) {
    return content.comparison.left[0] > 0 || content.comparison.right[0] > 0;
}

void DrawReportPage(Canvas& canvas, const ReportContent& content, const std::tm& printed) {
    Write(canvas, MarginLeft, 200, "H\xF6rtest-Bericht", 60, TextAlign::Left, true);
    Write(canvas, MarginRight, 215, content.program, BodyHeight, TextAlign::Right);
    Write(canvas, MarginLeft, 300, "Name: " + content.name, 42, TextAlign::Left, true);
    Write(canvas, MarginLeft, 360, PrintedText(printed), BodyHeight);

    int y = DrawChart(canvas, content) + 20;
    std::string legend = "Rot: linkes Ohr, blau: rechtes Ohr, grau: Standard";
    if (ReportShowsComparison(content)) {
        legend += ", blass: Vergleich (";
        const char* name = content.comparison.name;
        legend += std::string(name, std::find(name, name + PersonRecord::NameSize, '\0'));
        legend += ")";
    }
    Write(canvas, MarginLeft, y, legend, 28);
    y = DrawTable(canvas, content, y + 90) + 60;

    Write(canvas, MarginLeft, y,
          "Mittlere Abweichung vom Standard bei 500, 1000, 2000 und 4000 Hz.", BodyHeight,
          TextAlign::Left, true);
    Write(canvas, MarginLeft, y + RowStep,
          "W\xE4re der Standard ein normal h\xF6render Mensch mit demselben Kopfh\xF6rer, hie\xDF"
          "e das:",
          BodyHeight, TextAlign::Left, true);
    y += 2 * RowStep + 10;
    Write(canvas, MarginLeft, y,
          EarSummary("Linkes Ohr", MeanDifference(content.current.left, content.standard.left)),
          BodyHeight);
    Write(canvas, MarginLeft, y + RowStep,
          EarSummary("Rechtes Ohr", MeanDifference(content.current.right, content.standard.left)),
          BodyHeight);
    y += 2 * RowStep + 40;
    Write(canvas, MarginLeft, y,
          "Dieser Selbsttest ersetzt keine H\xF6rpr\xFC"
          "fung beim Arzt oder H\xF6rakustiker.",
          BodyHeight, TextAlign::Left, true);
}
