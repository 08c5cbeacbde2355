// Whole runs on the simulated device, judged from what the listener hears: a scripted listener
// presses "Gehört" when a tone has become loud enough for their ear at that pitch, and the test
// checks the pitches, the channel, the rise of the tone and what was stored.

#include "HearingFixture.h"

#include "fakes/SimulatedWaveOut.h"
#include "support/ControlIds.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <thread>

namespace {

constexpr int NeverHeard = 1 << 30;

// The tone index whose frequency lies within 1 % of the pitch, or -1.
int ToneAt(double hz) {
    for (int index = 0; index < HearingTest::ToneCount; ++index) {
        const double expected = HearingTest::FrequencyOf(index);
        if (std::abs(hz - expected) <= expected * 0.01) {
            return index;
        }
    }
    return -1;
}

// One tone as the listener met it.
struct HeardTone {
    std::vector<StereoFrame> frames; // from the press before it to its own press
    int tone = -1;                   // by its pitch
    double pitch = 0.0;              // measured where the tone was at least 2 units loud
    int peakAtPress = 0;             // loudness of the last buffer heard before pressing
    double levelAtPress = 0.0;
    int autoPresses = 0;
};

class WholeRun : public ::testing::Test {
protected:
    // A listener with a hearing threshold (in sample units) per pitch; NeverHeard for a pitch
    // they cannot hear, which leaves that tone to the automatic press.
    explicit WholeRun(std::map<int, int> thresholds = {}) : thresholds(std::move(thresholds)) {}

    int ThresholdFor(int tone) const {
        auto found = thresholds.find(tone);
        return found == thresholds.end() ? 100 + 37 * tone : found->second;
    }

    // Plays the tone buffer by buffer until the listener presses (by ear, or automatically at
    // full loudness as the dialog would pass it on), then presses. Returns what was heard.
    HeardTone ListenAndPress(bool left) {
        HeardTone heard;
        std::vector<std::int16_t> audible;
        for (int buffer = 0; buffer < 2000; ++buffer) {
            if (device.Play(1) != 1) {
                ADD_FAILURE() << "the device ran dry";
                break;
            }
            const std::vector<StereoFrame> part = device.TakeHeard();
            heard.frames.insert(heard.frames.end(), part.begin(), part.end());
            const std::vector<std::int16_t> partSamples = Channel(part, left);
            heard.peakAtPress = Peak(partSamples);
            // Below 2 units truncation swallows whole half-cycles of the highest tones, so
            // the pitch is taken from the louder part only.
            if (heard.peakAtPress >= 2) {
                audible.insert(audible.end(), partSamples.begin(), partSamples.end());
            }

            bool press = false;
            for (const auto& posted : controls.TakePosted()) {
                if (CommandId(posted.param) == IdHeard) {
                    ++heard.autoPresses;
                    press = true;
                }
            }
            // The listener knows the tone by its pitch once a few cycles were audible.
            if (heard.tone < 0 && heard.peakAtPress >= 2) {
                heard.tone = ToneAt(MeasuredFrequency(audible));
            }
            if (heard.tone >= 0 && heard.peakAtPress >= ThresholdFor(heard.tone)) {
                press = true;
            }
            if (press) {
                break;
            }
        }
        heard.pitch = MeasuredFrequency(audible);
        heard.levelAtPress = hearing.level.load();
        return heard;
    }

    // A whole run of one ear; the tones in the order heard.
    std::vector<HeardTone> RunEar(bool left) {
        std::vector<HeardTone> tones;
        left ? hearing.StartLeft() : hearing.StartRight();
        for (int tone = 0; tone < 12; ++tone) {
            tones.push_back(ListenAndPress(left));
            if (hearing.NextTone() == 0) {
                break;
            }
        }
        return tones;
    }

