// Whole pictures of the chart: the one kept for a person to look at, and the extremes that a
// hand-written data file can put into the records.
#include "ChartFixtures.h"
#include "fakes/RasterCanvas.h"
#include "fakes/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

namespace {

constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();

TEST(AudiogramPicture, FiveCurvesAreKeptAsAnArtefact) {
    const ChartScene scene = FiveCurveScene();
    RasterCanvas picture(Item.right, Item.bottom);
    DrawAudiogramChart(picture, Item, scene.Records(), &TestFrequencyOf);

    std::filesystem::create_directories(TONOLOT_ARTIFACT_DIR);
    const std::string png = ArtifactPath("audiogram-five-curves.png");
    const std::string ppm = ArtifactPath("audiogram-five-curves.ppm");
    std::filesystem::remove(png);
    ASSERT_TRUE(picture.SavePng(png));
    ASSERT_TRUE(picture.SavePpm(ppm));
    EXPECT_GT(std::filesystem::file_size(png), 450u * 234u * 3u);
    EXPECT_EQ(std::filesystem::file_size(ppm), 450u * 234u * 3u + 15u);

    // Every element the person should see is there.
    for (CanvasColor color : {StandardLeftColor, ComparisonLeftColor, ComparisonRightColor,
                              CurrentLeftColor, CurrentRightColor, BandColor}) {
        EXPECT_GT(picture.Count(color), 100) << std::hex << color;
    }
}

TEST(AudiogramPicture, LevelsBeyondThe32BitRangeAreHeldAtItsEdge) {
    ChartScene scene = StartUpScene();
    scene.current.left[0] = 25;
    scene.current.left[1] = Max32;      // 15 + level leaves the range: held at its top
    scene.current.left[2] = Max32 - 15; // exactly the largest y: placed as it is
    scene.current.left[3] = Min32;      // 15 + level stays inside: placed as it is
    RecordingCanvas canvas;
    DrawAudiogramChart(canvas, Item, scene.Records(), &TestFrequencyOf);
    const auto& points = canvas.Curves().at(1).points;
    EXPECT_EQ(points[0].second, 40);
    EXPECT_EQ(points[1].second, Max32);
    EXPECT_EQ(points[2].second, Max32);
    EXPECT_EQ(points[3].second, Min32 + 15);

    // On an item whose top lies far up, the most negative level is held too.
    scene.current.left[3] = Min32;
    RecordingCanvas high;
    DrawAudiogramChart(high, CanvasRect{0, -100, 450, 134}, scene.Records(), &TestFrequencyOf);
    EXPECT_EQ(high.Curves().at(1).points[3].second, Min32);
}

TEST(AudiogramPicture, HugeLevelsStillDrawTheVisiblePart) {
    ChartScene scene = StartUpScene();
    scene.current.left[0] = 25;
    scene.current.left[1] = Max32;
    scene.current.left[2] = Min32;
    scene.current.left[3] = 25;
    RasterCanvas picture(Item.right, Item.bottom);
    DrawAudiogramChart(picture, Item, scene.Records(), &TestFrequencyOf);
    // From column 0 the line falls straight down out of the item, from far above it comes
    // straight down onto column 3: within the item both are vertical.
    EXPECT_EQ(picture.Pixel(10, 200), CurrentLeftColor);
    EXPECT_EQ(picture.Pixel(10, 233), CurrentLeftColor);
    EXPECT_EQ(picture.Pixel(151, 0), CurrentLeftColor);
    EXPECT_EQ(picture.Pixel(151, 39), CurrentLeftColor);
    EXPECT_NE(picture.Pixel(151, 60), CurrentLeftColor);
}

TEST(AudiogramPicture, ExtremeItemRectanglesDrawWithoutOverflow) {
    RecordingCanvas canvas;
    const ChartScene scene = FiveCurveScene();
    DrawAudiogramChart(canvas, CanvasRect{Min32, Min32, Max32, Max32}, scene.Records(),
                       &TestFrequencyOf);
    const ChartLayout layout = LayoutFor(CanvasRect{Min32, Min32, Max32, Max32});
    EXPECT_EQ(layout.plot.left, Min32 + 10);
    EXPECT_EQ(layout.plot.right, Max32 - 15);
    EXPECT_EQ(layout.columnStep, (std::int64_t{Max32} - 15 - (std::int64_t{Min32} + 10)) / 9);
    // The labels' reference lies on the item's top, which plot top - 15 still reaches.
    EXPECT_EQ(canvas.Texts().at(0).y, Min32);
    EXPECT_EQ(canvas.Curves().size(), 5u);

    // An item at the bottom edge: its plot top is held, the labels stay on the item's top.
    RecordingCanvas low;
    DrawAudiogramChart(low, CanvasRect{0, Max32 - 5, 450, Max32}, scene.Records(),
                       &TestFrequencyOf);
    EXPECT_EQ(low.Texts().at(0).y, Max32 - 5);
}

} // namespace
