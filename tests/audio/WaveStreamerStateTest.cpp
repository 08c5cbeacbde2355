#include "StreamerFixture.h"

// The four states and the operations that move between them.

namespace {

class WaveStreamerState : public ::testing::Test {
protected:
    int DeviceCalls() const {
        int total = 0;
        for (Call call : {Call::Open, Call::PrepareHeader, Call::UnprepareHeader, Call::Write,
                          Call::Pause, Call::Restart, Call::Reset, Call::Close}) {
            total += device.Calls(call);
        }
        return total;
    }
    static bool DoneAndPrepared(const WaveHeader& header) {
        return (header.flags & (WaveHeaderDone | WaveHeaderPrepared)) ==
               (WaveHeaderDone | WaveHeaderPrepared);
    }

    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    StampingStreamer streamer{device};
};

TEST_F(WaveStreamerState, StateNumbersAreFixed) {
    // Callers compare states by order (above Stopped, below Playing).
    EXPECT_EQ(WaveStreamer::Idle, 0);
    EXPECT_EQ(WaveStreamer::Stopped, 1);
    EXPECT_EQ(WaveStreamer::Pausing, 2);
    EXPECT_EQ(WaveStreamer::Playing, 3);
}

TEST_F(WaveStreamerState, ConstructionOpensTheDeviceForSixteenBitStereoAndQueuesNothing) {
    EXPECT_TRUE(device.IsOpen());
    EXPECT_TRUE(streamer.IsOpen());
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Idle);
    EXPECT_EQ(streamer.BufferAt(0), nullptr) << "no block before the first Start";
    EXPECT_EQ(device.Queued(), 0);
    const WaveFormat format = device.OpenedFormat();
    EXPECT_EQ(format.formatTag, 1);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.samplesPerSec, 44100u);
    EXPECT_EQ(format.avgBytesPerSec, 176400u);
    EXPECT_EQ(format.blockAlign, 4);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.extraSize, 0);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(WaveStreamerState, OpenOnAnOpenDeviceKeepsItsRateAndFormat) {
    EXPECT_TRUE(streamer.Open(22050));
    EXPECT_EQ(streamer.SampleRate(), 44100);
    EXPECT_EQ(streamer.Format().samplesPerSec, 44100u);
    EXPECT_EQ(device.Calls(Call::Open), 1);
}

TEST_F(WaveStreamerState, StartWhilePlayingQueuesNothingMore) {
    ASSERT_TRUE(streamer.Start());
    EXPECT_TRUE(streamer.Start());
    EXPECT_EQ(device.Calls(Call::Write), 32);
    EXPECT_EQ(device.Queued(), 32);
}

TEST_F(WaveStreamerState, StopOutsidePlayingReturnsFalseAndCallsNothing) {
    const int before = DeviceCalls();
    EXPECT_FALSE(streamer.Stop()) << "Idle";
    ASSERT_TRUE(streamer.Start());
    ASSERT_TRUE(streamer.Stop());
    const int stopped = DeviceCalls();
    EXPECT_FALSE(streamer.Stop()) << "Stopped";
    EXPECT_EQ(DeviceCalls(), stopped);
    streamer.Close();
    const int closed = DeviceCalls();
    EXPECT_FALSE(streamer.Stop()) << "device closed";
    EXPECT_EQ(DeviceCalls(), closed);
    EXPECT_GT(stopped, before);
}

TEST_F(WaveStreamerState, StopHaltsTheRingWithEveryHeaderBackDoneAndPrepared) {
    ASSERT_TRUE(streamer.Start());
    ASSERT_EQ(device.Play(5), 5);
    ASSERT_TRUE(streamer.Stop());
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Stopped);
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.Queued(), 0);
    EXPECT_EQ(device.Calls(Call::Pause), 1);
    EXPECT_EQ(device.Calls(Call::Reset), 1);
    for (int i = 0; i < 32; ++i) {
        EXPECT_TRUE(DoneAndPrepared(streamer.HeaderAt(i))) << i;
    }
    // Nothing more is filled or queued: the buffers the reset returned stay out.
    EXPECT_EQ(device.Play(5), 0);
    EXPECT_EQ(streamer.Fills(), 5);
    EXPECT_EQ(device.Calls(Call::Write), 37);
}

