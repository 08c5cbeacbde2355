#include "FakeAlsaCalls.h"

#include "audio/alsa/AlsaSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

// The sink over a device of the test's own (FakeAlsaCalls): the position clock, underruns,
// suspends, a device that disappears and one that stops playing.

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

constexpr std::uint32_t SlotFrames = 1024;

struct SinkOnFake {
    FakeAlsaCalls* device = new FakeAlsaCalls;
    AlsaSink sink{"fake", std::unique_ptr<AlsaCalls>(device)};

    explicit SinkOnFake(bool canPause = true) {
        device->canPause = canPause;
        EXPECT_EQ(sink.Open(CdFormat, 4, 16384), WaveOk);
    }

    // A slot of 1024 frames whose left samples all read `stamp`.
    void Submit(int slot, std::int16_t stamp) {
        std::vector<std::int16_t> frames(2 * SlotFrames, stamp);
        ASSERT_EQ(sink.Submit(slot, reinterpret_cast<const char*>(frames.data()), 4 * SlotFrames),
                  WaveOk);
    }
    // The stamps written to the device, one per run of equal samples.
    std::vector<int> Stamps() const {
        std::vector<int> runs;
        for (std::int16_t sample : device->written) {
            if (runs.empty() || runs.back() != sample) {
                runs.push_back(sample);
            }
        }
        return runs;
    }
    bool Called(const std::string& call) const {
        return std::count(device->calls.begin(), device->calls.end(), call) > 0;
    }
};

