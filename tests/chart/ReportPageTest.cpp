// The printed report's page over a recording canvas: every number and text in its place.
#include "chart/ReportPage.h"
#include "ChartFixtures.h"
#include "chart/ReportFigures.h"
#include "fakes/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

ReportContent Content(const ChartScene& scene) {
    return ReportContent{"Erika M\xFCller",
                         "Tonolot 0.8",
                         scene.standard,
                         scene.comparison,
                         scene.current,
                         &TestFrequencyOf,
                         450,
                         234};
}

std::tm Printed() {
    std::tm printed{};
    printed.tm_mday = 3;
    printed.tm_mon = 11;
    printed.tm_year = 126;
    printed.tm_hour = 9;
    printed.tm_min = 5;
    return printed;
}

// The texts of the body's size (not the chart's labels) on the line that starts with `first`,
// from left to right.
std::vector<std::string> LineStartingWith(const RecordingCanvas& canvas, const std::string& first) {
    std::map<std::int32_t, std::map<std::int32_t, std::string>> lines; // by y, then x
    for (const auto& text : canvas.Texts()) {
        if (text.style.height == 32) {
            lines[text.y][text.x] = text.text;
        }
    }
    for (const auto& [y, line] : lines) {
        if (line.begin()->second == first) {
            std::vector<std::string> texts;
            for (const auto& [x, text] : line) {
                texts.push_back(text);
            }
            return texts;
        }
    }
    return {};
}

bool HasText(const RecordingCanvas& canvas, const std::string& wanted) {
    const auto& texts = canvas.Texts();
    return std::any_of(texts.begin(), texts.end(), [&](const auto& t) { return t.text == wanted; });
}

TEST(ReportFigures, DifferencesAreTwentyLogTenWithOneDecimalAndADecimalComma) {
    EXPECT_EQ(FormatDecibels(*LevelDifference(20, 10)), "+6,0");
    EXPECT_EQ(FormatDecibels(*LevelDifference(10, 20)), "-6,0");
    EXPECT_EQ(FormatDecibels(*LevelDifference(100, 10)), "+20,0");
    EXPECT_EQ(FormatDecibels(*LevelDifference(59, 59)), "0,0");
    EXPECT_EQ(FormatDecibels(-0.04), "0,0");
    EXPECT_EQ(FormatDecibels(0.05), "+0,1");
    EXPECT_EQ(FormatDecibels(-12.25), "-12,3");
    // Not measured (0), or a level from a hand-written file that no logarithm takes.
    EXPECT_FALSE(LevelDifference(0, 10));
    EXPECT_FALSE(LevelDifference(10, 0));
    EXPECT_FALSE(LevelDifference(-5, 10));
    const std::int32_t reference[10] = {9, 9, 9, 10, 10, 10, 10, 9, 9, 9};
    const std::int32_t levels[10] = {0, 0, 0, 20, 20, 10, 10, 0, 0, 0};
    EXPECT_EQ(FormatDecibels(*MeanDifference(levels, reference)), "+3,0");
    const std::int32_t gap[10] = {5, 5, 5, 20, 0, 10, 10, 5, 5, 5};
    EXPECT_FALSE(MeanDifference(gap, reference));
}

TEST(ReportFigures, TheWordingFollowsTheShownMeanAndComparesOnly) {
    EXPECT_EQ(EarSummary("Linkes Ohr", 0.0),
              "Linkes Ohr: Mittel 0,0 dB: etwa so gut geh\xF6rt wie er");
    EXPECT_EQ(EarSummary("Linkes Ohr", 4.96),
              "Linkes Ohr: Mittel +5,0 dB: etwas lautere T\xF6ne gebraucht, also etwas schlechter "
              "geh\xF6rt als er");
    EXPECT_NE(EarSummary("R", 20.0).find("deutlich lautere"), std::string::npos);
    EXPECT_NE(EarSummary("R", 30.0).find("viel lautere"), std::string::npos);
    EXPECT_NE(EarSummary("R", -5.0).find("leisere T\xF6ne geh\xF6rt, also besser"),
              std::string::npos);
    EXPECT_EQ(EarSummary("Rechtes Ohr", std::nullopt),
              "Rechtes Ohr: nicht bei allen vier Frequenzen gemessen");
}

