#include "audio/LookaheadWaveOut.h"

#include "audio/LookaheadCore.h"

#include <system_error>
#include <utility>

// The calls of the user-interface thread. None of them calls the platform but Wake, and none
// waits for the look-ahead thread: Open waits at most OpenMilliseconds for the platform to
// open, Close at most CloseMilliseconds for it to close, and Reset and Close for a notification
// under way, which by contract never waits for the platform.

LookaheadWaveOut::LookaheadWaveOut(std::unique_ptr<PcmSink> sink)
    : core(std::make_shared<Core>(std::move(sink), this)) {}

LookaheadWaveOut::~LookaheadWaveOut() {
    bool wasOpen = false;
    {
        std::lock_guard<std::mutex> held(core->lock);
        wasOpen = core->open;
    }
    if (wasOpen) {
        Close(this);
    }
}

int LookaheadWaveOut::Queued() const {
    std::lock_guard<std::mutex> held(core->lock);
    return static_cast<int>(core->tail - core->head);
}

int LookaheadWaveOut::Submitted() const {
    std::lock_guard<std::mutex> held(core->lock);
    return core->Busy();
}

bool LookaheadWaveOut::Occupied() const {
    std::lock_guard<std::mutex> held(core->lock);
    return !core->open && core->threadAlive;
}

unsigned LookaheadWaveOut::Open(WaveOutHandle* device, const WaveFormat& format,
                                WaveOutCallback notify, std::uintptr_t value) {
    Core& c = *core;
    std::unique_lock<std::mutex> held(c.lock);
    // A thread still inside a hung platform keeps it until the platform answers.
    if (c.open || c.threadAlive) {
        return WaveErrorAllocated;
    }
    c.stopping = false;
    c.openDone = false;
    c.openAbandoned = false;
    c.openResult = WaveOk;
    c.callback = notify;
    c.instance = value;
    c.head = c.tail = 0;
    for (bool& slot : c.slotBusy) {
        slot = false;
    }
    c.wantPaused = c.sinkPaused = false;
    c.resets = c.resetsDone = 0;
    c.stallSent = false;
    try {
        lookahead = std::thread([shared = core, format] { shared->RunLookahead(format); });
    } catch (const std::system_error&) {
        return WaveErrorNoMemory;
    }
    c.threadAlive = true;
    const auto limit = std::chrono::milliseconds(OpenMilliseconds);
    if (!c.changed.wait_for(held, limit, [&c] { return c.openDone; })) {
        // The thread closes the platform should it still open.
        c.openAbandoned = true;
        c.stopping = true;
        lookahead.detach();
        return WaveErrorAllocated;
    }
    if (c.openResult != WaveOk) {
        const unsigned result = c.openResult;
        held.unlock();
        lookahead.join(); // it ends at once, without another platform call
        return result;
    }
    c.open = true;
    c.lastStep = Core::Clock::now();
    try {
        watch = std::thread([shared = core] { shared->RunWatch(); });
    } catch (const std::system_error&) {
        held.unlock();
        Close(this);
        return WaveErrorNoMemory;
    }
    *device = this;
    return WaveOk;
}

namespace {

// Whether a header call may act on this header (not in the queue); a winmm result code.
unsigned HeaderCheck(const WaveHeader* header) {
    if (header == nullptr) {
        return WaveErrorInvalidParam;
    }
    return (header->flags & WaveHeaderInQueue) ? WaveErrorStillPlaying : WaveOk;
}

} // namespace

unsigned LookaheadWaveOut::PrepareHeader(WaveOutHandle device, WaveHeader* header) {
    std::lock_guard<std::mutex> held(core->lock);
    const unsigned result = core->Current(device) ? HeaderCheck(header) : WaveErrorInvalidHandle;
    if (result == WaveOk) {
        header->flags |= WaveHeaderPrepared;
    }
    return result;
}

unsigned LookaheadWaveOut::UnprepareHeader(WaveOutHandle device, WaveHeader* header) {
    std::lock_guard<std::mutex> held(core->lock);
    const unsigned result = core->Current(device) ? HeaderCheck(header) : WaveErrorInvalidHandle;
    if (result == WaveOk) {
        header->flags &= ~WaveHeaderPrepared;
    }
    return result;
}

