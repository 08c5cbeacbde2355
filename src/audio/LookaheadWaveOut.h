#pragma once

#include "audio/PcmSink.h"
#include "audio/WaveOut.h"

#include <cstdint>
#include <memory>
#include <thread>

// A wave-out device over a platform that copies buffers when they are handed to it.
//
// Writing into a queued buffer is only heard on a device that reads it late; winmm under Wine
// and ALSA copy a buffer four or five buffers before it plays. So this device keeps the whole
// queue on its own side, in the order written, and submits a copy of a buffer to the platform
// only when fewer than `Ahead` are with it: after the notification of the buffer `Ahead` places
// before it, which is the one on which the streamer fills it. The streamer above still sees a
// queue as deep as it writes, one WOM_DONE per buffer in order, pause, restart, and a reset that
// hands back every queued buffer.
//
// The platform may hang: a sound server that stops answering keeps a call into it waiting for
// as long as it is stopped. So every call into the platform but Wake is made by one thread of
// this device (the look-ahead thread), never with a lock held that another thread takes, and
// the calls of the user-interface thread never wait for that thread:
// - Pause, Restart and Reset record what is wanted and wake the thread, which tells the
//   platform. Reset hands the queued buffers back itself, on the calling thread, since the
//   platform only holds copies of them; the thread drops those copies before it submits more.
//   So a few buffers' worth may still be heard after Reset returned.
// - Open starts the thread, which opens the platform; Open waits OpenMilliseconds for that and
//   otherwise gives up with WaveErrorAllocated, leaving the thread to close what it opens late.
// - Close waits CloseMilliseconds for the thread to close the platform. A thread that is still
//   inside the platform then is left behind with the platform and the little it uses (both
//   shared with it, so they outlive this object): the platform is hung or the process is
//   ending, and waiting would freeze the window; freeing what the thread still uses would crash.
//   It closes the platform and ends if the platform ever answers; until then Open answers
//   WaveErrorAllocated.
// A second thread (the watch) sends WaveMessageStalled when buffers are queued, the device is
// not paused, and none has come back for StallMilliseconds. It never calls the platform, so it
// sends it while the look-ahead thread is stuck inside a call.
//
// Notifications go out with no lock of this device held, one at a time, so a notification may
// call Write, PrepareHeader and UnprepareHeader. Reset and Close wait for a notification under
// way and must not be called from inside one.
//
// The look-ahead thread is promoted by the platform (PcmSink::PromoteThread) and, while it
// plays, allocates nothing and holds the device's lock only for bookkeeping and one copy of a
// buffer: the queue is a fixed ring and the copy's memory is allocated by the constructor.
class LookaheadWaveOut : public WaveOutDevice {
public:
    // Four buffers with the platform at a time played without a gap under Wine; three did not.
    // More is not possible: the streamer fills the buffer four places behind the one returned,
    // so a fifth buffer would be handed over before the notification that fills it (tried: with
    // eight, only silence was heard).
    static constexpr int Ahead = 4;
    static constexpr std::uint32_t SlotBytes = 16384;
    // Buffers written and not yet returned at most; Write refuses more (the streamer has 32).
    static constexpr int QueueCapacity = 64;
    // A server that takes longer to open a stream than this is taken as not answering.
    static constexpr unsigned OpenMilliseconds = 1500;
    // Closing the window during a hang must end the program within two seconds.
    static constexpr unsigned CloseMilliseconds = 1000;

    explicit LookaheadWaveOut(std::unique_ptr<PcmSink> sink);
    ~LookaheadWaveOut() override;
    LookaheadWaveOut(const LookaheadWaveOut&) = delete;
    LookaheadWaveOut& operator=(const LookaheadWaveOut&) = delete;

    unsigned Open(WaveOutHandle* device, const WaveFormat& format, WaveOutCallback callback,
                  std::uintptr_t instance) override;
    unsigned PrepareHeader(WaveOutHandle device, WaveHeader* header) override;
    unsigned UnprepareHeader(WaveOutHandle device, WaveHeader* header) override;
    unsigned Write(WaveOutHandle device, WaveHeader* header) override;
    unsigned Pause(WaveOutHandle device) override;
    unsigned Restart(WaveOutHandle device) override;
    unsigned Reset(WaveOutHandle device) override;
    unsigned Close(WaveOutHandle device) override;

    // Buffers written and not yet returned; and how many of them are with the platform.
    int Queued() const;
    int Submitted() const;
    // Whether a look-ahead thread still holds the platform while the device is closed: one left
    // behind in a hung platform, or one that closes it. Open answers WaveErrorAllocated then.
    bool Occupied() const;

private:
    struct Core; // what the threads share; see LookaheadWaveOut.cpp

    std::shared_ptr<Core> core;
    std::thread lookahead; // only the calling (user-interface) thread touches these two
    std::thread watch;
};
