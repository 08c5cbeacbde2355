#pragma once

#include "audio/PcmSink.h"
#include "audio/StereoFrame.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// A platform output that copies each buffer when it is submitted, as winmm under Wine and ALSA
// do, and plays the copies in order: when a test calls Advance, or by itself every `period` on
// a thread of its own. Records what a listener hears and how many buffers it held at most.
class CopyingSink : public PcmSink {
public:
    CopyingSink() = default;
    explicit CopyingSink(std::chrono::microseconds period) : realTime(true), period(period) {
        clock = std::thread([this] { Tick(); });
    }
    ~CopyingSink() override {
        {
            std::lock_guard<std::mutex> held(mutex);
            quitting = true;
        }
        changed.notify_all();
        if (clock.joinable()) {
            clock.join();
        }
    }

    unsigned Open(const WaveFormat&, int slots, std::uint32_t) override {
        std::lock_guard<std::mutex> held(mutex);
        ++opens;
        if (failOpen != WaveOk) {
            return failOpen;
        }
        finished.assign(static_cast<std::size_t>(slots), true);
        open = true;
        paused = false;
        return WaveOk;
    }
    unsigned Submit(int slot, const char* data, std::uint32_t bytes) override {
        std::lock_guard<std::mutex> held(mutex);
        if (failSubmits > 0) {
            --failSubmits;
            return WaveErrorNoMemory;
        }
        const auto* frames = reinterpret_cast<const StereoFrame*>(data);
        submitted.push_back({slot, std::vector<StereoFrame>(frames, frames + bytes / 4)});
        finished.at(static_cast<std::size_t>(slot)) = false;
        if (submitted.size() > maxHeld) {
            maxHeld = submitted.size();
        }
        changed.notify_all();
        return WaveOk;
    }
    bool Finished(int slot) override {
        std::lock_guard<std::mutex> held(mutex);
        return finished.at(static_cast<std::size_t>(slot));
    }
    unsigned Pause() override {
        std::lock_guard<std::mutex> held(mutex);
        paused = true;
        return WaveOk;
    }
    unsigned Restart() override {
        std::lock_guard<std::mutex> held(mutex);
        paused = false;
        changed.notify_all();
        return WaveOk;
    }
    unsigned Reset() override {
        std::lock_guard<std::mutex> held(mutex);
        ++resets;
        submitted.clear();
        finished.assign(finished.size(), true);
        return WaveOk;
    }
    unsigned Close() override {
        std::lock_guard<std::mutex> held(mutex);
        open = false;
        submitted.clear();
        return WaveOk;
    }
    void Wait(unsigned milliseconds) override {
        std::unique_lock<std::mutex> held(mutex);
        woken.wait_for(held, std::chrono::milliseconds(milliseconds), [this] { return wake; });
        wake = false;
    }
    void Wake() override {
        std::lock_guard<std::mutex> held(mutex);
        wake = true;
        woken.notify_all();
    }

    // Plays up to n submitted buffers; returns how many.
    int Advance(int n) {
        std::lock_guard<std::mutex> held(mutex);
        int played = 0;
        while (played < n && PlayOne()) {
            ++played;
        }
        return played;
    }

    std::vector<StereoFrame> TakeHeard() {
        std::lock_guard<std::mutex> held(mutex);
        std::vector<StereoFrame> taken;
        taken.swap(heard);
        return taken;
    }
    std::size_t Held() const {
        std::lock_guard<std::mutex> held(mutex);
        return submitted.size();
    }
    std::size_t MaxHeld() const {
        std::lock_guard<std::mutex> held(mutex);
        return maxHeld;
    }
    bool IsOpen() const {
        std::lock_guard<std::mutex> held(mutex);
        return open;
    }
    void FailOpen(unsigned result) {
        std::lock_guard<std::mutex> held(mutex);
        failOpen = result;
    }
    void FailSubmits(int times) {
        std::lock_guard<std::mutex> held(mutex);
        failSubmits = times;
    }
    int Resets() const {
        std::lock_guard<std::mutex> held(mutex);
        return resets;
    }

private:
    struct Copy {
        int slot;
        std::vector<StereoFrame> frames;
    };

    // With the lock held.
    bool PlayOne() {
        if (!open || paused || submitted.empty()) {
            return false;
        }
        Copy& front = submitted.front();
        heard.insert(heard.end(), front.frames.begin(), front.frames.end());
        finished.at(static_cast<std::size_t>(front.slot)) = true;
        submitted.pop_front();
        wake = true;
        woken.notify_all();
        return true;
    }

    void Tick() {
        std::unique_lock<std::mutex> held(mutex);
        while (!quitting) {
            if (!open || paused || submitted.empty()) {
                changed.wait(held);
                continue;
            }
            // The buffer at the head plays for one period, then the next one starts.
            const auto due = std::chrono::steady_clock::now() + period;
            while (!quitting && std::chrono::steady_clock::now() < due) {
                changed.wait_until(held, due);
            }
            PlayOne();
        }
    }

    const bool realTime = false;
    const std::chrono::microseconds period{0};
    mutable std::mutex mutex;
    std::condition_variable woken;   // Wait
    std::condition_variable changed; // the clock thread
    bool wake = false;
    bool open = false;
    bool paused = false;
    bool quitting = false;
    unsigned failOpen = WaveOk;
    int failSubmits = 0;
    int opens = 0;
    int resets = 0;
    std::vector<bool> finished;
    std::deque<Copy> submitted;
    std::size_t maxHeld = 0;
    std::vector<StereoFrame> heard;
    std::thread clock;
};
