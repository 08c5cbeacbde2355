#pragma once

#include "audio/StereoFrame.h"
#include "audio/WaveOut.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// A wave-out device for tests. It plays its queue in order on a thread of its own and records
// what a listener would hear; every call can be told to fail with any result code.
//
// Like winmm: Write needs a prepared header that is not queued already, sets WHDR_INQUEUE and
// clears WHDR_DONE; a played buffer comes back with WHDR_DONE and one WOM_DONE notification, in
// queue order, on the device thread; Reset hands every queued buffer back the same way, paused or
// not; Open and Close send WOM_OPEN and WOM_CLOSE. As the seam promises, Reset and Close return
// only after the notifications they cause have been handled, and after Close no notification
// follows. A call that fails by request does nothing else; a failed Close still ends the handle.
//
// One handle at a time: Open on an open device returns WaveErrorAllocated. Calls with another
// handle return WaveErrorInvalidHandle.
//
// Timing::Virtual: nothing plays until a test calls Play. Timing::RealTime: the device thread
// plays one buffer per 1024/44100 s by itself (SetBufferPeriod changes that, e.g. to run fast).
class SimulatedWaveOut : public WaveOutDevice {
public:
    enum class Timing { Virtual, RealTime };
    enum class Call { Open, PrepareHeader, UnprepareHeader, Write, Pause, Restart, Reset, Close };

    explicit SimulatedWaveOut(Timing timing = Timing::Virtual);
    ~SimulatedWaveOut() override;
    SimulatedWaveOut(const SimulatedWaveOut&) = delete;
    SimulatedWaveOut& operator=(const SimulatedWaveOut&) = delete;

    unsigned Open(WaveOutHandle* device, const WaveFormat& format, WaveOutCallback callback,
                  std::uintptr_t instance) override;
    unsigned PrepareHeader(WaveOutHandle device, WaveHeader* header) override;
    unsigned UnprepareHeader(WaveOutHandle device, WaveHeader* header) override;
    unsigned Write(WaveOutHandle device, WaveHeader* header) override;
    unsigned Pause(WaveOutHandle device) override;
    unsigned Restart(WaveOutHandle device) override;
    unsigned Reset(WaveOutHandle device) override;
    unsigned Close(WaveOutHandle device) override;

    // The device thread plays up to `buffers` queued buffers, one at a time, each followed by
    // its WOM_DONE notification; returns after the last one's notification has been handled
    // completely, with how many were played (fewer when the queue runs empty or the device is
    // paused or closed). In real time it waits for that many buffers to play. Not to be called
    // from inside a notification.
    int Play(int buffers);

    void Fail(Call call, unsigned result, int times = 1); // the next `times` calls fail
    void FailAlways(Call call, unsigned result);
    // Lets the next `skip` calls pass, then fails `times` calls.
    void FailLater(Call call, int skip, unsigned result, int times = 1);
    void ClearFailures();
    // Copy a buffer's data at Write time, as winmm and ALSA do, rather than reading it when it
    // plays.
    void CopyOnWrite(bool copy);
    // Real time only: how long one buffer plays.
    void SetBufferPeriod(std::chrono::microseconds period);

    std::vector<StereoFrame> TakeHeard(); // everything played so far (silence included), in order
    std::size_t HeardFrames() const;
    int Calls(Call call) const; // how often each call was made
    int Queued() const;         // buffers queued and not yet played or returned
    bool IsOpen() const;
    bool IsPaused() const;

    // The headers in the order their WOM_DONE was sent (played or returned by a reset).
    std::vector<const WaveHeader*> TakeReturned();
    // WOM_DONE notifications sent so far.
    int Notifications() const;
    WaveFormat OpenedFormat() const;
    WaveOutHandle Handle() const;

private:
    static constexpr int CallCount = 8;
    struct Failure {
        unsigned result = WaveOk;
        int skip = 0;
        int times = 0;
        bool always = false;
    };
    struct Entry {
        WaveHeader* header;
        std::vector<StereoFrame> copy; // the data as written, with CopyOnWrite
    };
    struct Event {
        unsigned message;
        WaveHeader* header;
    };

    // With `mutex` held: counts the call and tells the injected failure, if any.
    unsigned Begin(Call call);
    bool Current(WaveOutHandle device) const;
    bool CanPlay() const;
    bool OnDeviceThread() const;
    void Run();
    // With the lock held: plays the buffer at the head of the queue and sends its notification.
    void PlayOne(std::unique_lock<std::mutex>& held);
    // With the lock held by `held`: sends one notification with the lock released.
    void Deliver(std::unique_lock<std::mutex>& held, const Event& event);
    // With the lock held: waits until every pending event has been delivered.
    void AwaitEvents(std::unique_lock<std::mutex>& held);

    const Timing timing;
    mutable std::mutex mutex;
    std::condition_variable wake;     // the device thread waits on it
    std::condition_variable progress; // callers wait on it

    bool open = false;
    bool paused = false;
    bool copyOnWrite = false;
    bool quitting = false;
    WaveOutHandle handle = nullptr;
    std::uintptr_t handleCount = 0;
    WaveOutCallback callback = nullptr;
    std::uintptr_t instance = 0;
    WaveFormat format{};
    std::chrono::microseconds period{23220};

    std::deque<Entry> queue;
    std::deque<Event> events; // notifications due at once: reset returns, WOM_OPEN, WOM_CLOSE
    int delivering = 0;
    int playRequest = 0; // Virtual: buffers still to play for Play
    long long played = 0;
    int notifications = 0;

    std::vector<StereoFrame> heard;
    std::vector<const WaveHeader*> returned;
    int calls[CallCount] = {};
    Failure failures[CallCount];

    std::thread::id deviceThreadId;
    std::thread thread;
};
