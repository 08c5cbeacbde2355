#include "audio/LookaheadWaveOut.h"

#include <utility>

namespace {

constexpr int NotSubmitted = -1;
constexpr int SubmitFailed = -2; // comes back at its turn without having played
// The thread looks at the platform's slots at least this often, should a wake-up be missed.
constexpr unsigned PollMilliseconds = 20;

} // namespace

LookaheadWaveOut::LookaheadWaveOut(std::unique_ptr<PcmSink> platform) : sink(std::move(platform)) {}

LookaheadWaveOut::~LookaheadWaveOut() {
    bool wasOpen = false;
    {
        std::lock_guard<std::mutex> held(lock);
        wasOpen = open;
    }
    if (wasOpen) {
        Close(this);
    }
}

bool LookaheadWaveOut::Current(WaveOutHandle device) const {
    return open && device == static_cast<const void*>(this);
}

bool LookaheadWaveOut::OnThread() const {
    return std::this_thread::get_id() == threadId;
}

int LookaheadWaveOut::Queued() const {
    std::lock_guard<std::mutex> held(lock);
    return static_cast<int>(queue.size());
}

int LookaheadWaveOut::Submitted() const {
    std::lock_guard<std::mutex> held(lock);
    int busy = 0;
    for (bool slot : slotBusy) {
        busy += slot ? 1 : 0;
    }
    return busy;
}

unsigned LookaheadWaveOut::Open(WaveOutHandle* device, const WaveFormat& format,
                                WaveOutCallback notify, std::uintptr_t value) {
    std::lock_guard<std::mutex> held(lock);
    if (open) {
        return WaveErrorAllocated;
    }
    if (unsigned result = sink->Open(format, Ahead, SlotBytes)) {
        return result;
    }
    open = true;
    stopping = false;
    paused = false;
    callback = notify;
    instance = value;
    for (bool& slot : slotBusy) {
        slot = false;
    }
    thread = std::thread([this] { Run(); });
    threadId = thread.get_id();
    *device = this;
    return WaveOk;
}

unsigned LookaheadWaveOut::HeaderCheck(WaveOutHandle device, const WaveHeader* header) const {
    if (!Current(device)) {
        return WaveErrorInvalidHandle;
    }
    if (header == nullptr) {
        return WaveErrorInvalidParam;
    }
    return (header->flags & WaveHeaderInQueue) ? WaveErrorStillPlaying : WaveOk;
}

unsigned LookaheadWaveOut::PrepareHeader(WaveOutHandle device, WaveHeader* header) {
    std::lock_guard<std::mutex> held(lock);
    const unsigned result = HeaderCheck(device, header);
    if (result == WaveOk) {
        header->flags |= WaveHeaderPrepared;
    }
    return result;
}

unsigned LookaheadWaveOut::UnprepareHeader(WaveOutHandle device, WaveHeader* header) {
    std::lock_guard<std::mutex> held(lock);
    const unsigned result = HeaderCheck(device, header);
    if (result == WaveOk) {
        header->flags &= ~WaveHeaderPrepared;
    }
    return result;
}

