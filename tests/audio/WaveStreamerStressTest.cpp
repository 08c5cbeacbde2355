#include "StreamerFixture.h"

#include <chrono>
#include <random>
#include <thread>

// Hundreds of Start/Stop/Close cycles while a real-time device delivers notifications on its
// own thread. Run under ThreadSanitizer these show that the threads share nothing unguarded;
// under AddressSanitizer that no notification touches a released block. Each cycle also checks
// what was heard: the ring must come out intact however the two threads met.

namespace {

using namespace std::chrono_literals;

// A fast device: one buffer every 200 microseconds.
constexpr auto FastPeriod = std::chrono::microseconds(200);
constexpr int Cycles = 300;

// FillBuffer reads the streamer's own accessors, as a derived class may.
class InspectingStreamer : public StampingStreamer {
public:
    using StampingStreamer::StampingStreamer;
    ~InspectingStreamer() { Close(); }
    void FillBuffer(StereoFrame* frames) override {
        if (CurrentState() != Playing || LastQueued() < 0 || !IsOpen()) {
            wrongState.store(true);
        }
        StampingStreamer::FillBuffer(frames);
    }
    std::atomic<bool> wrongState{false};
};

// What one run from Start to Stop or Close sounds like: four silent buffers, then one fill
// after another, each heard exactly once. Stop and Close set the state before they reach the
// device, which plays on meanwhile; buffers returned in between are not refilled, so a run may
// end in silence, but never in old or repeated content.
void ExpectIntactRun(const std::vector<StereoFrame>& heard, int cycle) {
    ASSERT_EQ(heard.size() % WaveStreamer::FramesPerBuffer, 0u);
    const std::size_t buffers = heard.size() / WaveStreamer::FramesPerBuffer;
    int previous = 0;
    bool fellSilent = false;
    for (std::size_t n = 0; n < buffers; ++n) {
        const int stamp = StampOf(heard, n);
        ASSERT_GE(stamp, 0) << "cycle " << cycle << " buffer " << n << " mixes two fills";
        if (n < 4) {
            ASSERT_EQ(stamp, 0) << "cycle " << cycle << " buffer " << n;
        } else if (fellSilent || stamp == 0) {
            fellSilent = true;
            ASSERT_EQ(stamp, 0) << "cycle " << cycle << " buffer " << n << " after the tail";
        } else if (n > 4) {
            ASSERT_EQ(stamp, previous + 1) << "cycle " << cycle << " buffer " << n;
        }
        previous = stamp;
    }
}

class WaveStreamerStress : public ::testing::Test {
protected:
    WaveStreamerStress() { device.SetBufferPeriod(FastPeriod); }

    void Pause(std::mt19937& random) {
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    }

    ScriptedPresenter presenter;
    SimulatedWaveOut device{SimulatedWaveOut::Timing::RealTime};
    InspectingStreamer streamer{device};
    std::mt19937 random{20240601};
};

TEST_F(WaveStreamerStress, StartStopCloseCyclesWhileNotificationsArrive) {
    int played = 0;
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        ASSERT_TRUE(streamer.Start());
        Pause(random);
        ASSERT_TRUE(streamer.Stop());
        ASSERT_EQ(device.Queued(), 0);
        streamer.Close();
        ASSERT_FALSE(device.IsOpen());
        const std::vector<StereoFrame> heard = device.TakeHeard();
        played += static_cast<int>(heard.size() / WaveStreamer::FramesPerBuffer);
        ExpectIntactRun(heard, cycle);
    }
    EXPECT_GT(played, Cycles / 10) << "notifications did arrive during the cycles";
    EXPECT_FALSE(streamer.wrongState.load());
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(WaveStreamerStress, CloseStraightFromPlayingWhileNotificationsArrive) {
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        ASSERT_TRUE(streamer.Start());
        Pause(random);
        streamer.Close();
        ASSERT_FALSE(device.IsOpen());
        ExpectIntactRun(device.TakeHeard(), cycle);
    }
    // Every header was unprepared exactly once per cycle, by a notification or by Close.
    EXPECT_EQ(device.Calls(Call::UnprepareHeader), Cycles * 32);
    EXPECT_FALSE(streamer.wrongState.load());
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(WaveStreamerStress, StopAndStartWithoutCloseKeepTheRingWhole) {
    for (int cycle = 0; cycle < Cycles; ++cycle) {
        ASSERT_TRUE(streamer.Start());
        Pause(random);
        ASSERT_TRUE(streamer.Stop());
        ExpectIntactRun(device.TakeHeard(), cycle);
    }
    EXPECT_EQ(device.Calls(Call::PrepareHeader), 32) << "prepared once, queued many times";
    streamer.Close();
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST(WaveStreamerTeardown, DestroyingAPlayingStreamerStopsEveryNotificationFirst) {
    ScriptedPresenter presenter;
    SimulatedWaveOut device(SimulatedWaveOut::Timing::RealTime);
    device.SetBufferPeriod(FastPeriod);
    std::mt19937 random(7);
    for (int cycle = 0; cycle < 100; ++cycle) {
        {
            InspectingStreamer streamer(device);
            ASSERT_TRUE(streamer.Start());
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        }
        ASSERT_FALSE(device.IsOpen());
        ASSERT_EQ(device.Queued(), 0);
    }
    EXPECT_GT(device.Notifications(), 100);
}

} // namespace
