// The winmm device, in the Windows build only: run under Wine with a sound server it plays for
// real; without one, winmm refuses to open and the streamer reports it.
#ifdef _WIN32

#include "StreamerFixture.h"

#include "audio/winmm/WinmmWaveOut.h"

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

bool Eventually(StampingStreamer& streamer, int fills) {
    const auto give_up = std::chrono::steady_clock::now() + 5s;
    while (streamer.Fills() < fills) {
        if (std::chrono::steady_clock::now() > give_up) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

TEST(WinmmDevice, PlaysTheRingInOrderStopsAndCloses) {
    ScriptedPresenter presenter;
    WinmmWaveOut device;
    StampingStreamer streamer(device);
    if (!streamer.IsOpen()) {
        ASSERT_EQ(presenter.Count(), 1u);
        GTEST_SKIP() << "no wave-out device: " << presenter.Texts()[0];
    }
    ASSERT_TRUE(streamer.Start());
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(Eventually(streamer, 43)) << "about 43 buffers a second";
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GT(seconds, 0.5) << "buffers are returned as they play, not as they are written";
    ASSERT_TRUE(streamer.Stop());
    const std::vector<int> filled = streamer.Filled();
    for (std::size_t n = 0; n < filled.size(); ++n) {
        ASSERT_EQ(filled[n], static_cast<int>((n + 4) % 32)) << n;
    }
    EXPECT_EQ(device.Queued(), 0);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(streamer.HeaderAt(i).flags & (WaveHeaderDone | WaveHeaderPrepared),
                  WaveHeaderDone | WaveHeaderPrepared)
            << i;
    }
    streamer.Close();
    const int fills = streamer.Fills();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(streamer.Fills(), fills) << "no notification after Close";
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST(WinmmDevice, RepeatedStartStopCloseLikeTheHearingTest) {
    ScriptedPresenter presenter;
    WinmmWaveOut device;
    StampingStreamer streamer(device);
    if (!streamer.IsOpen()) {
        GTEST_SKIP() << "no wave-out device";
    }
    for (int cycle = 0; cycle < 10; ++cycle) {
        ASSERT_TRUE(streamer.Start());
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 15 * (cycle % 4)));
        ASSERT_TRUE(streamer.Stop());
        streamer.Close();
        ASSERT_FALSE(streamer.IsOpen());
    }
    EXPECT_EQ(presenter.Count(), 0u);
}

} // namespace

#endif
