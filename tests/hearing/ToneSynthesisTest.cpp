// The tone synthesis, one buffer at a time: what the listener hears from each buffer, how the
// loudness rises, and what the dialog is told.

#include "HearingFixture.h"

#include "support/ControlIds.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

using Buffer = std::vector<StereoFrame>;

class ToneSynthesis : public ::testing::Test {
protected:
    ToneSynthesis() {
        hearing.flags = HearingTest::LeftEar | HearingTest::Unsaved;
        hearing.frequency = 1000.0;
    }

    // One buffer as the streamer hands it over: already zeroed.
    Buffer Fill() {
        Buffer frames(HearingTest::FramesPerBuffer, StereoFrame{0, 0});
        hearing.FillBuffer(frames.data());
        return frames;
    }

    std::vector<FakeDialogControls::Posted> PostedWithId(int id) {
        std::vector<FakeDialogControls::Posted> matching;
        for (const auto& posted : controls.TakePosted()) {
            if (CommandId(posted.param) == id) {
                matching.push_back(posted);
            }
        }
        return matching;
    }

    MainDialogScope dialog;
    ScriptedPresenter presenter;
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    HearingTest hearing{device, controls, clock};
};

TEST_F(ToneSynthesis, ToneBeginsSilentAndFirstSoundsInItsNinthBuffer) {
    for (int buffer = 1; buffer <= 8; ++buffer) {
        EXPECT_EQ(Peak(Channel(Fill(), true)), 0) << "buffer " << buffer;
    }
    // 0.9 * 1.015^7 is still below 1, 0.9 * 1.015^8 just above.
    EXPECT_GE(hearing.level.load(), 1.0);
    EXPECT_EQ(Peak(Channel(Fill(), true)), 1);
}

TEST_F(ToneSynthesis, LoudnessRisesOnePointFivePercentPerBufferUpToFullLoudness) {
    std::vector<int> peaks;
    int fills = 0;
    while (hearing.level.load() < 30000.0 && fills < 2000) {
        const double before = hearing.level.load();
        peaks.push_back(Peak(Channel(Fill(), true)));
        ++fills;
        const double after = hearing.level.load();
        if (before >= 0.9 && after < 30000.0) {
            ASSERT_NEAR(after / before, 1.015, 1e-12) << "fill " << fills;
        }
    }
    // From 0.9 to 30000 in 700 buffers, a little over 16 seconds of sound.
    EXPECT_EQ(fills, 700);
    EXPECT_EQ(hearing.level.load(), 30000.0);

    // What the listener hears grows by the same factor from each buffer to the next.
    for (std::size_t index = 1; index < peaks.size(); ++index) {
        if (peaks[index - 1] >= 1000) {
            EXPECT_NEAR(static_cast<double>(peaks[index]) / peaks[index - 1], 1.015, 0.002)
                << "buffer " << index;
        }
    }
    EXPECT_LE(peaks.back(), 30000);
    EXPECT_GT(peaks.back(), 29000);
}

TEST_F(ToneSynthesis, UnheardTonePressesHeardExactlyOnceAtFullLoudness) {
    hearing.level = 29990.0; // one buffer below full loudness
    for (int fill = 0; fill < 700; ++fill) {
        if (hearing.level.load() >= 30000.0) {
            break;
        }
        Fill();
    }
    ASSERT_EQ(hearing.level.load(), 30000.0);
    EXPECT_TRUE(PostedWithId(IdHeard).empty());

    // This buffer still plays at 30000; its update makes 30001 and presses "Gehört".
    EXPECT_LE(Peak(Channel(Fill(), true)), 30000);
    EXPECT_EQ(hearing.level.load(), 30001.0);
    auto presses = PostedWithId(IdHeard);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].window, dialog.Handle());
    EXPECT_EQ(presses[0].data, reinterpret_cast<CommandData>(dialog.Handle()));

    // Until the press is handled the tone keeps growing one unit per buffer, without pressing
    // again.
    int previousPeak = 0;
    for (int fill = 0; fill < 50; ++fill) {
        const int peak = Peak(Channel(Fill(), true));
        EXPECT_GE(peak, previousPeak);
        previousPeak = peak;
    }
    EXPECT_GE(previousPeak, 30045);
    EXPECT_EQ(hearing.level.load(), 30051.0);
    EXPECT_TRUE(PostedWithId(IdHeard).empty());
}

TEST_F(ToneSynthesis, AutomaticPressOnlyReachesAUsableDialog) {
    // A dialog that is not a valid, visible window gets no press, and the moment passes.
    controls.SetUsable(false);
    hearing.level = 30000.0;
    Fill();
    EXPECT_EQ(hearing.level.load(), 30001.0);
    EXPECT_TRUE(PostedWithId(IdHeard).empty());
    controls.SetUsable(true);
    Fill();
    EXPECT_TRUE(PostedWithId(IdHeard).empty());

    // Without a main dialog nothing is posted at all.
    SetMainDialog(nullptr);
    hearing.level = 30000.0;
    Fill();
    EXPECT_EQ(hearing.level.load(), 30001.0);
    EXPECT_EQ(controls.PostedCount(), 0u);
}

