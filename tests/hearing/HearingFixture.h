#pragma once

#include "audio/WaveOut.h"
#include "fakes/FakeDialogControls.h"
#include "fakes/ScriptedPresenter.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"
#include "support/MainDialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

// A device that accepts every call and never plays: the test procedure's choices, stores and
// device calls can be checked without any audio thread. Counts the calls it gets.
class QuietWaveOut : public WaveOutDevice {
public:
    unsigned Open(WaveOutHandle* device, const WaveFormat&, WaveOutCallback,
                  std::uintptr_t) override {
        ++opens;
        if (failOpen) {
            return WaveErrorAllocated;
        }
        *device = this;
        open = true;
        return WaveOk;
    }
    unsigned PrepareHeader(WaveOutHandle, WaveHeader* header) override {
        header->flags |= WaveHeaderPrepared;
        return WaveOk;
    }
    unsigned UnprepareHeader(WaveOutHandle, WaveHeader* header) override {
        header->flags &= ~WaveHeaderPrepared;
        return WaveOk;
    }
    unsigned Write(WaveOutHandle, WaveHeader* header) override {
        header->flags &= ~WaveHeaderDone;
        queued.push_back(header);
        ++writes;
        return WaveOk;
    }
    unsigned Pause(WaveOutHandle) override {
        ++pauses;
        return WaveOk;
    }
    unsigned Restart(WaveOutHandle) override { return WaveOk; }
    unsigned Reset(WaveOutHandle) override {
        // Everything queued comes back done; this device has no thread, so no notifications.
        for (WaveHeader* header : queued) {
            header->flags |= WaveHeaderDone;
        }
        queued.clear();
        ++resets;
        return WaveOk;
    }
    unsigned Close(WaveOutHandle) override {
        ++closes;
        open = false;
        queued.clear();
        return WaveOk;
    }

    std::vector<WaveHeader*> queued;
    bool failOpen = false;
    bool open = false;
    int opens = 0;
    int writes = 0;
    int pauses = 0;
    int resets = 0;
    int closes = 0;
};

// Helpers that read a HearingTest as the user would see the outcome.
inline int StoredCount(const std::int32_t (&levels)[PersonRecord::LevelCount]) {
    int stored = 0;
    for (std::int32_t value : levels) {
        stored += value != 0 ? 1 : 0;
    }
    return stored;
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