unsigned LookaheadWaveOut::Write(WaveOutHandle device, WaveHeader* header) {
    std::lock_guard<std::mutex> held(lock);
    if (!Current(device)) {
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
    header->flags = (header->flags & ~WaveHeaderDone) | WaveHeaderInQueue;
    queue.push_back({header, NotSubmitted});
    sink->Wake();
    return WaveOk;
}

unsigned LookaheadWaveOut::Pause(WaveOutHandle device) {
    std::lock_guard<std::mutex> held(lock);
    if (!Current(device)) {
        return WaveErrorInvalidHandle;
    }
    const unsigned result = sink->Pause();
    if (result == WaveOk) {
        paused = true;
    }
    return result;
}

unsigned LookaheadWaveOut::Restart(WaveOutHandle device) {
    std::lock_guard<std::mutex> held(lock);
    if (!Current(device)) {
        return WaveErrorInvalidHandle;
    }
    const unsigned result = sink->Restart();
    if (result == WaveOk) {
        paused = false;
    }
    return result;
}

unsigned LookaheadWaveOut::Reset(WaveOutHandle device) {
    std::unique_lock<std::mutex> held(lock);
    if (!Current(device)) {
        return WaveErrorInvalidHandle;
    }
    if (unsigned result = sink->Reset()) {
        return result;
    }
    // Whether a reset ends a pause differs between platforms; here it does, so that buffers
    // written after it play.
    if (paused && sink->Restart() == WaveOk) {
        paused = false;
    }
    for (Entry& entry : queue) {
        entry.header->flags = (entry.header->flags & ~WaveHeaderInQueue) | WaveHeaderDone;
        returns.push_back(entry.header);
    }
    queue.clear();
    for (bool& slot : slotBusy) {
        slot = false;
    }
    sink->Wake();
    if (!OnThread()) {
        progress.wait(held, [this] { return (returns.empty() && delivering == 0) || stopping; });
    }
    return WaveOk;
}

unsigned LookaheadWaveOut::Close(WaveOutHandle device) {
    {
        std::lock_guard<std::mutex> held(lock);
        if (!Current(device)) {
            return WaveErrorInvalidHandle;
        }
        if (OnThread()) {
            return WaveErrorInvalidParam; // not from inside a notification: it would wait for
                                          // itself
        }
        stopping = true;
        sink->Wake();
    }
    // Waits for a notification under way; none follows.
    thread.join();

    std::lock_guard<std::mutex> held(lock);
    sink->Reset();
    const unsigned result = sink->Close();
    for (Entry& entry : queue) {
        entry.header->flags &= ~WaveHeaderInQueue;
    }
    queue.clear();
    returns.clear();
    open = false;
    paused = false;
    callback = nullptr;
    instance = 0;
    threadId = std::thread::id();
    progress.notify_all();
    return result;
}

void LookaheadWaveOut::Run() {
    std::unique_lock<std::mutex> held(lock);
    while (!stopping) {
        if (!returns.empty()) {
            WaveHeader* header = returns.front();
            returns.pop_front();
            Deliver(held, header);
            continue;
        }
        if (!queue.empty()) {
            const Entry front = queue.front();
            const bool finished =
                front.slot == SubmitFailed || (front.slot >= 0 && sink->Finished(front.slot));
            if (finished) {
                if (front.slot >= 0) {
                    slotBusy[front.slot] = false;
                }
                queue.pop_front();
                front.header->flags = (front.header->flags & ~WaveHeaderInQueue) | WaveHeaderDone;
                // The notification fills the buffer that is submitted next.
                Deliver(held, front.header);
                SubmitMore();
                continue;
            }
        }
        SubmitMore();
        held.unlock();
        sink->Wait(PollMilliseconds);
        held.lock();
    }
}

void LookaheadWaveOut::SubmitMore() {
    if (stopping) {
        return;
    }
    int withPlatform = 0;
    for (bool slot : slotBusy) {
        withPlatform += slot ? 1 : 0;
    }
    for (Entry& entry : queue) {
        if (withPlatform >= Ahead) {
            return;
        }
        if (entry.slot != NotSubmitted) {
            continue;
        }
        int slot = 0;
        while (slotBusy[slot]) {
            ++slot;
        }
        if (sink->Submit(slot, entry.header->data, entry.header->bufferLength) == WaveOk) {
            entry.slot = slot;
            slotBusy[slot] = true;
            ++withPlatform;
        } else {
            entry.slot = SubmitFailed;
        }
    }
}

void LookaheadWaveOut::Deliver(std::unique_lock<std::mutex>& held, WaveHeader* header) {
    const WaveOutCallback notify = callback;
    const std::uintptr_t value = instance;
    ++delivering;
    held.unlock();
    if (notify != nullptr) {
        notify(this, WaveMessageDone, value, reinterpret_cast<std::uintptr_t>(header), 0);
    }
    held.lock();
    --delivering;
    progress.notify_all();
}
