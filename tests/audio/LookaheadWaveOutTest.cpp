#include "CopyingSink.h"
#include "StreamerFixture.h"

#include "audio/LookaheadWaveOut.h"

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <thread>

// The device that keeps the queue on its own side and hands the platform a copy of each buffer
// only after the notification that fills it: on a platform that copies early, what FillBuffer
// writes must still be what is heard.

namespace {

using namespace std::chrono_literals;

// Notifications arrive on the device's own thread; waits (at most five seconds) for them.
bool Eventually(const std::function<bool()>& condition) {
    const auto give_up = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > give_up) {
            return false;
        }
        std::this_thread::sleep_for(100us);
    }
    return true;
}

class LookaheadDevice : public ::testing::Test {
protected:
    LookaheadDevice() : sink(new CopyingSink), device(std::unique_ptr<PcmSink>(sink)) {}

    // Plays one buffer and waits until its notification has been handled and the next copy
    // has gone to the platform.
    void PlayOne(int fillsBefore) {
        ASSERT_TRUE(Eventually([&] { return sink->Held() == 4; }));
        ASSERT_EQ(sink->Advance(1), 1);
        ASSERT_TRUE(Eventually([&] { return streamer.Fills() == fillsBefore + 1; }));
        ASSERT_TRUE(Eventually([&] { return device.Submitted() == LookaheadWaveOut::Ahead; }));
    }

    ScriptedPresenter presenter;
    CopyingSink* sink; // owned by the device
    LookaheadWaveOut device;
    StampingStreamer streamer{device};
};

TEST_F(LookaheadDevice, WhatFillBufferWritesIsHeardOnAPlatformThatCopies) {
    ASSERT_TRUE(streamer.Start());
    ASSERT_TRUE(Eventually([&] { return sink->Held() == 4; }));
    EXPECT_EQ(device.Queued(), 32);
    for (int k = 0; k < 70; ++k) {
        PlayOne(k);
    }
    const std::vector<StereoFrame> heard = sink->TakeHeard();
    ASSERT_EQ(heard.size(), 70u * 1024);
    for (std::size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(StampOf(heard, n), 0) << n;
    }
    for (std::size_t n = 4; n < 70; ++n) {
        EXPECT_EQ(StampOf(heard, n), static_cast<int>(n) - 3) << n;
    }
    EXPECT_EQ(sink->MaxHeld(), 4u) << "never more than four buffers with the platform";
    EXPECT_EQ(device.Queued(), 32) << "the streamer's ring keeps its depth on our side";
    EXPECT_EQ(streamer.Filled().front(), 4);
}

TEST_F(LookaheadDevice, StopReturnsEveryBufferDoneAndStartPlaysAgain) {
    ASSERT_TRUE(streamer.Start());
    for (int k = 0; k < 5; ++k) {
        PlayOne(k);
    }
    ASSERT_TRUE(streamer.Stop());
    EXPECT_EQ(device.Queued(), 0);
    EXPECT_EQ(sink->Held(), 0u);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(streamer.HeaderAt(i).flags & (WaveHeaderDone | WaveHeaderPrepared),
                  WaveHeaderDone | WaveHeaderPrepared)
            << i;
    }
    EXPECT_EQ(sink->Advance(3), 0) << "nothing left to play";
    EXPECT_EQ(streamer.Fills(), 5);

    sink->TakeHeard();
    ASSERT_TRUE(streamer.Start());
    ASSERT_TRUE(Eventually([&] { return sink->Held() == 4; }));
    for (int k = 5; k < 12; ++k) {
        PlayOne(k);
    }
    const std::vector<StereoFrame> heard = sink->TakeHeard();
    EXPECT_EQ(StampOf(heard, 3), 0);
    EXPECT_EQ(StampOf(heard, 4), 6);
}

