// Which curves the chart draws, in which colours and order, and where their points lie.
#include "ChartFixtures.h"
#include "fakes/RasterCanvas.h"
#include "fakes/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<CanvasColor> CurveColors(const ChartScene& scene) {
    RecordingCanvas canvas;
    DrawAudiogramChart(canvas, Item, scene.Records(), &TestFrequencyOf);
    std::vector<CanvasColor> colors;
    for (const auto& curve : canvas.Curves()) {
        colors.push_back(curve.color);
    }
    return colors;
}

RecordingCanvas Record(const ChartScene& scene) {
    RecordingCanvas canvas;
    DrawAudiogramChart(canvas, Item, scene.Records(), &TestFrequencyOf);
    return canvas;
}

RasterCanvas Raster(const ChartScene& scene) {
    RasterCanvas canvas(Item.right, Item.bottom);
    DrawAudiogramChart(canvas, Item, scene.Records(), &TestFrequencyOf);
    return canvas;
}

int X(int column) {
    return 10 + 47 * column;
}

using Colors = std::vector<CanvasColor>;

TEST(AudiogramCurves, AllFiveInOrderWithLeftRedAndRightBlue) {
    EXPECT_EQ(CurveColors(FiveCurveScene()),
              (Colors{0x00C8C8C8, 0x00C8C8FF, 0x00FFC8C8, 0x000000FF, 0x00FF0000}));

    // In the picture the current left ear is red (R 255) and the right ear blue (B 255).
    const ChartScene scene = FiveCurveScene();
    const RasterCanvas picture = Raster(scene);
    const CanvasColor left = picture.Pixel(X(0), 15 + scene.current.left[0]);
    const CanvasColor right = picture.Pixel(X(0), 15 + scene.current.right[0]);
    EXPECT_EQ(RedOf(left), 255u);
    EXPECT_EQ(BlueOf(left), 0u);
    EXPECT_EQ(BlueOf(right), 255u);
    EXPECT_EQ(RedOf(right), 0u);
    // The comparison's ears are pale red and pale blue the same way round.
    EXPECT_EQ(picture.Pixel(X(2), 15 + scene.comparison.left[2]), MakeCanvasColor(255, 200, 200));
    EXPECT_EQ(picture.Pixel(X(2), 15 + scene.comparison.right[2]), MakeCanvasColor(200, 200, 255));
    EXPECT_EQ(picture.Pixel(X(4), 15 + scene.standard.left[4]), MakeCanvasColor(200, 200, 200));
}

TEST(AudiogramCurves, EachCurveHasItsOwnTwoPixelPenReleasedAfterwards) {
    const RecordingCanvas canvas = Record(FiveCurveScene());
    EXPECT_EQ(canvas.PensCreated(), 5);
    EXPECT_EQ(canvas.PensReleased(), 5);
    EXPECT_EQ(canvas.PenMisuses(), 0);
    EXPECT_EQ(canvas.SelectedPen(), RecordingCanvas::ContextPen);
    for (const auto& curve : canvas.Curves()) {
        EXPECT_EQ(curve.width, 2);
    }
    // Frame, grid and columns use the context's pen only: no pen is selected before the curves.
    for (const auto& segment : canvas.Segments()) {
        if (segment.pen == RecordingCanvas::ContextPen) {
            EXPECT_EQ(segment.width, 0);
        } else {
            EXPECT_EQ(segment.width, 2);
        }
    }
    // Lines drawn after a paint use the context's pen again.
    const RasterCanvas picture = Raster(FiveCurveScene());
    EXPECT_EQ(picture.LivePens(), 0);
}

