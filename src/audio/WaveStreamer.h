#pragma once

#include "audio/StereoFrame.h"
#include "audio/WaveOut.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// Plays an endless stream of 16-bit stereo PCM through a ring of 32 buffers of 1024 frames, and
// asks FillBuffer for the content of each buffer shortly before it is heard. A plain streamer
// plays silence. All public operations run on the user-interface thread; FillBuffer runs on the
// device's notification thread.
//
// FillBuffer runs while the streamer's lock is held: it must not wait for the user-interface
// thread and must not call Open, Start, Stop or Close. The accessors below may be called from it.
// A derived class whose FillBuffer uses its own fields calls Close in its own destructor, so that
// no notification runs into a half-destroyed object.
class WaveStreamer {
public:
    enum State : std::int32_t { Idle = 0, Stopped = 1, Pausing = 2, Playing = 3 };

    static constexpr int BufferCount = 32;
    static constexpr int FramesPerBuffer = 1024;
    static constexpr int BufferBytes = FramesPerBuffer * static_cast<int>(sizeof(StereoFrame));
    static constexpr int BlockBytes = BufferCount * BufferBytes;
    static constexpr std::int32_t DefaultSampleRate = 44100;
    // FillBuffer writes the buffer this many places behind the one most recently queued.
    static constexpr int FillAhead = 5;

    // Opens the device at once (a failure shows the error box and leaves it closed).
    explicit WaveStreamer(WaveOutDevice& device);
    ~WaveStreamer();
    WaveStreamer(const WaveStreamer&) = delete;
    WaveStreamer& operator=(const WaveStreamer&) = delete;

    bool Open(std::int32_t rate);
    bool Start();
    bool Stop();
    void Close();

    // Writes the content of one buffer of 1024 frames that is already zeroed.
    virtual void FillBuffer(StereoFrame* frames);
    // The device sent WaveMessageStalled: it took no step for StallMilliseconds while playing
    // (a sound server that stopped answering). Runs on a thread of the device, without the
    // streamer's lock; like FillBuffer it must not wait and must not call Open, Start, Stop or
    // Close. A plain streamer does nothing.
    virtual void OnOutputStalled();

    State CurrentState() const;
    std::int32_t SampleRate() const;
    bool IsOpen() const;

    // For tests and diagnostics: the ring as it stands.
    std::int32_t LastQueued() const;
    // Buffer i of the block (null while no block is allocated).
    const StereoFrame* BufferAt(int index) const;
    // A copy of header i.
    WaveHeader HeaderAt(int index) const;
    WaveFormat Format() const;

protected:
    WaveOutDevice& waveOut;

private:
    enum class QueueResult { Queued, Failed, PrepareFailed };

    // Registered with the device's Open; instance is the streamer.
    static void WaveOutCallback(WaveOutHandle device, unsigned message, std::uintptr_t instance,
                                std::uintptr_t param1, std::uintptr_t param2);
    void OnWaveMessage(WaveOutHandle device, unsigned message, WaveHeader* header,
                       std::uintptr_t param2);
    // The five below run with the lock held.
    // Sets every header's done flag and queues headers 0..31 until one fails; true when header
    // 0 was queued. Tells whether the queueing ended at a failed prepare.
    bool QueueRing(bool& prepareFailed);
    QueueResult QueueBuffer(WaveHeader* header);
    StereoFrame* BufferToFill() const;
    bool AllocateBuffers();
    void ReleaseBuffers();

    // Held briefly by notifications and around the state changes, the queueing pass of Start,
    // each unprepare of Close and the release of the block; never while the user-interface
    // thread waits for a box or for the notification thread. Recursive so that FillBuffer may
    // read the accessors.
    mutable std::recursive_mutex lock;

    // Written only by the user-interface thread, with the lock held; read anywhere.
    std::atomic<std::int32_t> state{Idle};
    std::atomic<std::int32_t> sampleRate{DefaultSampleRate};
    std::atomic<WaveOutHandle> device{nullptr};
    // The rest only with the lock held.
    WaveFormat format{};
    std::int32_t lastQueued = 0;
    StereoFrame* buffers[BufferCount] = {};
    WaveHeader headers[BufferCount] = {};
};