TEST_F(WaveStreamerState, StartAfterStopQueuesTheRingAgainWithoutPreparingIt) {
    ASSERT_TRUE(streamer.Start());
    ASSERT_EQ(device.Play(10), 10);
    ASSERT_TRUE(streamer.Stop());
    device.TakeHeard();
    ASSERT_TRUE(streamer.Start());
    EXPECT_EQ(device.Calls(Call::PrepareHeader), 32);
    EXPECT_EQ(device.Calls(Call::Write), 42 + 32);
    EXPECT_EQ(device.Queued(), 32);
    EXPECT_EQ(streamer.LastQueued(), 31);
    // Buffers 4..13 still held fills from before; queueing cleared them, so the new run starts
    // with four silent buffers again.
    ASSERT_EQ(device.Play(6), 6);
    const std::vector<StereoFrame> heard = device.TakeHeard();
    for (std::size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(StampOf(heard, n), 0) << n;
    }
    EXPECT_EQ(StampOf(heard, 4), 11);
}

TEST_F(WaveStreamerState, CloseResetsUnpreparesClosesAndForgetsEverythingButTheRate) {
    ASSERT_TRUE(streamer.Start());
    ASSERT_EQ(device.Play(3), 3);
    streamer.Close();
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Idle);
    EXPECT_FALSE(streamer.IsOpen());
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.Calls(Call::Close), 1);
    // Buffers returned by the reset in Idle are unprepared by their notification, the rest by
    // Close: every header exactly once.
    EXPECT_EQ(device.Calls(Call::UnprepareHeader), 32);
    EXPECT_EQ(streamer.BufferAt(0), nullptr);
    EXPECT_EQ(streamer.LastQueued(), 0);
    EXPECT_EQ(streamer.Format().formatTag, 0);
    EXPECT_EQ(streamer.SampleRate(), 44100);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(WaveStreamerState, CloseTwiceMakesNoDeviceCallAndShowsNothing) {
    ASSERT_TRUE(streamer.Start());
    ASSERT_TRUE(streamer.Stop());
    streamer.Close();
    const int closed = DeviceCalls();
    streamer.Close();
    EXPECT_EQ(DeviceCalls(), closed);
    EXPECT_EQ(streamer.SampleRate(), 44100);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(WaveStreamerState, StartAfterCloseReopensAndPreparesAFreshRing) {
    ASSERT_TRUE(streamer.Start());
    ASSERT_TRUE(streamer.Stop());
    streamer.Close();
    ASSERT_TRUE(streamer.Start());
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.Calls(Call::Open), 2);
    EXPECT_EQ(device.Calls(Call::PrepareHeader), 64);
    EXPECT_EQ(device.Queued(), 32);
    ASSERT_EQ(device.Play(5), 5);
    EXPECT_EQ(streamer.Filled().back(), 8);
}

TEST_F(WaveStreamerState, ReturnWhilePausingKeepsDoneAndPreparedUntilClose) {
    ASSERT_TRUE(streamer.Start());
    device.Fail(Call::Pause, WaveErrorError);
    EXPECT_FALSE(streamer.Stop()) << "the pause failed";
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Pausing);
    // The device plays on; buffers returned while Pausing are left done and prepared.
    ASSERT_EQ(device.Play(2), 2);
    EXPECT_EQ(device.Queued(), 30);
    EXPECT_TRUE(DoneAndPrepared(streamer.HeaderAt(0)));
    EXPECT_TRUE(DoneAndPrepared(streamer.HeaderAt(1)));
    EXPECT_EQ(streamer.Fills(), 0);
    streamer.Close();
    EXPECT_EQ(device.Calls(Call::UnprepareHeader), 32);
}

TEST_F(WaveStreamerState, StartFromPausingResumesThePausedDevice) {
    ASSERT_TRUE(streamer.Start());
    device.Fail(Call::Reset, WaveErrorError);
    EXPECT_FALSE(streamer.Stop()) << "the reset failed";
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Pausing);
    EXPECT_TRUE(device.IsPaused());
    EXPECT_EQ(device.Play(3), 0) << "paused with its queue";
    ASSERT_TRUE(streamer.Start());
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Playing);
    EXPECT_EQ(device.Calls(Call::Restart), 1);
    EXPECT_EQ(device.Calls(Call::Write), 32) << "resumed, not queued again";
    ASSERT_EQ(device.Play(3), 3);
    EXPECT_EQ(streamer.Filled(), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(device.Queued(), 32);
}

TEST_F(WaveStreamerState, StartFromPausingWhoseRestartFailsQueuesAsFromStopped) {
    ASSERT_TRUE(streamer.Start());
    device.Fail(Call::Reset, WaveErrorError);
    EXPECT_FALSE(streamer.Stop());
    device.Fail(Call::Restart, WaveErrorError);
    // The headers are still with the device, so queueing header 0 again is refused.
    EXPECT_FALSE(streamer.Start());
    EXPECT_EQ(streamer.CurrentState(), WaveStreamer::Playing);
    EXPECT_EQ(device.Calls(Call::Write), 33);
    streamer.Close();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.Queued(), 0);
}

} // namespace
