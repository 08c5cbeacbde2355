#pragma once

#include "audio/PcmSink.h"
#include "audio/WaveOut.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
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
// One thread of its own, started by Open and ended by Close, submits copies, watches the
// platform's slots and sends the notifications. The platform is never called from inside a
// notification of the platform; notifications go out with no lock of this device held, so a
// notification may call Write, PrepareHeader and UnprepareHeader, which never wait for the
// thread. Reset and Close wait for it and must not be called from inside a notification.
//
// One handle at a time: Open on an open device returns WaveErrorAllocated.
class LookaheadWaveOut : public WaveOutDevice {
public:
    // Four buffers with the platform at a time played without a gap under Wine; three did not.
    // More is not possible: the streamer fills the buffer four places behind the one returned,
    // so a fifth buffer would be handed over before the notification that fills it (tried: with
    // eight, only silence was heard).
    static constexpr int Ahead = 4;
    static constexpr std::uint32_t SlotBytes = 16384;

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

private:
    struct Entry {
        WaveHeader* header;
        int slot; // -1 until submitted
    };

    bool Current(WaveOutHandle device) const;
    // With the lock held: whether a header call may act on this header (the device open and
    // the header not in the queue); a winmm result code.
    unsigned HeaderCheck(WaveOutHandle device, const WaveHeader* header) const;
    bool OnThread() const;
    void Run();
    // With the lock held: hands copies to the platform while fewer than Ahead are with it.
    void SubmitMore();
    // With the lock held by `held`: sends WOM_DONE for the header with the lock released.
    void Deliver(std::unique_lock<std::mutex>& held, WaveHeader* header);

    std::unique_ptr<PcmSink> sink;
    mutable std::mutex lock;
    std::condition_variable progress; // Reset waits on it for the returns to be delivered

    bool open = false;
    bool stopping = false;
    bool paused = false;
    WaveOutCallback callback = nullptr;
    std::uintptr_t instance = 0;
    std::deque<Entry> queue;
    std::deque<WaveHeader*> returns; // handed back by Reset, not yet notified
    bool slotBusy[Ahead] = {};
    int delivering = 0;
    std::thread thread;
    std::thread::id threadId;
};
