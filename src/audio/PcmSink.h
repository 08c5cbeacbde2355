#pragma once

#include "audio/WaveOut.h"

#include <cstdint>

// A platform's PCM output that copies each buffer when it is submitted (winmm under Wine, ALSA).
// LookaheadWaveOut drives it from one thread of its own (the look-ahead thread): it submits
// copies into a few slots and asks whether each slot has finished. Results are winmm result
// codes.
//
// Threads: every call but Wake is made on the look-ahead thread, one at a time, and may block
// for as long as the platform does (a hung sound server): nobody waits for it but that thread.
// Wake comes from any thread at any time, also while another call runs, and must never wait
// for the platform. A new look-ahead thread starts with each Open; a sink whose thread was left
// behind in a hung call is not called again by anyone else.
class PcmSink {
public:
    virtual ~PcmSink() = default;

    // Opens the platform's default device with `slots` slots of up to `slotBytes` bytes each.
    virtual unsigned Open(const WaveFormat& format, int slots, std::uint32_t slotBytes) = 0;
    // Copies `bytes` bytes into the slot and queues them behind everything submitted before.
    virtual unsigned Submit(int slot, const char* data, std::uint32_t bytes) = 0;
    // Whether the platform has finished with the slot submitted last into it.
    virtual bool Finished(int slot) = 0;
    virtual unsigned Pause() = 0;
    virtual unsigned Restart() = 0;
    // Drops everything submitted: every slot counts as finished afterwards.
    virtual unsigned Reset() = 0;
    // Closes the device; nothing submitted is read afterwards.
    virtual unsigned Close() = 0;

    // Blocks until a slot may have finished, Wake was called, or `milliseconds` have passed.
    virtual void Wait(unsigned milliseconds) = 0;
    virtual void Wake() = 0;

    // Called once at the start of each look-ahead thread, before Open, within Open's time
    // bound: raises the thread's scheduling priority as the platform allows, so that a busy
    // machine does not starve the output. The thread ends after Close (or a failed Open).
    virtual void PromoteThread() {}
};