TEST_F(ToneSynthesis, EveryBufferTellsTheDialogTheLevelItPlayedAt) {
    const double levels[] = {0.0, 1234.9, 30001.0, 70000.5};
    for (double level : levels) {
        hearing.level = level;
        Fill();
        const auto posted = controls.TakePosted();
        ASSERT_EQ(posted.size(), 1u) << level;
        EXPECT_EQ(posted[0].window, dialog.Handle());
        EXPECT_EQ(CommandId(posted[0].param), IdLevelNotice);
        EXPECT_EQ(CommandCode(posted[0].param), static_cast<int>(level) & 0xFFFF) << level;
        EXPECT_EQ(posted[0].data, 0);
    }
}

TEST_F(ToneSynthesis, SamplesAreTruncatedTowardZero) {
    // At an amplitude of 1.5 truncation gives -1, 0 and 1; rounding would reach 2 and -2.
    hearing.level = 1.5;
    const auto samples = Channel(Fill(), true);
    const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
    EXPECT_EQ(*low, -1);
    EXPECT_EQ(*high, 1);
}

TEST_F(ToneSynthesis, OnlyTheEarUnderTestHearsTheTone) {
    hearing.level = 5000.0;
    Buffer left = Fill();
    EXPECT_GT(Peak(Channel(left, true)), 4900);
    EXPECT_EQ(Peak(Channel(left, false)), 0);

    hearing.flags = HearingTest::RightEar | HearingTest::Unsaved;
    Buffer right = Fill();
    EXPECT_EQ(Peak(Channel(right, true)), 0);
    EXPECT_GT(Peak(Channel(right, false)), 4900);

    // With no ear under test (a stored record was picked during a run) the tone is silent but
    // goes on rising, and the dialog still hears of every buffer.
    hearing.flags = 0;
    const double phaseBefore = hearing.phase.load();
    const double levelBefore = hearing.level.load();
    controls.TakePosted();
    Buffer silent = Fill();
    EXPECT_EQ(Peak(Channel(silent, true)), 0);
    EXPECT_EQ(Peak(Channel(silent, false)), 0);
    EXPECT_EQ(hearing.phase.load(), phaseBefore);
    EXPECT_NEAR(hearing.level.load(), levelBefore * 1.015, 1e-9);
    EXPECT_EQ(controls.PostedCount(), 1u);
}

TEST_F(ToneSynthesis, EveryFrequencySoundsAtItsPitchWithoutJumpsBetweenBuffers) {
    for (int index = 0; index < HearingTest::ToneCount; ++index) {
        const double hz = HearingTest::FrequencyOf(index);
        hearing.frequency = hz;
        hearing.level = 2000.0;
        hearing.phase = 0.0;
        std::vector<std::int16_t> samples;
        for (int buffer = 0; buffer < 30; ++buffer) {
            const auto part = Channel(Fill(), true);
            samples.insert(samples.end(), part.begin(), part.end());
            const double phase = hearing.phase.load();
            EXPECT_GE(phase, 0.0);
            EXPECT_LE(phase, 6.283185307179586);
        }
        EXPECT_NEAR(MeasuredFrequency(samples), hz, hz * 0.001) << hz << " Hz";

        // A sine changes by at most 2 * amplitude * sin(step / 2) from one frame to the next;
        // at a buffer boundary the amplitude also steps up by 1.5 %. A phase that was not
        // carried over from buffer to buffer would jump further.
        const double step = hz * 6.283185307179586 / 44100.0;
        const double maxStep = std::sin(std::min(step / 2.0, 1.5707963267948966));
        double amplitude = 2000.0;
        for (std::size_t frame = 1; frame < samples.size(); ++frame) {
            double allowed = 2.0 * amplitude * maxStep + 2.0;
            if (frame % HearingTest::FramesPerBuffer == 0) {
                allowed += amplitude * 0.015;
                amplitude *= 1.015;
            }
            const int change = std::abs(samples[frame] - samples[frame - 1]);
            ASSERT_LE(change, allowed) << hz << " Hz, frame " << frame;
        }
    }
}

TEST_F(ToneSynthesis, ToneLeftUnansweredClipsInsteadOfWrappingRound) {
    // Far past the automatic press, beyond 16 bits: the samples stay at the top of the range
    // with the sign of the sine, so the pitch and the channel stay as they were.
    hearing.level = 40000.0;
    std::vector<std::int16_t> samples;
    for (int buffer = 0; buffer < 10; ++buffer) {
        const auto part = Channel(Fill(), true);
        samples.insert(samples.end(), part.begin(), part.end());
    }
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 32767);
    EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), -32767);
    EXPECT_NEAR(MeasuredFrequency(samples), 1000.0, 1.0);
}

} // namespace