TEST_F(LookaheadDevice, PauseHoldsThePlatformAndRestartResumesIt) {
    ASSERT_TRUE(streamer.Start());
    ASSERT_TRUE(Eventually([&] { return sink->Held() == 4; }));
    ASSERT_EQ(device.Pause(&device), WaveOk);
    EXPECT_EQ(sink->Advance(2), 0);
    ASSERT_EQ(device.Restart(&device), WaveOk);
    PlayOne(0);
}

TEST_F(LookaheadDevice, NoNotificationAfterClose) {
    ASSERT_TRUE(streamer.Start());
    PlayOne(0);
    streamer.Close();
    EXPECT_FALSE(sink->IsOpen());
    EXPECT_EQ(device.Queued(), 0);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(streamer.Fills(), 1);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(LookaheadDevice, AFailedSubmitComesBackAtItsTurnWithoutBeingHeard) {
    sink->FailSubmits(1);
    ASSERT_TRUE(streamer.Start());
    // Buffer 0 could not be handed over: it returns at once, unplayed, and the ring goes on.
    ASSERT_TRUE(Eventually([&] { return streamer.Fills() == 1 && sink->Held() == 4; }));
    PlayOne(1);
    EXPECT_EQ(device.Queued(), 32);
    EXPECT_EQ(sink->TakeHeard().size(), 1024u);
}

TEST(LookaheadDeviceErrors, APlatformOpenFailureReachesTheErrorBox) {
    ScriptedPresenter presenter;
    auto* sink = new CopyingSink;
    sink->FailOpen(WaveErrorBadDeviceId);
    LookaheadWaveOut device{std::unique_ptr<PcmSink>(sink)};
    StampingStreamer streamer(device);
    ASSERT_EQ(presenter.Count(), 1u);
    EXPECT_EQ(presenter.Texts()[0], "Wave-Ausgabeger\xE4t konnte nicht ge\xF6"
                                    "ffnet werden!\r\n-30 = Ung\xFCltige Ger\xE4te-ID");
    EXPECT_FALSE(streamer.IsOpen());
}

TEST(LookaheadDeviceStress, StartStopCloseCyclesAgainstARealTimePlatform) {
    ScriptedPresenter presenter;
    auto* sink = new CopyingSink(200us);
    LookaheadWaveOut device{std::unique_ptr<PcmSink>(sink)};
    StampingStreamer streamer(device);
    std::mt19937 random(99);
    int played = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
        const int fillsBefore = streamer.Fills();
        ASSERT_TRUE(streamer.Start());
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        if (cycle % 8 == 0) {
            // A slow platform's first notification may come later than any of the short waits.
            ASSERT_TRUE(Eventually([&] { return streamer.Fills() > fillsBefore; }));
        }
        if (cycle % 2 == 0) {
            ASSERT_TRUE(streamer.Stop());
        }
        streamer.Close();
        ASSERT_FALSE(sink->IsOpen());
        // However late a notification came, nothing unfilled or stale was handed over.
        const std::vector<StereoFrame> heard = sink->TakeHeard();
        const std::size_t buffers = heard.size() / 1024;
        played += static_cast<int>(buffers);
        int previous = 0;
        bool fellSilent = false;
        for (std::size_t n = 0; n < buffers; ++n) {
            const int stamp = StampOf(heard, n);
            if (n < 4) {
                ASSERT_EQ(stamp, 0) << cycle << " " << n;
            } else if (fellSilent || stamp == 0) {
                // Buffers returned after Stop or Close set the state are not refilled.
                fellSilent = true;
                ASSERT_EQ(stamp, 0) << cycle << " " << n;
            } else if (n > 4) {
                ASSERT_EQ(stamp, previous + 1) << cycle << " " << n;
            }
            previous = stamp;
        }
    }
    EXPECT_GT(played, 20) << "notifications did arrive during the cycles";
    EXPECT_LE(sink->MaxHeld(), 4u);
    EXPECT_EQ(presenter.Count(), 0u);
}

} // namespace
