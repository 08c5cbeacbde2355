// The chart as the dialog paints it: through the application object, with its own records and
// its own frequency table.
#include "ChartFixtures.h"
#include "fakes/FakeDialogControls.h"
#include "fakes/RasterCanvas.h"
#include "fakes/RecordingCanvas.h"
#include "fakes/SimulatedWaveOut.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"

#include <gtest/gtest.h>

namespace {

class HearingTestAudiogram : public ::testing::Test {
protected:
    SimulatedWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    HearingTest hearing{device, controls, clock};
    const CanvasRect item{0, 0, 450, 234};
};

TEST_F(HearingTestAudiogram, PaintReturnsOneAndLabelsTheTestFrequencies) {
    RecordingCanvas canvas;
    EXPECT_EQ(hearing.DrawAudiogram(canvas, item), 1);
    const char* expected[10] = {"70",   "125",  "250",  "500",  "1000",
                                "2000", "4000", "6000", "8000", "12000"};
    ASSERT_EQ(canvas.Texts().size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(canvas.Texts()[i].text, expected[i]);
    }
}

TEST_F(HearingTestAudiogram, FreshObjectShowsOnlyTheStandardOnTheTopLine) {
    // No data file loaded: the standard is all zeros, the current record "Neue Person" unmeasured.
    RasterCanvas picture(450, 234);
    hearing.DrawAudiogram(picture, item);
    EXPECT_EQ(picture.Pixel(200, 15), StandardLeftColor);
    EXPECT_EQ(picture.Count(CurrentLeftColor), 0);
    EXPECT_EQ(picture.Count(CurrentRightColor), 0);
    EXPECT_EQ(picture.Count(ComparisonLeftColor), 0);
}

TEST_F(HearingTestAudiogram, DrawsTheObjectsOwnRecords) {
    const ChartScene scene = FiveCurveScene();
    hearing.store.standard = scene.standard;
    hearing.comparison = scene.comparison;
    hearing.current = scene.current;
    RecordingCanvas canvas;
    hearing.DrawAudiogram(canvas, item);
    const auto& curves = canvas.Curves();
    ASSERT_EQ(curves.size(), 5u);
    EXPECT_EQ(curves[0].points[0].second, 15 + scene.standard.left[0]);
    EXPECT_EQ(curves[1].points[0].second, 15 + scene.comparison.left[0]);
    EXPECT_EQ(curves[2].points[0].second, 15 + scene.comparison.right[0]);
    EXPECT_EQ(curves[3].points[9].second, 15 + scene.current.left[9]);
    EXPECT_EQ(curves[4].points[9].second, 15 + scene.current.right[9]);

    // The same record chosen as comparison and loaded as current is drawn once, pale.
    hearing.comparison = hearing.current;
    RecordingCanvas again;
    hearing.DrawAudiogram(again, item);
    EXPECT_EQ(again.Curves().size(), 3u);
}

} // namespace
