#include "fakes/SimulatedWaveOut.h"

#include <utility>

namespace {

int IndexOf(SimulatedWaveOut::Call call) {
    return static_cast<int>(call);
}

} // namespace

SimulatedWaveOut::SimulatedWaveOut(Timing chosen) : timing(chosen) {
    std::lock_guard<std::mutex> held(mutex);
    thread = std::thread([this] { Run(); });
    deviceThreadId = thread.get_id();
}

SimulatedWaveOut::~SimulatedWaveOut() {
    {
        std::lock_guard<std::mutex> held(mutex);
        quitting = true;
    }
    wake.notify_all();
    thread.join();
}

unsigned SimulatedWaveOut::Begin(Call call) {
    ++calls[IndexOf(call)];
    Failure& failure = failures[IndexOf(call)];
    if (failure.always) {
        return failure.result;
    }
    if (failure.skip > 0) {
        --failure.skip;
        return WaveOk;
    }
    if (failure.times > 0) {
        --failure.times;
        return failure.result;
    }
    return WaveOk;
}

bool SimulatedWaveOut::Current(WaveOutHandle device) const {
    return open && device != nullptr && device == handle;
}

bool SimulatedWaveOut::CanPlay() const {
    return open && !paused && !queue.empty();
}

bool SimulatedWaveOut::OnDeviceThread() const {
    return std::this_thread::get_id() == deviceThreadId;
}

unsigned SimulatedWaveOut::Open(WaveOutHandle* device, const WaveFormat& requested,
                                WaveOutCallback notify, std::uintptr_t value) {
    std::lock_guard<std::mutex> held(mutex);
    if (unsigned injected = Begin(Call::Open)) {
        return injected;
    }
    if (open) {
        return WaveErrorAllocated;
    }
    open = true;
    paused = false;
    handle = reinterpret_cast<WaveOutHandle>(static_cast<std::uintptr_t>(0x1000) + ++handleCount);
    callback = notify;
    instance = value;
    format = requested;
    *device = handle;
    events.push_back({WaveMessageOpen, nullptr});
    wake.notify_all();
    return WaveOk;
}

unsigned SimulatedWaveOut::PrepareHeader(WaveOutHandle device, WaveHeader* header) {
    std::lock_guard<std::mutex> held(mutex);
    if (unsigned injected = Begin(Call::PrepareHeader)) {
        return injected;
    }
    if (!Current(device) || header == nullptr) {
        return device == handle ? WaveErrorInvalidParam : WaveErrorInvalidHandle;
    }
    if (header->flags & WaveHeaderInQueue) {
        return WaveErrorStillPlaying;
    }
    header->flags |= WaveHeaderPrepared;
    return WaveOk;
}

unsigned SimulatedWaveOut::UnprepareHeader(WaveOutHandle device, WaveHeader* header) {
    std::lock_guard<std::mutex> held(mutex);
    if (unsigned injected = Begin(Call::UnprepareHeader)) {
        return injected;
    }
    if (!Current(device) || header == nullptr) {
        return device == handle ? WaveErrorInvalidParam : WaveErrorInvalidHandle;
    }
    if (header->flags & WaveHeaderInQueue) {
        return WaveErrorStillPlaying;
    }
    header->flags &= ~WaveHeaderPrepared;
    return WaveOk;
}

unsigned SimulatedWaveOut::Write(WaveOutHandle device, WaveHeader* header) {
    std::lock_guard<std::mutex> held(mutex);
    if (unsigned injected = Begin(Call::Write)) {
        return injected;
    }
    if (!Current(device) || header == nullptr) {
        return device == handle ? WaveErrorInvalidParam : WaveErrorInvalidHandle;
    }
    if (!(header->flags & WaveHeaderPrepared)) {
        return WaveErrorUnprepared;
    }
    if (header->flags & WaveHeaderInQueue) {
        return WaveErrorStillPlaying;
    }
    header->flags = (header->flags & ~WaveHeaderDone) | WaveHeaderInQueue;
    Entry entry{header, {}};
    if (copyOnWrite) {
        const auto* frames = reinterpret_cast<const StereoFrame*>(header->data);
        entry.copy.assign(frames, frames + header->bufferLength / sizeof(StereoFrame));
    }
    queue.push_back(std::move(entry));
    wake.notify_all();
    return WaveOk;
}