unsigned LookaheadWaveOut::Write(WaveOutHandle device, WaveHeader* header) {
    Core& c = *core;
    std::lock_guard<std::mutex> held(c.lock);
    if (!c.Current(device)) {
        return WaveErrorInvalidHandle;
    }
    if (header == nullptr || header->bufferLength > SlotBytes) {
        return WaveErrorInvalidParam;
    }
    if (!(header->flags & WaveHeaderPrepared)) {
        return WaveErrorUnprepared;
    }
    if (header->flags & WaveHeaderInQueue) {
        return WaveErrorStillPlaying;
    }
    if (c.tail - c.head >= QueueCapacity) {
        return WaveErrorNoMemory;
    }
    header->flags = (header->flags & ~WaveHeaderDone) | WaveHeaderInQueue;
    const bool wasEmpty = c.head == c.tail;
    c.At(c.tail) = {header, Core::NotSubmitted};
    ++c.tail;
    if (wasEmpty) {
        c.Step(true);
    }
    c.sink->Wake();
    return WaveOk;
}

unsigned LookaheadWaveOut::Pause(WaveOutHandle device) {
    Core& c = *core;
    std::lock_guard<std::mutex> held(c.lock);
    if (!c.Current(device)) {
        return WaveErrorInvalidHandle;
    }
    c.wantPaused = true;
    c.sink->Wake();
    return WaveOk;
}

unsigned LookaheadWaveOut::Restart(WaveOutHandle device) {
    Core& c = *core;
    std::lock_guard<std::mutex> held(c.lock);
    if (!c.Current(device)) {
        return WaveErrorInvalidHandle;
    }
    if (c.wantPaused) {
        c.wantPaused = false;
        c.Step(true);
    }
    c.sink->Wake();
    return WaveOk;
}

unsigned LookaheadWaveOut::Reset(WaveOutHandle device) {
    Core& c = *core;
    std::unique_lock<std::mutex> held(c.lock);
    if (!c.Current(device)) {
        return WaveErrorInvalidHandle;
    }
    if (c.InNotification()) {
        return WaveErrorInvalidParam; // it would wait for itself
    }
    WaveHeader* back[QueueCapacity];
    int count = 0;
    for (std::uint64_t position = c.head; position != c.tail; ++position) {
        WaveHeader* header = c.At(position).header;
        header->flags = (header->flags & ~WaveHeaderInQueue) | WaveHeaderDone;
        back[count++] = header;
    }
    c.head = c.tail;
    ++c.resets;
    c.wantPaused = false;
    c.Step(false);
    c.sink->Wake();
    // The platform holds only copies: the buffers go back now, in order, whatever it does.
    for (int i = 0; i < count; ++i) {
        c.Notify(held, WaveMessageDone, back[i]);
    }
    return WaveOk;
}

unsigned LookaheadWaveOut::Close(WaveOutHandle device) {
    Core& c = *core;
    {
        std::unique_lock<std::mutex> held(c.lock);
        if (!c.Current(device)) {
            return WaveErrorInvalidHandle;
        }
        if (c.InNotification()) {
            return WaveErrorInvalidParam; // it would wait for itself
        }
        c.open = false;
        c.stopping = true;
        while (c.notifying) {
            c.changed.wait(held);
        }
        // No notification runs or follows; the thread reads none of these headers again.
        for (std::uint64_t position = c.head; position != c.tail; ++position) {
            c.At(position).header->flags &= ~WaveHeaderInQueue;
        }
        c.head = c.tail;
        c.callback = nullptr;
        c.instance = 0;
        c.watchWake.notify_all();
        c.sink->Wake();
    }
    if (watch.joinable()) {
        watch.join();
    }

    std::unique_lock<std::mutex> held(c.lock);
    const auto limit = std::chrono::milliseconds(CloseMilliseconds);
    if (!c.changed.wait_for(held, limit, [&c] { return !c.threadAlive; })) {
        lookahead.detach(); // inside a hung platform: see LookaheadWaveOut.h
        return WaveErrorError;
    }
    const unsigned result = c.closeResult;
    held.unlock();
    lookahead.join();
    return result;
}