TEST(AlsaSinkClock, ASlotFinishesOnceTheFramesWrittenMinusTheDelayReachItsEnd) {
    SinkOnFake fake;
    for (int slot = 0; slot < 4; ++slot) {
        fake.Submit(slot, static_cast<std::int16_t>(slot + 1));
    }
    // The device has room for two slots; the rest waits with the sink.
    EXPECT_EQ(fake.device->written.size(), 2048u);
    EXPECT_EQ(fake.sink.Backlog(), 2048u);
    EXPECT_FALSE(fake.sink.Finished(0));
    fake.device->Play(SlotFrames - 1);
    EXPECT_FALSE(fake.sink.Finished(0)) << "one frame of it is still in the device";
    fake.device->Play(1);
    EXPECT_TRUE(fake.sink.Finished(0));
    EXPECT_FALSE(fake.sink.Finished(1));
    EXPECT_EQ(fake.sink.Backlog(), 1024u) << "written as room freed up";

    // A delay past what was written is latency: nothing more is heard, and nothing goes back.
    fake.device->latency = 100000;
    fake.device->Play(2 * SlotFrames);
    EXPECT_TRUE(fake.sink.Finished(0));
    EXPECT_FALSE(fake.sink.Finished(1));
    // A negative delay (a device that ran dry) means everything written was heard.
    fake.device->latency = -50;
    EXPECT_TRUE(fake.sink.Finished(2));
    EXPECT_EQ(fake.Stamps(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(fake.sink.State(), AlsaSinkState::Playing);
}

TEST(AlsaSinkClock, ADeviceLeftEmptyPastIdleLimitIsPreparedAnewBeforeTheNextFrames) {
    SinkOnFake fake;
    fake.Submit(0, 1);
    EXPECT_FALSE(fake.Called("Prepare")) << "written at once after opening";
    fake.device->Play(SlotFrames);
    EXPECT_TRUE(fake.sink.Finished(0));
    std::this_thread::sleep_for(AlsaSink::IdleLimit + 20ms);
    fake.Submit(1, 2);
    EXPECT_TRUE(fake.Called("Prepare"));
    EXPECT_EQ(fake.Stamps(), (std::vector<int>{1, 2}));
    EXPECT_FALSE(fake.sink.Finished(1)) << "the new frames are still in the device";
}

TEST(AlsaSinkRecovery, AnUnderrunOrASuspendLosesWhatTheDeviceHeldAndPlaysOn) {
    SinkOnFake fake;
    fake.device->writeErrors = {-EPIPE};
    fake.Submit(0, 1);
    EXPECT_TRUE(fake.Called("Recover -32"));
    EXPECT_EQ(fake.Stamps(), (std::vector<int>{1})) << "written after the recovery";
    EXPECT_FALSE(fake.sink.Finished(0));

    // Run dry while playing: what the device held counts as heard.
    fake.device->Play(512);
    fake.device->state = SND_PCM_STATE_XRUN;
    EXPECT_TRUE(fake.sink.Finished(0));
    fake.Submit(1, 2);
    EXPECT_FALSE(fake.sink.Finished(1));

    // A suspend is met by preparing anew, never by waiting for the device to resume.
    fake.device->state = SND_PCM_STATE_SUSPENDED;
    const auto calls = fake.device->calls.size();
    EXPECT_TRUE(fake.sink.Finished(1));
    EXPECT_EQ(fake.device->calls.at(calls), "Prepare");
    fake.device->writeErrors = {-ESTRPIPE};
    fake.Submit(2, 3);
    EXPECT_EQ(fake.Stamps(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(fake.sink.State(), AlsaSinkState::Playing);
}

TEST(AlsaSinkRecovery, ADeviceThatDisappearsFinishesNoSlotAndTheNextOpenFails) {
    SinkOnFake fake;
    fake.Submit(0, 1);
    fake.device->writeErrors = {-ENODEV};
    fake.device->openError = -ENODEV;
    fake.Submit(1, 2);
    EXPECT_EQ(fake.sink.State(), AlsaSinkState::Lost);
    EXPECT_FALSE(fake.device->open);
    // Nothing plays, so nothing finishes: the level must not rise unheard, and the look-ahead
    // device's watch reports the stall. No call waits meanwhile.
    const auto began = Steady::now();
    while (Steady::now() - began < 200ms) {
        EXPECT_FALSE(fake.sink.Finished(1));
        fake.sink.Wait(20);
    }
    EXPECT_LT(Steady::now() - began, 1s);

    // A reset drops everything and tries the device again; it is still gone.
    EXPECT_EQ(fake.sink.Reset(), WaveOk);
    EXPECT_TRUE(fake.sink.Finished(1));
    fake.Submit(2, 3);
    EXPECT_EQ(fake.device->opens, 1);
    EXPECT_EQ(fake.sink.State(), AlsaSinkState::Lost);
    EXPECT_FALSE(fake.sink.Finished(2));
    EXPECT_EQ(fake.sink.Close(), WaveOk);
    // The next tone's Open reports it: the box "-30 = Ungültige Geräte-ID".
    EXPECT_EQ(fake.sink.Open(CdFormat, 4, 16384), WaveErrorBadDeviceId);

    SinkOnFake unplugged;
    unplugged.Submit(0, 1);
    unplugged.device->state = SND_PCM_STATE_DISCONNECTED;
    EXPECT_FALSE(unplugged.sink.Finished(0));
    EXPECT_EQ(unplugged.sink.State(), AlsaSinkState::Lost);
}

TEST(AlsaSinkStall, ADeviceThatStopsPlayingFinishesNoSlotAndIsGivenItsFramesAgain) {
    SinkOnFake fake;
    fake.device->room = 8192;
    for (int slot = 0; slot < 4; ++slot) {
        fake.Submit(slot, static_cast<std::int16_t>(slot + 1));
    }
    // It holds the frames, says it runs, and plays none of them: no slot may finish, so that the
    // look-ahead device's watch sees the stall, and no call may wait for the device.
    const auto began = Steady::now();
    while (Steady::now() - began < AlsaSink::StuckLimit + 150ms) {
        const auto call = Steady::now();
        EXPECT_FALSE(fake.sink.Finished(0));
        fake.sink.Wait(20);
        ASSERT_LT(Steady::now() - call, 200ms);
    }
    // It was dropped and given the frames not heard again, in order.
    EXPECT_TRUE(fake.Called("Drop"));
    const std::vector<int> stamps = fake.Stamps();
    ASSERT_GE(stamps.size(), 8u);
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        EXPECT_EQ(stamps[i], static_cast<int>(i % 4) + 1) << i;
    }
    // Once it plays again, the slots finish.
    fake.device->Play(4 * SlotFrames);
    EXPECT_TRUE(fake.sink.Finished(3));

    // A latency longer than StuckLimit is no stop while the delay keeps falling.
    SinkOnFake slow;
    slow.device->latency = 44100; // a second
    slow.Submit(0, 1);
    const auto start = Steady::now();
    while (Steady::now() - start < AlsaSink::StuckLimit * 2) {
        slow.device->latency -= 441;
        EXPECT_FALSE(slow.sink.Finished(0));
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(slow.Called("Drop"));
}

TEST(AlsaSinkStall, ADeviceThatTakesNoFramesIsOpenedAgainButNothingCountsAsHeard) {
    SinkOnFake fake;
    fake.device->room = 0;
    fake.Submit(0, 1);
    const auto began = Steady::now();
    while (fake.device->opens < 2 && Steady::now() - began < 5s) {
        EXPECT_FALSE(fake.sink.Finished(0));
        fake.sink.Wait(20);
    }
    EXPECT_EQ(fake.device->opens, 2) << "closed after refusing frames, opened for the next ones";
    EXPECT_GE(Steady::now() - began, AlsaSink::StallLimit);
    EXPECT_FALSE(fake.sink.Finished(0));
    EXPECT_EQ(fake.sink.Backlog(), SlotFrames);
}

TEST(AlsaSinkState, PauseHoldsTheDeviceOrWritesTheFramesNotHeardAgain) {
    SinkOnFake fake;
    fake.Submit(0, 1);
    fake.Submit(1, 2);
    ASSERT_EQ(fake.sink.Pause(), WaveOk);
    EXPECT_EQ(fake.sink.State(), AlsaSinkState::Paused);
    ASSERT_EQ(fake.sink.Restart(), WaveOk);
    EXPECT_TRUE(fake.Called("Resume"));

    // Without ALSA's pause: dropped, and what was not heard is written again on Restart.
    SinkOnFake plain(false);
    plain.Submit(0, 1);
    plain.Submit(1, 2);
    plain.device->Play(SlotFrames);
    ASSERT_EQ(plain.sink.Pause(), WaveOk);
    EXPECT_EQ(plain.sink.State(), AlsaSinkState::Held);
    plain.Submit(2, 3);
    EXPECT_FALSE(plain.sink.Finished(2)) << "held while paused";
    ASSERT_EQ(plain.sink.Restart(), WaveOk);
    EXPECT_EQ(plain.Stamps(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(plain.device->written.size(), 4 * SlotFrames) << "slot 1 again, then slot 2";
    EXPECT_TRUE(plain.sink.Finished(0));
    EXPECT_FALSE(plain.sink.Finished(1));
}

} // namespace