unsigned SimulatedWaveOut::Pause(WaveOutHandle device) {
    std::lock_guard<std::mutex> held(mutex);
    if (unsigned injected = Begin(Call::Pause)) {
        return injected;
    }
    if (!Current(device)) {
        return WaveErrorInvalidHandle;
    }
    paused = true;
    progress.notify_all();
    return WaveOk;
}

unsigned SimulatedWaveOut::Restart(WaveOutHandle device) {
    std::lock_guard<std::mutex> held(mutex);
    if (unsigned injected = Begin(Call::Restart)) {
        return injected;
    }
    if (!Current(device)) {
        return WaveErrorInvalidHandle;
    }
    paused = false;
    wake.notify_all();
    return WaveOk;
}

unsigned SimulatedWaveOut::Reset(WaveOutHandle device) {
    std::unique_lock<std::mutex> held(mutex);
    if (unsigned injected = Begin(Call::Reset)) {
        return injected;
    }
    if (!Current(device)) {
        return WaveErrorInvalidHandle;
    }
    // Every queued buffer comes back done, in order; the device is no longer paused, so
    // buffers written afterwards play.
    for (Entry& entry : queue) {
        entry.header->flags = (entry.header->flags & ~WaveHeaderInQueue) | WaveHeaderDone;
        events.push_back({WaveMessageDone, entry.header});
    }
    queue.clear();
    paused = false;
    wake.notify_all();
    if (!OnDeviceThread()) {
        AwaitEvents(held);
    }
    return WaveOk;
}

unsigned SimulatedWaveOut::Close(WaveOutHandle device) {
    std::unique_lock<std::mutex> held(mutex);
    const unsigned injected = Begin(Call::Close);
    if (!Current(device)) {
        return injected != WaveOk ? injected : WaveErrorInvalidHandle;
    }
    // winmm refuses to close with buffers queued; this device reports that too, but keeps the
    // seam's promise and lets go of them without a notification.
    const unsigned result = injected != WaveOk ? injected
                            : queue.empty()    ? WaveOk
                                               : WaveErrorStillPlaying;
    for (Entry& entry : queue) {
        entry.header->flags &= ~WaveHeaderInQueue;
    }
    queue.clear();
    events.push_back({WaveMessageClose, nullptr});
    wake.notify_all();
    if (!OnDeviceThread()) {
        AwaitEvents(held);
    }
    open = false;
    paused = false;
    handle = nullptr;
    callback = nullptr;
    instance = 0;
    progress.notify_all();
    return result;
}

void SimulatedWaveOut::AwaitEvents(std::unique_lock<std::mutex>& held) {
    progress.wait(held, [this] { return events.empty() && delivering == 0; });
}

int SimulatedWaveOut::Play(int buffers) {
    std::unique_lock<std::mutex> held(mutex);
    const long long before = played;
    if (timing == Timing::Virtual) {
        playRequest = buffers;
        wake.notify_all();
        progress.wait(held,
                      [this] { return playRequest == 0 && delivering == 0 && events.empty(); });
    } else {
        const long long target = played + buffers;
        progress.wait(held, [this, target] {
            return (played >= target || !CanPlay()) && delivering == 0 && events.empty();
        });
    }
    return static_cast<int>(played - before);
}

void SimulatedWaveOut::Run() {
    using Steady = std::chrono::steady_clock;
    std::unique_lock<std::mutex> held(mutex);
    bool pacing = false;
    Steady::time_point due;
    while (!quitting) {
        if (!events.empty()) {
            const Event event = events.front();
            events.pop_front();
            Deliver(held, event);
            continue;
        }
        if (timing == Timing::Virtual) {
            if (playRequest > 0 && CanPlay()) {
                PlayOne(held);
                --playRequest;
                progress.notify_all();
            } else if (playRequest > 0) {
                playRequest = 0; // the queue ran empty or the device was paused or closed
                progress.notify_all();
            } else {
                wake.wait(held);
            }
            continue;
        }
        if (!CanPlay()) {
            pacing = false;
            wake.wait(held);
            continue;
        }
        const Steady::time_point now = Steady::now();
        if (!pacing) {
            pacing = true;
            due = now + period; // the first buffer takes a whole period to play
        }
        if (now < due) {
            wake.wait_until(held, due);
            continue;
        }
        PlayOne(held);
        due += period;
        if (due + 4 * period < Steady::now()) {
            due = Steady::now(); // fell far behind (a slow notification): do not race to catch up
        }
        progress.notify_all();
    }
}

