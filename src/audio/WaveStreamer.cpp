#include "audio/WaveStreamer.h"

#include "audio/WaveOpenError.h"
#include "support/MessageBoxes.h"

#include <cstdlib>
#include <cstring>

// How the two threads are kept apart.
//
// The user-interface thread runs Open, Start, Stop and Close; the device's notification thread
// runs OnWaveMessage, and with it FillBuffer and the re-queue. Every field that both touch is
// read and written with `lock` held (state, sampleRate and device are atomic as well, so that
// the accessors need no lock). A notification holds the lock for its whole visit: its state
// test, the fill, the re-queue or the unprepare. So a notification that has passed its state
// test finishes before the user-interface thread can change the state, queue or release the
// block, and the user-interface thread never sees half a notification.
//
// The notification thread never waits for the user-interface thread: the user-interface thread
// holds the lock only for short stretches of plain work and of device calls that, by the
// seam's contract, do not wait for the notification thread (Prepare, Unprepare, Write, Open).
// Pause, Restart, Reset and Close may wait for the notification thread (Reset hands every
// queued buffer back through notifications, Close waits until none runs), so they are called
// without the lock; a message box, which waits for the user, is never shown with it held.
//
// The order of writes still does what it always did: Stop sets Pausing and Close sets Idle,
// with the lock, before they call the device, so buffers that a reset hands back are not
// queued again. Start sets Playing before it restarts a paused device, so that a buffer
// finishing at once after the restart is queued again rather than dropped from the ring.
//
// The block is released only after the device's Close has returned, when by contract no
// notification runs or follows, and with the lock held.
//
// Start queues its 32 buffers in one pass with the lock held, so the first notification, which
// may come 23 ms after buffer 0 was written, waits the pass out and sees lastQueued = 31; the
// device then holds buffers 0..31 in order and the ring has its designed shape.

namespace {

constexpr std::uint32_t DoneAndPrepared = WaveHeaderDone | WaveHeaderPrepared;

} // namespace

WaveStreamer::WaveStreamer(WaveOutDevice& device) : waveOut(device) {
    Open(DefaultSampleRate);
}

WaveStreamer::~WaveStreamer() {
    Close();
}

void WaveStreamer::FillBuffer(StereoFrame*) {}

void WaveStreamer::OnOutputStalled() {}

WaveStreamer::State WaveStreamer::CurrentState() const {
    return static_cast<State>(state.load());
}

std::int32_t WaveStreamer::SampleRate() const {
    return sampleRate.load();
}

bool WaveStreamer::IsOpen() const {
    return device.load() != nullptr;
}

std::int32_t WaveStreamer::LastQueued() const {
    std::lock_guard<std::recursive_mutex> held(lock);
    return lastQueued;
}

const StereoFrame* WaveStreamer::BufferAt(int index) const {
    std::lock_guard<std::recursive_mutex> held(lock);
    return index >= 0 && index < BufferCount ? buffers[index] : nullptr;
}

WaveHeader WaveStreamer::HeaderAt(int index) const {
    std::lock_guard<std::recursive_mutex> held(lock);
    return index >= 0 && index < BufferCount ? headers[index] : WaveHeader{};
}

WaveFormat WaveStreamer::Format() const {
    std::lock_guard<std::recursive_mutex> held(lock);
    return format;
}

bool WaveStreamer::Open(std::int32_t rate) {
    unsigned result = WaveOk;
    {
        std::lock_guard<std::recursive_mutex> held(lock);
        if (device.load() != nullptr) {
            return true; // an open device keeps its rate
        }
        sampleRate.store(rate);
        format.formatTag = WaveFormatPcm;
        format.channels = 2;
        format.samplesPerSec = static_cast<std::uint32_t>(rate);
        format.avgBytesPerSec = static_cast<std::uint32_t>(rate) * 4;
        format.blockAlign = 4;
        format.bitsPerSample = 16;
        format.extraSize = 0;
        WaveOutHandle opened = nullptr;
        result = waveOut.Open(&opened, format, &WaveStreamer::WaveOutCallback,
                              reinterpret_cast<std::uintptr_t>(this));
        if (result == WaveOk) {
            device.store(opened);
            return true;
        }
    }
    ShowMessage(WaveOpenErrorFormat, WaveOpenErrorNumber(result), WaveOpenErrorText(result));
    return false;
}

bool WaveStreamer::Start() {
    if (!Open(sampleRate.load())) {
        return false;
    }
    bool prepareFailed = false;
    bool queued = false;
    WaveOutHandle paused = nullptr;
    {
        std::lock_guard<std::recursive_mutex> held(lock);
        const State was = CurrentState();
        if (was == Playing) {
            return true;
        }
        state.store(Playing);
        if (was == Pausing) {
            paused = device.load();
        } else {
            queued = QueueRing(prepareFailed);
        }
    }
    if (paused != nullptr) {
        if (waveOut.Restart(paused) == WaveOk) {
            return true; // the paused device plays on from its queue
        }
        std::lock_guard<std::recursive_mutex> held(lock);
        queued = QueueRing(prepareFailed);
    }
    if (prepareFailed) {
        ShowMessage("Wave prepare failed");
    }
    return queued;
}

bool WaveStreamer::QueueRing(bool& prepareFailed) {
    for (WaveHeader& header : headers) {
        header.flags |= WaveHeaderDone;
    }
    QueueResult result = QueueBuffer(&headers[0]);
    const bool first = result == QueueResult::Queued;
    for (int i = 1; i < BufferCount && result == QueueResult::Queued; ++i) {
        result = QueueBuffer(&headers[i]); // the ring ends before the first failure
    }
    prepareFailed = result == QueueResult::PrepareFailed;
    return first;
}

