#pragma once

#include "audio/WaveOut.h"

#include <vector>

// A wave-out device that accepts every call and never plays: written buffers stay queued until a
// reset hands them back done, but no notification ever arrives, so a tone's level moves only when
// a test sets it. For tests of what the hearing test, the records and the dialog decide, without
// an audio thread. Counts the calls it gets.
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

    // Buffers handed to the device and not yet returned: the device plays while any are.
    bool Playing() const { return open && !queued.empty(); }

    std::vector<WaveHeader*> queued;
    bool failOpen = false;
    bool open = false;
    int opens = 0;
    int writes = 0;
    int pauses = 0;
    int resets = 0;
    int closes = 0;
};
