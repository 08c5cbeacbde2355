#pragma once

#include "audio/WaveOut.h"

#include <cstdint>

// A platform's PCM output that copies each buffer when it is submitted (winmm under Wine, ALSA).
// LookaheadWaveOut drives it from one thread of its own: it submits copies into a few slots and
// asks whether each slot has finished. Results are winmm result codes.
//
// Threads: Wait and Finished are called only from that thread; Wake from any thread; the other
// calls from either thread, never two at once (the caller holds its lock around them).
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
};
