// The chart in words names the curves the chart draws, no more and no fewer, with their levels.
#include "chart/AudiogramDescription.h"
#include "ChartFixtures.h"
#include "fakes/RecordingCanvas.h"

#include <gtest/gtest.h>

namespace {

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(AudiogramDescriptionTest, NamesEveryDrawnCurveWithItsLevelPerFrequency) {
    ChartScene startUp = StartUpScene();
    ChartScene five = FiveCurveScene();
    ChartScene shownOnce = FiveCurveScene();
    shownOnce.current = shownOnce.comparison; // the record picked as current and as comparison
    for (const ChartScene* scene : {&startUp, &five, &shownOnce}) {
        RecordingCanvas canvas;
        DrawAudiogramChart(canvas, CanvasRect{0, 0, 450, 234}, scene->Records(), &TestFrequencyOf);
        const std::string text = DescribeAudiogram(scene->Records(), &TestFrequencyOf);
        EXPECT_EQ(CountOf(text, " 12000 Hz "), static_cast<int>(canvas.Curves().size())) << text;
    }

    const std::string text = DescribeAudiogram(five.Records(), &TestFrequencyOf);
    EXPECT_NE(text.find("Links (rot): 70 Hz 100, 125 Hz 96, 250 Hz 92"), std::string::npos);
    EXPECT_NE(text.find("Rechts (blau): 70 Hz 130,"), std::string::npos);
    EXPECT_NE(text.find("Vergleich rechts (hellblau): 70 Hz 70,"), std::string::npos);
    EXPECT_NE(text.find("12000 Hz 196."), std::string::npos);
    const std::string fresh = DescribeAudiogram(startUp.Records(), &TestFrequencyOf);
    EXPECT_NE(fresh.find("Links nicht gemessen. Rechts nicht gemessen."), std::string::npos);
    EXPECT_NE(DescribeAudiogram(shownOnce.Records(), &TestFrequencyOf).find("wie der Vergleich"),
              std::string::npos);
}

} // namespace
