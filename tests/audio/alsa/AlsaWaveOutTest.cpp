#include "../StreamerFixture.h"
#include "FakeAlsaCalls.h"

#include "audio/alsa/AlsaSink.h"
#include "audio/alsa/AlsaWaveOut.h"

#include <chrono>
#include <functional>
#include <thread>

// The ALSA device on ALSA's "null" plugin, which needs no sound card or server. It takes every
// frame at once and never reports a delay, so buffers come back as fast as they are written:
// these tests check order, pause, reset and close, not timing (check-alsa-tone.sh plays for real).

namespace {

using namespace std::chrono_literals;

bool Eventually(const std::function<bool()>& condition) {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(AlsaDevice, PlaysTheRingInOrderThroughStopStartAndClose) {
    ScriptedPresenter presenter;
    AlsaWaveOut device("null");
    StampingStreamer streamer(device);
    ASSERT_TRUE(streamer.IsOpen());
    for (int round = 1; round <= 2; ++round) {
        // The second round plays on the handle that the stop dropped, opened again.
        const int before = streamer.Fills();
        ASSERT_TRUE(streamer.Start());
        ASSERT_TRUE(Eventually([&] { return streamer.Fills() >= before + 300; })) << round;
        ASSERT_TRUE(streamer.Stop());
        EXPECT_EQ(device.Queued(), 0);
        for (int i = 0; i < 32; ++i) {
            EXPECT_EQ(streamer.HeaderAt(i).flags & (WaveHeaderDone | WaveHeaderPrepared),
                      WaveHeaderDone | WaveHeaderPrepared)
                << i;
        }
    }
    // Each start fills from the buffer four places behind the first one queued, then in order.
    const std::vector<int> filled = streamer.Filled();
    ASSERT_GE(filled.size(), 600u);
    int restarts = 0;
    for (std::size_t n = 1; n < filled.size(); ++n) {
        if (filled[n] != (filled[n - 1] + 1) % 32) {
            EXPECT_EQ(filled[n], 4) << n;
            ++restarts;
        }
    }
    EXPECT_LE(restarts, 1);
    EXPECT_EQ(filled.front(), 4);
    streamer.Close();
    const int fills = streamer.Fills();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(streamer.Fills(), fills) << "no notification after Close";
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST(AlsaDevice, AnUnknownDeviceShowsTheBadDeviceIdBox) {
    ScriptedPresenter presenter;
    AlsaWaveOut device("tonolot_no_such_device");
    StampingStreamer streamer(device);
    EXPECT_FALSE(streamer.IsOpen());
    ASSERT_EQ(presenter.Count(), 1u);
    EXPECT_EQ(presenter.Texts()[0], "Wave-Ausgabeger\xE4t konnte nicht ge\xF6"
                                    "ffnet werden!\r\n-30 = Ung\xFCltige Ger\xE4te-ID");
}

TEST(AlsaSinkCalls, PauseHoldsWhatIsSubmittedAndResetDropsIt) {
    AlsaSink sink("null");
    const char frames[4096] = {};
    EXPECT_EQ(sink.Submit(0, frames, 4096), WaveErrorInvalidHandle);
    WaveFormat mono = CdFormat;
    mono.channels = 1;
    EXPECT_EQ(sink.Open(mono, 4, 16384), WaveErrorBadFormat);
    ASSERT_EQ(sink.Open(CdFormat, 4, 16384), WaveOk);
    EXPECT_EQ(sink.Open(CdFormat, 4, 16384), WaveErrorAllocated);
    EXPECT_EQ(sink.Submit(4, frames, 4096), WaveErrorInvalidParam);

    ASSERT_EQ(sink.Submit(0, frames, 4096), WaveOk);
    EXPECT_TRUE(sink.Finished(0)) << "null plays at once";
    ASSERT_EQ(sink.Pause(), WaveOk);
    ASSERT_EQ(sink.Submit(1, frames, 4096), WaveOk);
    EXPECT_EQ(sink.Backlog(), 1024u);
    EXPECT_FALSE(sink.Finished(1)) << "held while paused";
    ASSERT_EQ(sink.Restart(), WaveOk);
    EXPECT_TRUE(sink.Finished(1));
    EXPECT_EQ(sink.Backlog(), 0u);

    ASSERT_EQ(sink.Pause(), WaveOk);
    ASSERT_EQ(sink.Submit(2, frames, 4096), WaveOk);
    ASSERT_EQ(sink.Submit(3, frames, 4096), WaveOk);
    ASSERT_EQ(sink.Reset(), WaveOk);
    EXPECT_TRUE(sink.Finished(2) && sink.Finished(3)) << "dropped counts as finished";
    EXPECT_EQ(sink.Backlog(), 0u);
    ASSERT_EQ(sink.Submit(2, frames, 4096), WaveOk);
    EXPECT_TRUE(sink.Finished(2)) << "plays again after the reset";
    EXPECT_EQ(sink.Close(), WaveOk);
    EXPECT_EQ(sink.Close(), WaveErrorInvalidHandle);
}

TEST(AlsaSinkCalls, WakeEndsAWaitFromAnotherThread) {
    AlsaSink sink("null");
    ASSERT_EQ(sink.Open(CdFormat, 4, 16384), WaveOk);
    const auto began = std::chrono::steady_clock::now();
    std::thread waker([&] {
        std::this_thread::sleep_for(20ms);
        sink.Wake();
    });
    sink.Wait(10000);
    waker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 5s);
}

} // namespace
