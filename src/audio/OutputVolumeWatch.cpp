#include "audio/OutputVolumeWatch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

// What the calling threads and the watch's thread share. Every field below `lock` is read and
// written with it held; the lock is never held during a query.
struct OutputVolumeWatch::Shared {
    explicit Shared(std::unique_ptr<OutputVolume> platform) : volume(std::move(platform)) {}

    void Run();

    std::unique_ptr<OutputVolume> volume; // the thread's alone once it runs
    std::atomic<OutputLoudness> latest{OutputLoudness::Unknown};

    std::mutex lock;
    std::condition_variable wake;     // the thread: asked, following, or stopping
    std::condition_variable answered; // Ask: an answer came, or the thread ended
    std::uint64_t asked = 0;          // requests of Ask so far
    std::uint64_t served = 0;         // the newest request a finished query began after
    bool following = false;
    bool stopping = false;
    bool querying = false;
    bool gaveUp = false; // an Ask gave up waiting for the query under way
    bool ended = true;   // no thread runs
    std::thread thread;
};

void OutputVolumeWatch::Shared::Run() {
    std::unique_lock<std::mutex> held(lock);
    while (!stopping) {
        const auto due = [this] { return stopping || asked != served; };
        if (following) {
            // Times out to ask again; an Ask or the stop comes at once.
            wake.wait_for(held, std::chrono::milliseconds(FollowMilliseconds), due);
        } else {
            wake.wait(held, [&] { return due() || following; });
        }
        if (stopping) {
            break;
        }
        const std::uint64_t serving = asked;
        querying = true;
        held.unlock();
        const OutputLoudness now = volume->Query();
        held.lock();
        querying = false;
        gaveUp = false;
        latest.store(now);
        served = serving;
        answered.notify_all();
    }
    held.unlock();
    volume.reset(); // on this thread, which made every other call of it
    held.lock();
    ended = true;
    answered.notify_all();
}

OutputVolumeWatch::OutputVolumeWatch(std::unique_ptr<OutputVolume> volume)
    : shared(std::make_shared<Shared>(std::move(volume))) {
    std::lock_guard<std::mutex> held(shared->lock);
    try {
        shared->thread = std::thread([keep = shared] { keep->Run(); });
        shared->ended = false;
    } catch (const std::system_error&) {
        // Without a thread every question goes unanswered: the runs go on as without a watch.
    }
}

OutputVolumeWatch::~OutputVolumeWatch() {
    std::unique_lock<std::mutex> held(shared->lock);
    shared->stopping = true;
    shared->wake.notify_all();
    const bool ended = shared->answered.wait_for(held, std::chrono::milliseconds(StopMilliseconds),
                                                 [this] { return shared->ended; });
    std::thread thread = std::move(shared->thread);
    held.unlock();
    if (!thread.joinable()) {
        return;
    }
    if (ended) {
        thread.join();
    } else {
        thread.detach(); // inside a hung platform: it ends once that answers
    }
}

OutputLoudness OutputVolumeWatch::Ask() {
    std::unique_lock<std::mutex> held(shared->lock);
    const std::uint64_t ticket = ++shared->asked;
    shared->wake.notify_all();
    // A query that outlasted an earlier Ask is stuck in the platform: no second wait for it.
    if (!shared->gaveUp &&
        shared->answered.wait_for(held, std::chrono::milliseconds(AskMilliseconds),
                                  [&] { return shared->served >= ticket || shared->ended; }) &&
        shared->served >= ticket) {
        return shared->latest.load();
    }
    // An old answer says nothing about now; a late one replaces this.
    shared->gaveUp = shared->querying;
    shared->latest.store(OutputLoudness::Unknown);
    return OutputLoudness::Unknown;
}

void OutputVolumeWatch::Follow(bool following) {
    std::lock_guard<std::mutex> held(shared->lock);
    shared->following = following;
    shared->wake.notify_all();
}

OutputLoudness OutputVolumeWatch::Latest() const {
    return shared->latest.load();
}
