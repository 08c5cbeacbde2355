#pragma once

#include "audio/LookaheadWaveOut.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// What the calling thread, the look-ahead thread and the watch of one LookaheadWaveOut share.
// It is held by shared pointers, so that a look-ahead thread left behind in a hung platform
// keeps it, and the platform with it, after the device is gone.
//
// Every field below `lock` is read and written with it held. The lock is held only for
// bookkeeping and the copy of one buffer, never during a platform call or a notification.
struct LookaheadWaveOut::Core {
    using Clock = std::chrono::steady_clock;

    static constexpr int NotSubmitted = -1;
    static constexpr int SubmitFailed = -2; // comes back at its turn without having played

    struct Entry {
        WaveHeader* header;
        int slot; // with the platform in this slot, or one of the two values above
    };

    Core(std::unique_ptr<PcmSink> platform, WaveOutHandle device);

    // The bodies of the two threads.
    void RunLookahead(WaveFormat format);
    void RunWatch();

    // The rest with the lock held by `held` where they take it.
    bool Current(WaveOutHandle device) const;
    // Whether the calling thread is inside a notification of this device.
    bool InNotification() const;
    int Busy() const;
    Entry& At(std::uint64_t position);
    // The device took a step: a buffer came back, or the queue or the pause changed. `arming`:
    // the watch may have been idle and must look again.
    void Step(bool arming);
    // Sends one notification with the lock released, after any other under way; none once
    // stopping.
    void Notify(std::unique_lock<std::mutex>& held, unsigned message, WaveHeader* header);
    // The look-ahead thread's loop while the platform is open.
    void Play(std::unique_lock<std::mutex>& held);
    // Hands the next buffer to the platform if fewer than Ahead are with it; false when
    // there is nothing to hand over.
    bool SubmitNext(std::unique_lock<std::mutex>& held);
    // Takes the buffer at the head of the queue off it and returns it done.
    void ReturnFront(std::unique_lock<std::mutex>& held);

    const std::unique_ptr<PcmSink> sink;
    const WaveOutHandle handle;
    std::vector<char> copy; // the buffer being submitted, so the streamer's block may go

    std::mutex lock;
    std::condition_variable changed;   // open answered, thread ended, notification over
    std::condition_variable watchWake; // the watch: armed, or stopping

    bool open = false;
    bool stopping = false;    // Close or an abandoned Open: the threads end
    bool threadAlive = false; // a look-ahead thread exists, maybe left behind
    bool openDone = false;
    bool openAbandoned = false;
    unsigned openResult = WaveOk;
    unsigned closeResult = WaveOk;
    WaveOutCallback callback = nullptr;
    std::uintptr_t instance = 0;

    Entry ring[QueueCapacity] = {};
    std::uint64_t head = 0; // positions count every buffer ever written since Open
    std::uint64_t tail = 0;
    bool slotBusy[Ahead] = {};
    bool wantPaused = false; // what the calling thread asked for
    bool sinkPaused = false; // what the platform was told
    unsigned resets = 0;     // asked for, and carried out on the platform
    unsigned resetsDone = 0;

    bool notifying = false;
    std::thread::id notifyingOn;
    Clock::time_point lastStep;
    bool stallSent = false;
};
