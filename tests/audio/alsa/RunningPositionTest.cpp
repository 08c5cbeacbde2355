#include "audio/alsa/RunningPosition.h"

#include <gtest/gtest.h>

// A device's reports reckoned on by the clock: a report that runs slow is caught up, a device
// that stops is not counted as playing.

namespace {

using namespace std::chrono_literals;
constexpr unsigned Rate = 44100;
constexpr std::int64_t Lead = 4096;

TEST(RunningPosition, SlowReportsAreReckonedOnAtTheRateButAStopIsNot) {
    RunningPosition clock;
    const auto start = RunningPosition::Clock::now();
    EXPECT_EQ(clock.Reckon(1000, start, Rate, Lead), 1000);
    // Reports 5 % slow, every 10 ms: the position runs at the rate, never below the report.
    std::int64_t reported = 1000;
    std::int64_t position = 0;
    for (int step = 1; step <= 100; ++step) {
        reported += 419;
        position = clock.Reckon(reported, start + step * 10ms, Rate, Lead);
    }
    EXPECT_EQ(position, 1000 + 44100) << "a second played";
    // Slower still, for long: at most Lead ahead of the report.
    for (int step = 101; step <= 300; ++step) {
        reported += 200;
        position = clock.Reckon(reported, start + step * 10ms, Rate, Lead);
    }
    EXPECT_EQ(position, reported + Lead);
    // The report stands still (an underrun): after StandStill the report alone counts.
    const auto stopped = start + 3000ms;
    EXPECT_EQ(clock.Reckon(reported, stopped + RunningPosition::StandStill + 10ms, Rate, Lead),
              reported);
    // It moves again: reckoned from there, the time it stood counting for nothing.
    const auto again = stopped + 1s;
    EXPECT_EQ(clock.Reckon(reported + 10, again, Rate, Lead), reported + 10);
    EXPECT_EQ(clock.Reckon(reported + 20, again + 10ms, Rate, Lead), reported + 10 + 441);
    // A report that passes the reckoning is taken as it is; one that jumps back while the
    // reports move on is not followed back further than Lead.
    EXPECT_EQ(clock.Reckon(reported + 5000, again + 20ms, Rate, Lead), reported + 5000);
    EXPECT_EQ(clock.Reckon(reported + 3000, again + 30ms, Rate, Lead), reported + 5000 + 441);
    EXPECT_EQ(clock.Reckon(reported, again + 40ms, Rate, Lead), reported + Lead);

    // A device that never moves after its first report is never counted as playing.
    RunningPosition stopped2;
    EXPECT_EQ(stopped2.Reckon(0, start, Rate, Lead), 0);
    EXPECT_EQ(stopped2.Reckon(0, start + 20ms, Rate, Lead), 0);
}

} // namespace
