#include "CopyingSink.h"
#include "StreamerFixture.h"

#include "audio/LookaheadWaveOut.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <vector>

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
    // The look-ahead thread drops the platform's copies right after.
    EXPECT_TRUE(Eventually([&] { return sink->Held() == 0; }));
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
    ASSERT_TRUE(Eventually([&] { return sink->Paused(); }));
    EXPECT_EQ(sink->Advance(2), 0);
    ASSERT_EQ(device.Restart(&device), WaveOk);
    ASSERT_TRUE(Eventually([&] { return !sink->Paused(); }));
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

// A sound server that stops answering leaves the look-ahead thread inside a platform call; the
// calls of the window must still return at once, or within the bounds the device names.
namespace {

// Registered with the device directly: counts the notifications by kind.
struct Listener {
    static void Callback(WaveOutHandle, unsigned message, std::uintptr_t instance, std::uintptr_t,
                         std::uintptr_t) {
        auto* self = reinterpret_cast<Listener*>(instance);
        (message == WaveMessageStalled ? self->stalls : self->dones) += 1;
    }
    std::uintptr_t Instance() { return reinterpret_cast<std::uintptr_t>(this); }
    std::atomic<int> dones{0};
    std::atomic<int> stalls{0};
};

template <typename Call> std::chrono::milliseconds TimeOf(Call call) {
    const auto began = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 began);
}

constexpr WaveFormat Stereo16{WaveFormatPcm, 2, 44100, 176400, 4, 16, 0};

TEST(LookaheadDeviceHang, AStallIsReportedOnceAndNoCallWaitsForTheHungPlatform) {
    auto* sink = new CopyingSink;
    LookaheadWaveOut device{std::unique_ptr<PcmSink>(sink)};
    Listener listener;
    WaveOutHandle handle = nullptr;
    ASSERT_EQ(device.Open(&handle, Stereo16, &Listener::Callback, listener.Instance()), WaveOk);
    std::vector<char> memory(8 * 4096);
    WaveHeader headers[8] = {};
    for (int i = 0; i < 8; ++i) {
        headers[i].data = memory.data() + i * 4096;
        headers[i].bufferLength = 4096;
        ASSERT_EQ(device.PrepareHeader(handle, &headers[i]), WaveOk);
        ASSERT_EQ(device.Write(handle, &headers[i]), WaveOk);
    }
    ASSERT_TRUE(Eventually([&] { return sink->Held() == 4; }));
    sink->Hang(CopyingSink::Call::Finished);
    ASSERT_TRUE(Eventually([&] { return sink->Hanging(); }));

    // A paused device that plays nothing has not stalled.
    EXPECT_LT(TimeOf([&] { EXPECT_EQ(device.Pause(handle), WaveOk); }), 100ms);
    std::this_thread::sleep_for(2300ms);
    EXPECT_EQ(listener.stalls, 0);
    const auto restarted = std::chrono::steady_clock::now();
    EXPECT_LT(TimeOf([&] { EXPECT_EQ(device.Restart(handle), WaveOk); }), 100ms);
    ASSERT_TRUE(Eventually([&] { return listener.stalls == 1; }));
    const auto stalledAfter = std::chrono::steady_clock::now() - restarted;
    EXPECT_GE(stalledAfter, 1900ms);
    EXPECT_LT(stalledAfter, 3000ms);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(listener.stalls, 1) << "once per stall";
    EXPECT_EQ(listener.dones, 0);

    // The platform holds only copies: Reset hands every buffer back without it.
    EXPECT_LT(TimeOf([&] { EXPECT_EQ(device.Reset(handle), WaveOk); }), 100ms);
    EXPECT_EQ(listener.dones, 8);
    for (const WaveHeader& header : headers) {
        EXPECT_EQ(header.flags, WaveHeaderDone | WaveHeaderPrepared);
    }
    const auto closing = TimeOf([&] { device.Close(handle); });
    EXPECT_GE(closing, 900ms);
    EXPECT_LT(closing, 1600ms);
    EXPECT_TRUE(device.Occupied());
    EXPECT_EQ(device.Open(&handle, Stereo16, &Listener::Callback, listener.Instance()),
              WaveErrorAllocated);

    // The server answers again: the thread closes the platform and the device plays again.
    sink->Answer();
    ASSERT_TRUE(Eventually([&] { return !device.Occupied(); }));
    EXPECT_FALSE(sink->IsOpen());
    ASSERT_EQ(device.Open(&handle, Stereo16, &Listener::Callback, listener.Instance()), WaveOk);
    ASSERT_EQ(device.Write(handle, &headers[0]), WaveOk);
    ASSERT_TRUE(Eventually([&] { return sink->Held() == 1; }));
    EXPECT_EQ(sink->Advance(1), 1);
    EXPECT_TRUE(Eventually([&] { return listener.dones == 9; }));
}

