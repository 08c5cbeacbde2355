#pragma once

#include "audio/WaveOut.h"

#include <string>
#include <vector>

// A wave-out device that accepts every call and plays nothing: written buffers stay queued until
// a reset hands them back done, as winmm does, but no notification ever arrives, so the tone
// level only moves when a test sets it. Keeps a log of the calls so a test can see whether the
// device was open when something happened.
class QuietDevice : public WaveOutDevice {
public:
    unsigned Open(WaveOutHandle* device, const WaveFormat&, WaveOutCallback,
                  std::uintptr_t) override {
        log.push_back("open");
        if (failOpen) {
            return WaveErrorBadDeviceId;
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
        return WaveOk;
    }
    unsigned Pause(WaveOutHandle) override {
        log.push_back("pause");
        return WaveOk;
    }
    unsigned Restart(WaveOutHandle) override {
        log.push_back("restart");
        return WaveOk;
    }
    unsigned Reset(WaveOutHandle) override {
        log.push_back("reset");
        for (WaveHeader* header : queued) {
            header->flags |= WaveHeaderDone;
        }
        queued.clear();
        return WaveOk;
    }
    unsigned Close(WaveOutHandle) override {
        log.push_back("close");
        open = false;
        queued.clear();
        return WaveOk;
    }

    // Buffers handed to the device and not yet returned: the device is playing while any are.
    bool Playing() const { return open && !queued.empty(); }

    bool open = false;
    bool failOpen = false;
    std::vector<WaveHeader*> queued;
    std::vector<std::string> log;
};