    void ExpectEarMeasured(const std::vector<HeardTone>& tones, bool left) {
        ASSERT_EQ(tones.size(), 10u);
        const std::int32_t(&stored)[PersonRecord::LevelCount] =
            left ? hearing.current.left : hearing.current.right;
        std::vector<int> seen;
        for (const HeardTone& tone : tones) {
            const int index = ToneAt(tone.pitch);
            ASSERT_GE(index, 0) << tone.pitch << " Hz is none of the ten";
            seen.push_back(index);
            const auto samples = Channel(tone.frames, left);
            const auto other = Channel(tone.frames, !left);
            EXPECT_EQ(Peak(other), 0) << "the other ear heard " << tone.pitch << " Hz";

            // Every tone begins in silence and only ever grows louder.
            EXPECT_EQ(Peak(std::vector<std::int16_t>(
                          samples.begin(), samples.begin() + HearingTest::FramesPerBuffer)),
                      0);
            int previous = 0;
            std::vector<int> peaks;
            for (std::size_t from = 0; from < samples.size();
                 from += HearingTest::FramesPerBuffer) {
                std::vector<std::int16_t> buffer(
                    samples.begin() + static_cast<std::ptrdiff_t>(from),
                    samples.begin() + static_cast<std::ptrdiff_t>(std::min(
                                          samples.size(), from + HearingTest::FramesPerBuffer)));
                const int peak = Peak(buffer);
                EXPECT_GE(peak, previous);
                previous = peak;
                peaks.push_back(peak);
            }
            // 1.5 % louder with every 1024 frames, below full loudness.
            for (std::size_t buffer = 1; buffer < peaks.size(); ++buffer) {
                if (peaks[buffer - 1] >= 1000 && peaks[buffer] < 29900) {
                    EXPECT_NEAR(static_cast<double>(peaks[buffer]) / peaks[buffer - 1], 1.015,
                                0.002)
                        << tone.pitch << " Hz, buffer " << buffer;
                }
            }

            // What is stored is the loudness that sounded at the press, truncated, plus one,
            // though the tone is computed four buffers ahead of the ear; a tone nobody heard
            // keeps the level it reached, above full loudness.
            if (tone.autoPresses == 0) {
                EXPECT_GT(stored[index], tone.peakAtPress);
                EXPECT_LE(stored[index], (tone.peakAtPress + 1) * std::pow(1.015, 2) + 1);
            } else {
                EXPECT_EQ(stored[index], static_cast<int>(tone.levelAtPress) + 1);
            }
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    }

    std::map<int, int> thresholds;
    MainDialogScope dialog;
    ScriptedPresenter presenter;
    SimulatedWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    HearingTest hearing{device, controls, clock};
};

TEST_F(WholeRun, LeftThenRightEarEachHearTheirTenTones) {
    clock.now = 777;
    const std::vector<HeardTone> left = RunEar(true);
    ExpectEarMeasured(left, true);
    EXPECT_EQ(StoredCount(hearing.current.right), 0);

    const PersonRecord afterLeft = hearing.current;
    const std::vector<HeardTone> right = RunEar(false);
    ExpectEarMeasured(right, false);
    for (int index = 0; index < 10; ++index) {
        EXPECT_EQ(hearing.current.left[index], afterLeft.left[index]);
    }
    EXPECT_TRUE(presenter.Texts().empty());
    EXPECT_FALSE(device.IsOpen()); // shut after the last tone
}

class QuietLoudListener : public WholeRun {
protected:
    // Hears the middle tones very early and the lowest and highest only when loud.
    QuietLoudListener()
        : WholeRun({{0, 20000}, {1, 6000}, {3, 3}, {4, 2}, {5, 5}, {8, 9000}, {9, 25000}}) {}
};

TEST_F(QuietLoudListener, FaintAndLoudThresholdsAreStoredAsHeard) {
    const std::vector<HeardTone> left = RunEar(true);
    ExpectEarMeasured(left, true);
    EXPECT_LT(hearing.current.left[4], 5);
    EXPECT_GT(hearing.current.left[9], 25000);
}

class DeafAtTheTop : public WholeRun {
protected:
    DeafAtTheTop() : WholeRun({{9, NeverHeard}}) {}
};

TEST_F(DeafAtTheTop, UnheardTonePressesItselfOnceAtFullLoudness) {
    const std::vector<HeardTone> tones = RunEar(true);
    ExpectEarMeasured(tones, true);
    int autoPressed = 0;
    for (const HeardTone& tone : tones) {
        if (ToneAt(tone.pitch) == 9) {
            EXPECT_EQ(tone.autoPresses, 1);
            EXPECT_LE(Peak(Channel(tone.frames, true)), 30001);
            // The ear is four buffers behind the tone's level: 30000 / 1.015^4.
            EXPECT_GE(Peak(Channel(tone.frames, true)), 28000);
            // A little over 16 s of rising tone before the press.
            EXPECT_GT(tone.frames.size(), 700u * HearingTest::FramesPerBuffer);
            ++autoPressed;
        } else {
            EXPECT_EQ(tone.autoPresses, 0);
        }
    }
    EXPECT_EQ(autoPressed, 1);
    EXPECT_GT(hearing.current.left[9], 30001);
}

TEST_F(WholeRun, ImpatientPressesCountOnlyOnceTheToneIsAudible) {
    // A listener who presses after every buffer: the presses before the sounding tone has
    // reached level 1 change nothing; the first one after stores the smallest level, 2.
    hearing.StartLeft();
    int tones = 0;
    int result = 1;
    while (result == 1 && tones < 10) {
        const int tone = hearing.toneIndex;
        int buffers = 0;
        do {
            ASSERT_EQ(device.Play(1), 1);
            ++buffers;
            result = hearing.NextTone();
        } while (result == 1 && hearing.toneIndex == tone && buffers < 100);
        EXPECT_EQ(hearing.current.left[tone], 2);
        // Four silent buffers open the ring, eight fills bring the level to 1.0138, and the
        // buffer with it starts to sound four buffers later.
        EXPECT_EQ(buffers, 12);
        EXPECT_EQ(Peak(Channel(device.TakeHeard(), true)), 0); // nothing audible was played
        ++tones;
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(tones, 10);
}

TEST(WholeRunRealTime, PressesWhileTheDeviceThreadPlays) {
    // The device plays on its own thread while this thread listens and presses, as in the
    // program; run under ThreadSanitizer this shows the two threads share state safely.
    MainDialogScope dialog;
    ScriptedPresenter presenter;
    SimulatedWaveOut device(SimulatedWaveOut::Timing::RealTime);
    device.SetBufferPeriod(std::chrono::microseconds(500));
    FakeDialogControls controls;
    VirtualClock clock;
    HearingTest hearing{device, controls, clock};

    hearing.StartLeft();
    int result = 1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (result == 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const int peak = Peak(Channel(device.TakeHeard(), true));
        bool pressed = false;
        for (const auto& posted : controls.TakePosted()) {
            pressed = pressed || CommandId(posted.param) == IdHeard; // handled as the dialog does
        }
        if (pressed || peak >= 300) {
            result = hearing.NextTone();
            device.TakeHeard(); // the rest of the tone just ended
        }
    }
    EXPECT_EQ(result, 0);
    // How far a tone rose past what was heard depends on how fast this thread is scheduled;
    // every tone was stored above what the listener had already heard.
    EXPECT_EQ(StoredCount(hearing.current.left), 10);
    for (int index = 0; index < 10; ++index) {
        EXPECT_GT(hearing.current.left[index], 300) << "tone " << index;
    }
    EXPECT_FALSE(device.IsOpen());
}

} // namespace