TEST(ReportPage, HeaderTableAndSummariesShowEveryFigureInItsPlace) {
    ChartScene scene = FiveCurveScene();
    scene.comparison = PersonRecord{};
    RecordingCanvas canvas;
    DrawReportPage(canvas, Content(scene), Printed());

    EXPECT_TRUE(HasText(canvas, "Name: Erika M\xFCller"));
    EXPECT_TRUE(HasText(canvas, "Gedruckt am 03.12.2026 um 09:05 Uhr"));
    EXPECT_TRUE(HasText(canvas, "Tonolot 0.8"));
    // Without a comparison shown: frequency, standard, left and its difference, right and its.
    EXPECT_EQ(
        LineStartingWith(canvas, "Frequenz"),
        (std::vector<std::string>{"Frequenz", "Standard", "Links", "Links", "Rechts", "Rechts"}));
    for (int i = 0; i < 10; ++i) {
        const std::int32_t reference = scene.standard.left[i];
        const auto row = LineStartingWith(canvas, std::to_string(TestFrequencyOf(i)));
        EXPECT_EQ(row, (std::vector<std::string>{
                           std::to_string(TestFrequencyOf(i)), std::to_string(reference),
                           std::to_string(scene.current.left[i]),
                           FormatDecibels(*LevelDifference(scene.current.left[i], reference)),
                           std::to_string(scene.current.right[i]),
                           FormatDecibels(*LevelDifference(scene.current.right[i], reference))}))
            << "row " << i;
    }
    // 1000 Hz: 88 against 12 is 20 log10(88 / 12) = +17.3 dB.
    EXPECT_EQ(LineStartingWith(canvas, "1000")[3], "+17,3");
    const auto left = MeanDifference(scene.current.left, scene.standard.left);
    const auto right = MeanDifference(scene.current.right, scene.standard.left);
    EXPECT_TRUE(HasText(canvas, EarSummary("Linkes Ohr", left)));
    EXPECT_TRUE(HasText(canvas, EarSummary("Rechtes Ohr", right)));
    EXPECT_TRUE(HasText(canvas, "Dieser Selbsttest ersetzt keine H\xF6rpr\xFC"
                                "fung beim Arzt oder H\xF6rakustiker."));
    // Everything lies on the paper, inside its margins.
    for (const auto& text : canvas.Texts()) {
        EXPECT_TRUE(text.x >= 200 && text.x <= 1900 && text.y >= 200 && text.y < 2770)
            << text.text << " at " << text.x << ", " << text.y;
    }
}

TEST(ReportPage, ComparisonColumnsAppearOnlyWhenTheChartShowsTheComparison) {
    ChartScene scene = FiveCurveScene();
    scene.current.right[0] = 0; // right ear not measured: dashes, no summary figure
    RecordingCanvas canvas;
    DrawReportPage(canvas, Content(scene), Printed());
    EXPECT_EQ(LineStartingWith(canvas, "1000"),
              (std::vector<std::string>{"1000", "12", "88", "+17,3", "118", "+19,9", "38", "58"}));
    EXPECT_EQ(LineStartingWith(canvas, "70")[4], "\x96");
    EXPECT_TRUE(HasText(canvas, "Rot: linkes Ohr, blau: rechtes Ohr, grau: Standard, blass: "
                                "Vergleich (Anna)"));

    scene.comparison.right[0] = -1; // only the pale left curve is shown
    scene.comparison.left[0] = 0;
    canvas.Clear();
    DrawReportPage(canvas, Content(scene), Printed());
    EXPECT_EQ(LineStartingWith(canvas, "1000").size(), 6u);
}

TEST(ReportPage, TheChartIsScaledIntoItsPlaceAndCutAtItsEdges) {
    ChartScene scene = FiveCurveScene();
    scene.current.left[5] = 100000; // far below the plot, as a hand-written file may put it
    RecordingCanvas canvas;
    DrawReportPage(canvas, Content(scene), Printed());
    // 450 pixels to 1700 tenths of a millimetre: 234 become 884.
    const CanvasRect area{200, 430, 1900, 430 + 884};
    bool red = false;
    for (const auto& curve : canvas.Curves()) {
        red = red || curve.color == CurrentLeftColor;
        EXPECT_EQ(curve.width, 8); // two pixels, scaled
        for (const auto& [x, y] : curve.points) {
            EXPECT_TRUE(x >= area.left && x <= area.right && y >= area.top && y <= area.bottom)
                << x << ", " << y;
        }
    }
    EXPECT_TRUE(red);
    // The first column's label, centred above its line at 10 pixels from the chart's left.
    const auto label = std::find_if(canvas.Texts().begin(), canvas.Texts().end(),
                                    [](const auto& text) { return text.text == "70"; });
    ASSERT_NE(label, canvas.Texts().end());
    EXPECT_EQ(label->x, 200 + 38);
    EXPECT_EQ(label->y, 430);
    EXPECT_EQ(label->style.align, TextAlign::Center);
    EXPECT_EQ(canvas.PenMisuses(), 0);
    EXPECT_EQ(canvas.PensCreated(), canvas.PensReleased());
}

} // namespace
