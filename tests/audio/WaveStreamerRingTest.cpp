#include "StreamerFixture.h"

#include <numeric>

// The ring while playing: which buffer each notification fills, what the listener hears, and
// the order in which buffers travel round.

namespace {

class WaveStreamerRing : public ::testing::Test {
protected:
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    StampingStreamer streamer{device};
};

TEST_F(WaveStreamerRing, StartQueuesAllThirtyTwoBuffersOfOneBlockSilent) {
    ASSERT_TRUE(streamer.Start());
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Playing);
    EXPECT_EQ(device.Queued(), 32);
    EXPECT_EQ(streamer.LastQueued(), 31);
    EXPECT_EQ(device.Calls(Call::PrepareHeader), 32);
    EXPECT_EQ(device.Calls(Call::Write), 32);
    const StereoFrame* block = streamer.BufferAt(0);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 32; ++i) {
        const WaveHeader header = streamer.HeaderAt(i);
        EXPECT_EQ(streamer.BufferAt(i), block + i * 1024) << i;
        EXPECT_EQ(header.data, reinterpret_cast<const char*>(block + i * 1024)) << i;
        EXPECT_EQ(header.bufferLength, 4096u) << i;
        EXPECT_EQ(header.flags & (WaveHeaderPrepared | WaveHeaderDone), WaveHeaderPrepared) << i;
        for (int f = 0; f < 1024; ++f) {
            ASSERT_EQ(block[i * 1024 + f].left | block[i * 1024 + f].right, 0) << i;
        }
    }
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(WaveStreamerRing, EachReturnFillsTheBufferFourAheadAndQueuesTheReturnedOne) {
    ASSERT_TRUE(streamer.Start());
    for (int k = 0; k < 70; ++k) {
        ASSERT_EQ(device.Play(1), 1);
        EXPECT_EQ(streamer.LastQueued(), k % 32) << "buffer " << k << " queued again";
        EXPECT_EQ(device.Queued(), 32) << "the ring keeps its depth";
    }
    const std::vector<int> filled = streamer.Filled();
    ASSERT_EQ(filled.size(), 70u);
    for (int k = 0; k < 70; ++k) {
        EXPECT_EQ(filled[k], (k + 4) % 32) << "return of buffer " << k;
    }
}

TEST_F(WaveStreamerRing, ListenerHearsFourSilentBuffersThenEveryFillOnceInOrder) {
    ASSERT_TRUE(streamer.Start());
    ASSERT_EQ(device.Play(100), 100);
    const std::vector<StereoFrame> heard = device.TakeHeard();
    ASSERT_EQ(heard.size(), 100u * 1024);
    for (std::size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(StampOf(heard, n), 0) << "buffer " << n << " after Start is silent";
    }
    // Buffer n carries the fill made when buffer n - 4 came back: fill number n - 3. Nothing
    // stale from the previous pass is heard again and no buffer is skipped.
    for (std::size_t n = 4; n < 100; ++n) {
        EXPECT_EQ(StampOf(heard, n), static_cast<int>(n) - 3) << "buffer " << n;
    }
}

TEST_F(WaveStreamerRing, BuffersComeBackInRingOrderPassAfterPass) {
    ASSERT_TRUE(streamer.Start());
    ASSERT_EQ(device.Play(80), 80);
    const std::vector<const WaveHeader*> returned = device.TakeReturned();
    ASSERT_EQ(returned.size(), 80u);
    for (std::size_t n = 0; n < returned.size(); ++n) {
        EXPECT_EQ(RingIndexOf(streamer, returned[n]), static_cast<int>(n % 32)) << n;
    }
}

TEST(WaveStreamerPlain, PlaysContinuousSilenceAndKeepsRecycling) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    WaveStreamer streamer(device);
    ASSERT_TRUE(streamer.Start());
    ASSERT_EQ(device.Play(100), 100);
    const std::vector<StereoFrame> heard = device.TakeHeard();
    ASSERT_EQ(heard.size(), 100u * 1024);
    for (const StereoFrame& frame : heard) {
        ASSERT_EQ(frame.left | frame.right, 0);
    }
    EXPECT_EQ(device.Queued(), 32);
    EXPECT_EQ(device.Calls(Call::Write), 132);
    streamer.Close();
}

TEST_F(WaveStreamerRing, WriteFailingInANotificationDropsThatBufferFromTheRing) {
    ASSERT_TRUE(streamer.Start());
    device.Fail(Call::Write, WaveErrorNoMemory);
    ASSERT_EQ(device.Play(1), 1);
    EXPECT_EQ(device.Queued(), 31);
    ASSERT_EQ(device.Play(40), 40);
    EXPECT_EQ(device.Queued(), 31);
    // Buffer 0 never comes round again.
    std::vector<const WaveHeader*> returned = device.TakeReturned();
    for (std::size_t n = 1; n < returned.size(); ++n) {
        EXPECT_NE(RingIndexOf(streamer, returned[n]), 0) << n;
    }
    EXPECT_EQ(presenter.Count(), 0u) << "a failure in a notification is not reported";
}

TEST_F(WaveStreamerRing, WriteFailingInStartLeavesAShortRingWhoseFillPointFollowsTheCount) {
    device.FailLater(Call::Write, 10, WaveErrorNoMemory);
    ASSERT_TRUE(streamer.Start()) << "header 0 was queued";
    EXPECT_EQ(device.Queued(), 10);
    EXPECT_EQ(streamer.LastQueued(), 10) << "names the failing header";
    EXPECT_EQ(presenter.Count(), 0u);
    device.TakeHeard();
    ASSERT_EQ(device.Play(30), 30);
    // The first return fills (10 + 5) % 32 = 15, outside the ring; after that each return fills
    // five behind the one returned before it: buffers 5..9 inside the ring, 10..14 outside.
    const std::vector<int> filled = streamer.Filled();
    ASSERT_EQ(filled.size(), 30u);
    EXPECT_EQ(filled[0], 15);
    for (int n = 1; n < 30; ++n) {
        EXPECT_EQ(filled[n], (n - 1) % 10 + 5) << n;
    }
    // So buffers 0..4 of the short ring stay silent in every pass.
    const std::vector<StereoFrame> heard = device.TakeHeard();
    for (std::size_t n = 0; n < 30; ++n) {
        if (n % 10 < 5) {
            EXPECT_EQ(StampOf(heard, n), 0) << n;
        } else {
            EXPECT_GT(StampOf(heard, n), 0) << n;
        }
    }
}

} // namespace
