#include "audio/LookaheadCore.h"

#include <cstring>
#include <utility>

// The look-ahead thread and the watch of LookaheadWaveOut (see LookaheadWaveOut.h).
//
// The look-ahead thread alone calls the platform (but for Wake), always with the lock
// released. What the calling thread changes meanwhile is told by `resets`: a reset clears the
// queue, so a result about a slot or a queue position that was looked up before the call is
// used only if no reset came in between. Only this thread takes buffers off the head of the
// queue; the calling thread only appends to it, clears it (Reset, with `resets` counted up) or
// ends it (Close, with `stopping` set).

namespace {

// The thread looks at the platform's slots at least this often, should a wake-up be missed.
constexpr unsigned PollMilliseconds = 20;

} // namespace

LookaheadWaveOut::Core::Core(std::unique_ptr<PcmSink> platform, WaveOutHandle device)
    : sink(std::move(platform)), handle(device), copy(SlotBytes, 0) {}

bool LookaheadWaveOut::Core::Current(WaveOutHandle device) const {
    return open && device == handle;
}

bool LookaheadWaveOut::Core::InNotification() const {
    return notifying && notifyingOn == std::this_thread::get_id();
}

int LookaheadWaveOut::Core::Busy() const {
    int busy = 0;
    for (bool slot : slotBusy) {
        busy += slot ? 1 : 0;
    }
    return busy;
}

LookaheadWaveOut::Core::Entry& LookaheadWaveOut::Core::At(std::uint64_t position) {
    return ring[position % QueueCapacity];
}

void LookaheadWaveOut::Core::Step(bool arming) {
    lastStep = Clock::now();
    if (arming || stallSent) {
        stallSent = false;
        watchWake.notify_all();
    }
}

void LookaheadWaveOut::Core::Notify(std::unique_lock<std::mutex>& held, unsigned message,
                                    WaveHeader* header) {
    while (notifying && !stopping) {
        changed.wait(held);
    }
    if (stopping || callback == nullptr) {
        return;
    }
    const WaveOutCallback notify = callback;
    const std::uintptr_t value = instance;
    notifying = true;
    notifyingOn = std::this_thread::get_id();
    held.unlock();
    notify(handle, message, value, reinterpret_cast<std::uintptr_t>(header), 0);
    held.lock();
    notifying = false;
    notifyingOn = std::thread::id();
    changed.notify_all();
}

void LookaheadWaveOut::Core::RunLookahead(WaveFormat format) {
    // Before Open, so that threads the platform starts for the stream may inherit it.
    sink->PromoteThread();
    const unsigned opened = sink->Open(format, Ahead, SlotBytes);
    std::unique_lock<std::mutex> held(lock);
    openResult = opened;
    openDone = true;
    changed.notify_all();
    if (opened == WaveOk && !openAbandoned) {
        Play(held);
    }
    held.unlock();
    unsigned closed = WaveOk;
    if (opened == WaveOk) {
        sink->Reset();
        closed = sink->Close();
    }
    held.lock();
    closeResult = closed;
    threadAlive = false;
    changed.notify_all();
}

void LookaheadWaveOut::Core::Play(std::unique_lock<std::mutex>& held) {
    while (!stopping) {
        if (resetsDone != resets) {
            // Drops the copies of the buffers the calling thread handed back. Whether a reset
            // ends a pause differs between platforms; here it does, so that buffers written
            // after it play.
            const unsigned target = resets;
            const bool wasPaused = sinkPaused;
            held.unlock();
            sink->Reset();
            if (wasPaused) {
                sink->Restart();
            }
            held.lock();
            resetsDone = target;
            sinkPaused = false;
            for (bool& slot : slotBusy) {
                slot = false;
            }
            continue;
        }
        if (sinkPaused != wantPaused) {
            const bool pause = wantPaused;
            held.unlock();
            if (pause) {
                sink->Pause();
            } else {
                sink->Restart();
            }
            held.lock();
            sinkPaused = pause;
            continue;
        }
        if (head != tail) {
            const Entry front = At(head);
            if (front.slot == SubmitFailed) {
                ReturnFront(held);
                continue;
            }
            if (front.slot >= 0) {
                const unsigned epoch = resets;
                held.unlock();
                const bool finished = sink->Finished(front.slot);
                held.lock();
                if (finished && epoch == resets && !stopping) {
                    slotBusy[front.slot] = false;
                    // The notification fills the buffer that is submitted next.
                    ReturnFront(held);
                    continue;
                }
            }
        }
        if (SubmitNext(held)) {
            continue;
        }
        held.unlock();
        sink->Wait(PollMilliseconds);
        held.lock();
    }
}

bool LookaheadWaveOut::Core::SubmitNext(std::unique_lock<std::mutex>& held) {
    // Nothing new goes to the platform before it has dropped what a reset handed back.
    if (stopping || resetsDone != resets || Busy() >= Ahead) {
        return false;
    }
    std::uint64_t position = head;
    while (position != tail && At(position).slot != NotSubmitted) {
        ++position;
    }
    if (position == tail) {
        return false;
    }
    int slot = 0;
    while (slotBusy[slot]) {
        ++slot;
    }
    Entry& entry = At(position);
    const std::uint32_t bytes = entry.header->bufferLength;
    std::memcpy(copy.data(), entry.header->data, bytes);
    entry.slot = slot;
    slotBusy[slot] = true;
    const unsigned epoch = resets;
    held.unlock();
    const unsigned result = sink->Submit(slot, copy.data(), bytes);
    held.lock();
    if (result != WaveOk && epoch == resets && !stopping) {
        At(position).slot = SubmitFailed;
        slotBusy[slot] = false;
    }
    return true;
}

void LookaheadWaveOut::Core::ReturnFront(std::unique_lock<std::mutex>& held) {
    WaveHeader* header = At(head).header;
    ++head;
    header->flags = (header->flags & ~WaveHeaderInQueue) | WaveHeaderDone;
    Step(false);
    Notify(held, WaveMessageDone, header);
}

void LookaheadWaveOut::Core::RunWatch() {
    std::unique_lock<std::mutex> held(lock);
    while (!stopping) {
        if (head == tail || wantPaused || stallSent) {
            watchWake.wait(held);
            continue;
        }
        const Clock::time_point due = lastStep + std::chrono::milliseconds(StallMilliseconds);
        if (Clock::now() < due) {
            watchWake.wait_until(held, due);
            continue;
        }
        stallSent = true;
        Notify(held, WaveMessageStalled, nullptr);
    }
}