void SimulatedWaveOut::PlayOne(std::unique_lock<std::mutex>& held) {
    Entry entry = std::move(queue.front());
    queue.pop_front();
    WaveHeader* header = entry.header;
    if (copyOnWrite) {
        heard.insert(heard.end(), entry.copy.begin(), entry.copy.end());
    } else {
        const auto* frames = reinterpret_cast<const StereoFrame*>(header->data);
        heard.insert(heard.end(), frames, frames + header->bufferLength / sizeof(StereoFrame));
    }
    header->flags = (header->flags & ~WaveHeaderInQueue) | WaveHeaderDone;
    ++played;
    Deliver(held, {WaveMessageDone, header});
}

void SimulatedWaveOut::Deliver(std::unique_lock<std::mutex>& held, const Event& event) {
    if (callback == nullptr) {
        return;
    }
    const WaveOutCallback notify = callback;
    const std::uintptr_t value = instance;
    const WaveOutHandle from = handle;
    if (event.message == WaveMessageDone) {
        ++notifications;
        returned.push_back(event.header);
    }
    ++delivering;
    held.unlock();
    notify(from, event.message, value, reinterpret_cast<std::uintptr_t>(event.header), 0);
    held.lock();
    --delivering;
    progress.notify_all();
}

void SimulatedWaveOut::Fail(Call call, unsigned result, int times) {
    std::lock_guard<std::mutex> held(mutex);
    failures[IndexOf(call)] = {result, 0, times, false};
}

void SimulatedWaveOut::FailLater(Call call, int skip, unsigned result, int times) {
    std::lock_guard<std::mutex> held(mutex);
    failures[IndexOf(call)] = {result, skip, times, false};
}

void SimulatedWaveOut::FailAlways(Call call, unsigned result) {
    std::lock_guard<std::mutex> held(mutex);
    failures[IndexOf(call)] = {result, 0, 0, true};
}

void SimulatedWaveOut::ClearFailures() {
    std::lock_guard<std::mutex> held(mutex);
    for (Failure& failure : failures) {
        failure = Failure{};
    }
}

void SimulatedWaveOut::CopyOnWrite(bool copy) {
    std::lock_guard<std::mutex> held(mutex);
    copyOnWrite = copy;
}

void SimulatedWaveOut::SetBufferPeriod(std::chrono::microseconds length) {
    std::lock_guard<std::mutex> held(mutex);
    period = length;
}

std::vector<StereoFrame> SimulatedWaveOut::TakeHeard() {
    std::lock_guard<std::mutex> held(mutex);
    std::vector<StereoFrame> taken;
    taken.swap(heard);
    return taken;
}

std::size_t SimulatedWaveOut::HeardFrames() const {
    std::lock_guard<std::mutex> held(mutex);
    return heard.size();
}

int SimulatedWaveOut::Calls(Call call) const {
    std::lock_guard<std::mutex> held(mutex);
    return calls[IndexOf(call)];
}

int SimulatedWaveOut::Queued() const {
    std::lock_guard<std::mutex> held(mutex);
    return static_cast<int>(queue.size());
}

bool SimulatedWaveOut::IsOpen() const {
    std::lock_guard<std::mutex> held(mutex);
    return open;
}

bool SimulatedWaveOut::IsPaused() const {
    std::lock_guard<std::mutex> held(mutex);
    return paused;
}

std::vector<const WaveHeader*> SimulatedWaveOut::TakeReturned() {
    std::lock_guard<std::mutex> held(mutex);
    std::vector<const WaveHeader*> taken;
    taken.swap(returned);
    return taken;
}

int SimulatedWaveOut::Notifications() const {
    std::lock_guard<std::mutex> held(mutex);
    return notifications;
}

WaveFormat SimulatedWaveOut::OpenedFormat() const {
    std::lock_guard<std::mutex> held(mutex);
    return format;
}

WaveOutHandle SimulatedWaveOut::Handle() const {
    std::lock_guard<std::mutex> held(mutex);
    return handle;
}
