#include "hearing/HearingTest.h"

#include "support/ControlIds.h"
#include "support/MainDialog.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Phase step per frame and Hz: 2*pi / 44100. Fixed, whatever rate the streamer was opened with.
constexpr double PhaseStepPerHz = 0.00014247585730565955;
constexpr double TwoPi = 6.283185307179586;

// Every tone starts just below audibility and rises until full loudness; one unit beyond it the
// tone counts as heard.
constexpr double StartAmplitude = 0.9;
constexpr double FullLoudness = 30000.0;
constexpr double AutomaticPressLevel = 30001.0;

// One sample of the tone, truncated toward zero. A tone whose press is never handled keeps
// growing by one unit per buffer; past the 16-bit range it clips rather than wrapping round
// into full-scale noise.
std::int16_t Sample(double phase, double amplitude) {
    const double value = std::sin(phase) * amplitude;
    if (value >= 32767.0) {
        return 32767;
    }
    if (value <= -32767.0) {
        return -32767;
    }
    return static_cast<std::int16_t>(static_cast<int>(value));
}

} // namespace

bool HearingTest::SilentBuffer() {
    if (held.load()) {
        return true;
    }
    // The watch follows the output through the run: a mute silences the tone from this buffer,
    // and the dialog is told once, to end the run.
    if (volumeWatch != nullptr && volumeWatch->Latest() == OutputLoudness::Silent &&
        !outputSilent.exchange(true)) {
        if (WindowHandle dialog = MainDialog()) {
            controls.PostCommand(dialog, MakeCommandParam(IdOutputSilent, 0), 0);
        }
    }
    if (outputSilent.load()) {
        return true;
    }
    std::int32_t left = silentBuffers.load();
    while (left > 0) {
        if (silentBuffers.compare_exchange_weak(left, left - 1)) {
            return true;
        }
    }
    return false;
}

void HearingTest::NoteFilled(double amplitude) {
    // This fill writes the fourth buffer from the one that starts to play now, which the
    // oldest fill in the history wrote. A new tone needs no history of its own: its level
    // starts from 0 and takes eight fills to reach 1, and by then the history holds only them.
    filled[filledNext] = amplitude;
    filledNext = (filledNext + 1) % static_cast<int>(std::size(filled));
    sounding.store(filled[filledNext]);
}

// A press stores what sounds when it arrives, not what the last fill decided, which the ear
// hears three to four buffers (70-93 ms) later. A tone that reached full loudness unheard keeps the
// level it reached, above 30001, as the mark of a tone nobody heard. A tone set back to silence (a
// modal window, a new tone) records nothing, whatever its last buffers still play.
double HearingTest::HeardLevel() const {
    const double reached = level.load();
    if (reached >= AutomaticPressLevel) {
        return reached;
    }
    return std::min(reached, sounding.load());
}

// Runs on the audio thread: no locks, nothing that waits, and the dialog is only posted to.
void HearingTest::FillBuffer(StereoFrame* frames) {
    double p = phase.load();
    const double step = PhaseStepPerHz * frequency.load();
    // This buffer plays at the level before the update, so a tone's first buffer is silent.
    double amplitude = level.load();

    bool press = false;
    if (SilentBuffer()) {
        // Held by a modal window, or in the pause after it: silence, and the tone starts again
        // from nothing.
        amplitude = 0.0;
        level.store(0.0);
    } else {
        double raised = amplitude;
        if (raised < FullLoudness) {
            if (raised < StartAmplitude) {
                raised = StartAmplitude;
            }
            raised *= growth;
            if (raised > FullLoudness) {
                raised = FullLoudness;
            }
        } else {
            raised += 1.0;
            press = raised == AutomaticPressLevel; // once per tone: later buffers pass it
        }
        // A modal window that opened meanwhile set the level back to silence; that wins.
        if (!level.compare_exchange_strong(amplitude, raised)) {
            amplitude = 0.0;
            press = false;
        }
    }

    WindowHandle dialog = MainDialog();
    if (press && dialog != nullptr && controls.IsUsable(dialog)) {
        // As if the listener had pressed "Gehört"; the dialog records the level then reached.
        controls.PostCommand(dialog, MakeCommandParam(IdHeard, 0),
                             reinterpret_cast<CommandData>(dialog));
    }

    NoteFilled(amplitude);

    const std::int32_t ears = flags.load();
    if (ears & LeftEar) {
        for (int frame = 0; frame < FramesPerBuffer; ++frame) {
            frames[frame].left = Sample(p, amplitude);
            frames[frame].right = 0;
            p += step;
        }
    } else if (ears & RightEar) {
        for (int frame = 0; frame < FramesPerBuffer; ++frame) {
            frames[frame].left = 0;
            frames[frame].right = Sample(p, amplitude);
            p += step;
        }
    }
    // With neither ear bit the buffer stays as the streamer zeroed it.

    // Within the buffer the phase runs on unreduced; reducing once per buffer keeps the sine
    // exact enough and the loop short (a few hundred steps at 12000 Hz).
    while (p > TwoPi) {
        p -= TwoPi;
    }
    phase.store(p);

    // Tells the dialog a buffer was produced; the level rides in the high word.
    if (dialog != nullptr) {
        controls.PostCommand(
            dialog, MakeCommandParam(IdLevelNotice, static_cast<int>(amplitude) & 0xFFFF), 0);
    }
}