bool WaveStreamer::Stop() {
    WaveOutHandle playing = nullptr;
    {
        std::lock_guard<std::recursive_mutex> held(lock);
        playing = device.load();
        if (playing == nullptr || CurrentState() < Playing) {
            return false;
        }
        state.store(Pausing); // before the device is called: returned buffers stay out
    }
    if (waveOut.Pause(playing) != WaveOk) {
        return false;
    }
    if (waveOut.Reset(playing) != WaveOk) {
        return false;
    }
    std::lock_guard<std::recursive_mutex> held(lock);
    state.store(Stopped);
    return true;
}

void WaveStreamer::Close() {
    WaveOutHandle opened = nullptr;
    {
        std::lock_guard<std::recursive_mutex> held(lock);
        state.store(Idle); // before the device is called: returned buffers are unprepared
        opened = device.load();
    }
    if (opened != nullptr) {
        waveOut.Reset(opened);
        for (WaveHeader& header : headers) {
            unsigned result = WaveOk;
            {
                // A notification may unprepare the same header meanwhile; whichever comes
                // second finds it unprepared and leaves it.
                std::lock_guard<std::recursive_mutex> held(lock);
                if ((header.flags & DoneAndPrepared) == DoneAndPrepared) {
                    result = waveOut.UnprepareHeader(opened, &header);
                }
            }
            if (result != WaveOk) {
                ShowMessage("waveOutUnprepareHeader fehlgeschlagen");
            }
        }
        // After this no notification runs or follows, whatever the result.
        waveOut.Close(opened);
    }
    std::lock_guard<std::recursive_mutex> held(lock);
    device.store(nullptr);
    ReleaseBuffers();
    format = WaveFormat{};
    lastQueued = 0;
    state.store(Idle);
}

void WaveStreamer::WaveOutCallback(WaveOutHandle device, unsigned message, std::uintptr_t instance,
                                   std::uintptr_t param1, std::uintptr_t param2) {
    if (instance == 0) {
        return;
    }
    reinterpret_cast<WaveStreamer*>(instance)->OnWaveMessage(
        device, message, reinterpret_cast<WaveHeader*>(param1), param2);
}

void WaveStreamer::OnWaveMessage(WaveOutHandle, unsigned message, WaveHeader* header,
                                 std::uintptr_t) {
    if (message == WaveMessageStalled) {
        // Passed on as it is: the buffers stay with the device, and whoever listens decides.
        if (CurrentState() == Playing) {
            OnOutputStalled();
        }
        return;
    }
    if (message != WaveMessageDone || header == nullptr) {
        return;
    }
    std::lock_guard<std::recursive_mutex> held(lock);
    WaveOutHandle opened = device.load();
    const State now = CurrentState();
    if (opened != nullptr && now == Playing) {
        if (StereoFrame* ahead = BufferToFill()) {
            FillBuffer(ahead);
        }
        // A header that fails here drops out of the ring; its prepare cannot fail, since a
        // header that comes back while playing is still prepared.
        QueueBuffer(header);
    } else if (now > Stopped) {
        // Pausing: the header stays as the device returned it.
    } else if (opened != nullptr && (header->flags & WaveHeaderPrepared)) {
        waveOut.UnprepareHeader(opened, header);
    }
}

WaveStreamer::QueueResult WaveStreamer::QueueBuffer(WaveHeader* header) {
    WaveOutHandle opened = device.load();
    if (opened == nullptr || !AllocateBuffers()) {
        return QueueResult::Failed;
    }
    int index = 0;
    while (index < BufferCount && &headers[index] != header) {
        ++index;
    }
    if (index == BufferCount) {
        return QueueResult::Failed;
    }
    lastQueued = index;
    std::memset(buffers[index], 0, BufferBytes);
    WaveHeader& queued = headers[index];
    if (!(queued.flags & WaveHeaderPrepared)) {
        queued = WaveHeader{};
        queued.data = reinterpret_cast<char*>(buffers[index]);
        queued.bufferLength = BufferBytes;
        if (waveOut.PrepareHeader(opened, &queued) != WaveOk) {
            return QueueResult::PrepareFailed;
        }
    } else {
        queued.flags &= ~WaveHeaderDone;
    }
    queued.bufferLength = BufferBytes;
    return waveOut.Write(opened, &queued) == WaveOk ? QueueResult::Queued : QueueResult::Failed;
}

StereoFrame* WaveStreamer::BufferToFill() const {
    if (buffers[0] == nullptr) {
        return nullptr;
    }
    return buffers[(lastQueued + FillAhead) % BufferCount];
}

bool WaveStreamer::AllocateBuffers() {
    if (buffers[0] != nullptr) {
        return true;
    }
    for (int i = 0; i < BufferCount; ++i) {
        buffers[i] = nullptr;
        headers[i] = WaveHeader{};
    }
    // malloc rather than new: a failure is a result here, never an exception.
    auto* block = static_cast<StereoFrame*>(std::malloc(BlockBytes));
    if (block == nullptr) {
        return false;
    }
    for (int i = 0; i < BufferCount; ++i) {
        buffers[i] = block + i * FramesPerBuffer;
    }
    return true;
}

void WaveStreamer::ReleaseBuffers() {
    if (buffers[0] != nullptr) {
        std::free(buffers[0]);
    }
    for (int i = 0; i < BufferCount; ++i) {
        buffers[i] = nullptr;
        headers[i] = WaveHeader{};
    }
}