TEST(AudiogramCurves, LevelsArePixelsBelowThePlotTop) {
    ChartScene scene;
    scene.standard = MakeRecord("Norm", Levels{25, 0, 216, 300, -10, 5, 5, 5, 5, 5}, Levels{});
    const RecordingCanvas canvas = Record(scene);
    ASSERT_EQ(canvas.Curves().size(), 1u);
    const auto& points = canvas.Curves()[0].points;
    ASSERT_EQ(points.size(), 10u);
    EXPECT_EQ(points[0], std::make_pair(10, 40)); // a level of 25 at y 40
    EXPECT_EQ(points[1], std::make_pair(57, 15)); // 0 on the top line
    EXPECT_EQ(points[2], std::make_pair(104, 231));
    EXPECT_EQ(points[3], std::make_pair(151, 315)); // below the item: not clipped by the chart
    EXPECT_EQ(points[4], std::make_pair(198, 5));   // negative: into the label strip
    for (int i = 5; i < 10; ++i) {
        EXPECT_EQ(points[i], std::make_pair(X(i), 20));
    }
    // One move and nine lines: nine straight segments.
    int lines = 0;
    for (const auto& segment : canvas.Segments()) {
        lines += segment.pen != RecordingCanvas::ContextPen ? 1 : 0;
    }
    EXPECT_EQ(lines, 9);
}

TEST(AudiogramCurves, StartUpShowsOnlyTheGreyStandard) {
    // "Neue Person" differs from the all-zero comparison by its name, but has no first levels.
    EXPECT_EQ(CurveColors(StartUpScene()), (Colors{StandardLeftColor}));

    const RasterCanvas picture = Raster(StartUpScene());
    EXPECT_GT(picture.Count(StandardLeftColor), 0);
    EXPECT_EQ(picture.Count(CurrentLeftColor), 0);
    EXPECT_EQ(picture.Count(CurrentRightColor), 0);
}

TEST(AudiogramCurves, StandardRightEarIsNeverDrawn) {
    ChartScene scene = StartUpScene();
    for (auto& level : scene.standard.right) {
        level = 120;
    }
    const RecordingCanvas canvas = Record(scene);
    ASSERT_EQ(canvas.Curves().size(), 1u);
    EXPECT_EQ(canvas.Curves()[0].points[0].second, 15 + scene.standard.left[0]);
}

TEST(AudiogramCurves, ZeroStandardIsAStraightLineOnTheTopLine) {
    ChartScene scene = StartUpScene();
    scene.standard = MakeRecord("Norm", Levels{}, Levels{});
    EXPECT_EQ(CurveColors(scene), (Colors{StandardLeftColor}));
    const RasterCanvas picture = Raster(scene);
    for (int x = 10; x <= 433; ++x) {
        EXPECT_EQ(picture.Pixel(x, 15), StandardLeftColor) << x;
    }
}

TEST(AudiogramCurves, FirstLevelAloneDecidesWhetherAnEarIsShown) {
    ChartScene scene = FiveCurveScene();
    scene.comparison.left[0] = 0;
    scene.current.right[0] = 0;
    EXPECT_EQ(CurveColors(scene),
              (Colors{StandardLeftColor, ComparisonRightColor, CurrentLeftColor}));
}

TEST(AudiogramCurves, LaterZeroLevelRunsUpToTheTopLine) {
    ChartScene scene = StartUpScene();
    scene.current.left[0] = 100;
    scene.current.left[1] = 100;
    scene.current.left[2] = 0;
    scene.current.left[3] = 100;
    const RasterCanvas picture = Raster(scene);
    EXPECT_EQ(picture.Pixel(X(2), 15), CurrentLeftColor);
    // And halfway up the rise from column 1 there is red too.
    int red = picture.Count(CurrentLeftColor, CanvasRect{X(1), 60, X(2), 70});
    EXPECT_GT(red, 0);
}

TEST(AudiogramCurves, NegativeFirstLevelHidesComparisonButNotCurrent) {
    ChartScene scene = FiveCurveScene();
    scene.comparison.left[0] = -5;
    scene.comparison.right[0] = -5;
    scene.current.left[0] = -5;
    scene.current.right[0] = -5;
    EXPECT_EQ(CurveColors(scene), (Colors{StandardLeftColor, CurrentLeftColor, CurrentRightColor}));
}