TEST(LookaheadDeviceHang, StopAndCloseReturnWhereverThePlatformHangs) {
    using Hang = CopyingSink::Call;
    for (Hang call : {Hang::Finished, Hang::Reset, Hang::Close}) {
        SCOPED_TRACE(static_cast<int>(call));
        ScriptedPresenter presenter;
        auto* sink = new CopyingSink;
        LookaheadWaveOut device{std::unique_ptr<PcmSink>(sink)};
        StampingStreamer streamer(device);
        ASSERT_TRUE(streamer.Start());
        ASSERT_TRUE(Eventually([&] { return sink->Held() == 4; }));
        sink->Hang(call);
        if (call == Hang::Finished) {
            ASSERT_TRUE(Eventually([&] { return sink->Hanging(); }));
        }
        EXPECT_LT(TimeOf([&] { EXPECT_TRUE(streamer.Stop()); }), 200ms);
        for (int i = 0; i < 32; ++i) {
            EXPECT_EQ(streamer.HeaderAt(i).flags & (WaveHeaderDone | WaveHeaderInQueue),
                      WaveHeaderDone)
                << i;
        }
        EXPECT_LT(TimeOf([&] { streamer.Close(); }), 1600ms);
        EXPECT_TRUE(sink->Hanging());

        sink->Answer();
        ASSERT_TRUE(Eventually([&] { return !device.Occupied(); }));
        ASSERT_TRUE(streamer.Start());
        ASSERT_TRUE(Eventually([&] { return sink->Held() == 4; }));
        EXPECT_EQ(sink->Advance(1), 1);
        EXPECT_TRUE(Eventually([&] { return streamer.Fills() == 1; }));
        EXPECT_EQ(presenter.Count(), 0u);
    }
}

TEST(LookaheadDeviceHang, AnOpenThatGetsNoAnswerEndsInTheErrorBox) {
    ScriptedPresenter presenter;
    auto* sink = new CopyingSink;
    sink->Hang(CopyingSink::Call::Open);
    LookaheadWaveOut device{std::unique_ptr<PcmSink>(sink)};
    std::unique_ptr<StampingStreamer> streamer;
    const auto opening = TimeOf([&] { streamer = std::make_unique<StampingStreamer>(device); });
    EXPECT_GE(opening, std::chrono::milliseconds(LookaheadWaveOut::OpenMilliseconds - 100));
    EXPECT_LT(opening, std::chrono::milliseconds(LookaheadWaveOut::OpenMilliseconds + 500));
    ASSERT_EQ(presenter.Count(), 1u);
    EXPECT_EQ(presenter.Texts()[0], "Wave-Ausgabeger\xE4t konnte nicht ge\xF6"
                                    "ffnet werden!\r\n-28 = Das Ger\xE4t wird benutzt");

    sink->Answer();
    ASSERT_TRUE(Eventually([&] { return !device.Occupied(); }));
    EXPECT_FALSE(sink->IsOpen()) << "what opened too late was closed";
    ASSERT_TRUE(streamer->Start());
    EXPECT_TRUE(Eventually([&] { return sink->Held() == 4; }));
    streamer.reset();
}

} // namespace
