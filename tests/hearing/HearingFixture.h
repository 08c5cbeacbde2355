#pragma once

#include "fakes/FakeDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/ScriptedPresenter.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"
#include "support/MainDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>

// Helpers that read a HearingTest as the user would see the outcome.
inline int StoredCount(const std::int32_t (&levels)[PersonRecord::LevelCount]) {
    int stored = 0;
    for (std::int32_t value : levels) {
        stored += value != 0 ? 1 : 0;
    }
    return stored;
}

// One channel of what was played.
inline std::vector<std::int16_t> Channel(const std::vector<StereoFrame>& frames, bool left) {
    std::vector<std::int16_t> samples;
    samples.reserve(frames.size());
    for (const StereoFrame& frame : frames) {
        samples.push_back(left ? frame.left : frame.right);
    }
    return samples;
}

// The loudest sample, as an absolute value.
inline int Peak(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (std::int16_t sample : samples) {
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

// The main dialog exists (as a token the fakes recognise) for the whole test.
class MainDialogScope {
public:
    MainDialogScope() { SetMainDialog(&token); }
    ~MainDialogScope() { SetMainDialog(nullptr); }
    WindowHandle Handle() { return &token; }

private:
    int token = 0;
};

// Rising zero crossings of one channel, at sub-sample positions: what an ear (or a tuner) would
// take the pitch from. Zero samples, frequent at low amplitude, are stepped over.
inline std::vector<double> RisingCrossings(const std::vector<std::int16_t>& samples) {
    std::vector<double> crossings;
    int lastNegative = -1;
    for (int index = 0; index < static_cast<int>(samples.size()); ++index) {
        const int value = samples[static_cast<std::size_t>(index)];
        if (value < 0) {
            lastNegative = index;
        } else if (value > 0 && lastNegative >= 0) {
            const double below = samples[static_cast<std::size_t>(lastNegative)];
            if (lastNegative == index - 1) {
                crossings.push_back(lastNegative + (-below) / (value - below));
            } else {
                crossings.push_back((lastNegative + index) / 2.0);
            }
            lastNegative = -1;
        }
    }
    return crossings;
}

// The pitch in Hz at 44100 frames per second, 0 when fewer than three cycles are present.
inline double MeasuredFrequency(const std::vector<std::int16_t>& samples) {
    const std::vector<double> crossings = RisingCrossings(samples);
    if (crossings.size() < 4) {
        return 0.0;
    }
    const double span = crossings.back() - crossings.front();
    return static_cast<double>(crossings.size() - 1) * 44100.0 / span;
}