TEST(AudiogramCurves, CurrentEqualToComparisonIsShownOnceInPaleColours) {
    ChartScene scene = FiveCurveScene();
    scene.comparison = scene.current;
    EXPECT_EQ(CurveColors(scene),
              (Colors{StandardLeftColor, ComparisonLeftColor, ComparisonRightColor}));

    // The same record with its right ear unmeasured: only the pale left curve.
    scene.current.right[0] = 0;
    scene.comparison = scene.current;
    EXPECT_EQ(CurveColors(scene), (Colors{StandardLeftColor, ComparisonLeftColor}));
}

TEST(AudiogramCurves, OneDifferingByteBringsTheFullColoursBack) {
    ChartScene scene = FiveCurveScene();
    scene.comparison = scene.current;
    // Behind the name's terminator: the names read the same, the records do not.
    scene.current.name[100] = 'x';
    EXPECT_STREQ(scene.current.name, scene.comparison.name);
    EXPECT_EQ(CurveColors(scene),
              (Colors{StandardLeftColor, ComparisonLeftColor, ComparisonRightColor,
                      CurrentLeftColor, CurrentRightColor}));

    // The last level of the right ear, the record's last bytes.
    scene.current = scene.comparison;
    scene.current.right[9] += 1;
    EXPECT_EQ(CurveColors(scene).size(), 5u);
}

TEST(AudiogramCurves, ClearedComparisonShowsNoPaleCurve) {
    // Clearing "Vergleich" zeroes only the first levels; the rest of the record stays.
    ChartScene scene = FiveCurveScene();
    scene.comparison.left[0] = 0;
    scene.comparison.right[0] = 0;
    EXPECT_EQ(CurveColors(scene), (Colors{StandardLeftColor, CurrentLeftColor, CurrentRightColor}));
}

TEST(AudiogramCurves, LaterCurvesLieOverEarlierOnes) {
    // All five through the same points: the last one drawn, the current right ear, wins.
    ChartScene scene;
    const Levels same{60, 60, 60, 60, 60, 60, 60, 60, 60, 60};
    scene.standard = MakeRecord("Norm", same, same);
    scene.comparison = MakeRecord("Anna", same, same);
    scene.current = MakeRecord("Bernd", same, same);
    const RasterCanvas picture = Raster(scene);
    EXPECT_EQ(picture.Pixel(X(5), 75), CurrentRightColor);
    EXPECT_EQ(picture.Count(StandardLeftColor), 0);
    EXPECT_EQ(picture.Count(CurrentLeftColor), 0);

    // Without the current record's right ear, its left ear is on top.
    scene.current.right[0] = 0;
    EXPECT_EQ(Raster(scene).Pixel(X(5), 75), CurrentLeftColor);
}

TEST(AudiogramCurves, DrawCurveLeavesTheSelectedPenAsItFound) {
    RecordingCanvas canvas;
    const CanvasPen outer = canvas.SelectSolidPen(0x00123456, 1);
    const std::int32_t levels[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    DrawCurve(canvas, CanvasRect{5, 7, 99, 99}, 0x00ABCDEF, levels, 3);
    EXPECT_EQ(canvas.PenMisuses(), 0);
    canvas.MoveTo(0, 0);
    canvas.LineTo(1, 1);
    EXPECT_EQ(canvas.Segments().back().color, 0x00123456u);
    canvas.RestorePen(outer);
    EXPECT_EQ(canvas.PenMisuses(), 0);
    // Only left and top of the plot decide where the points lie.
    const auto& points = canvas.Curves().at(1).points;
    EXPECT_EQ(points.front(), std::make_pair(5, 8));
    EXPECT_EQ(points.back(), std::make_pair(5 + 27, 17));
}

} // namespace
