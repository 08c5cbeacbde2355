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
// Hang makes it a sound server that stopped answering: a call of the given kind blocks, and
// nothing plays, until Answer.
class CopyingSink : public PcmSink {
public:
    enum class Call { None, Open, Submit, Finished, Pause, Reset, Close };

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
        answered.notify_all();
        if (clock.joinable()) {
            clock.join();
        }
    }

    unsigned Open(const WaveFormat&, int slots, std::uint32_t) override {
        std::unique_lock<std::mutex> held(mutex);
        HoldIf(held, Call::Open);
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
        std::unique_lock<std::mutex> held(mutex);
        HoldIf(held, Call::Submit);
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
        std::unique_lock<std::mutex> held(mutex);
        HoldIf(held, Call::Finished);
        return finished.at(static_cast<std::size_t>(slot));
    }
    unsigned Pause() override {
        std::unique_lock<std::mutex> held(mutex);
        HoldIf(held, Call::Pause);
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
        std::unique_lock<std::mutex> held(mutex);
        HoldIf(held, Call::Reset);
        ++resets;
        submitted.clear();
        finished.assign(finished.size(), true);
        return WaveOk;
    }
    unsigned Close() override {
        std::unique_lock<std::mutex> held(mutex);
        HoldIf(held, Call::Close);
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
    bool Paused() const {
        std::lock_guard<std::mutex> held(mutex);
        return paused;
    }
    void Hang(Call call) {
        std::lock_guard<std::mutex> held(mutex);
        hangIn = call;
    }
    void Answer() {
        std::lock_guard<std::mutex> held(mutex);
        hangIn = Call::None;
        answered.notify_all();
        changed.notify_all();
    }
    // Whether a call is blocked in the hang now.
    bool Hanging() const {
        std::lock_guard<std::mutex> held(mutex);
        return hanging > 0;
    }

private:
    struct Copy {
        int slot;
        std::vector<StereoFrame> frames;
    };

    // With the lock held.
    void HoldIf(std::unique_lock<std::mutex>& held, Call call) {
        if (hangIn != call || call == Call::None) {
            return;
        }
        ++hanging;
        answered.wait(held, [this] { return hangIn == Call::None || quitting; });
        --hanging;
    }
    bool PlayOne() {
        if (!open || paused || hangIn != Call::None || submitted.empty()) {
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
            if (!open || paused || hangIn != Call::None || submitted.empty()) {
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
    std::condition_variable woken;    // Wait
    std::condition_variable changed;  // the clock thread
    std::condition_variable answered; // calls held in a hang
    bool wake = false;
    bool open = false;
    bool paused = false;
    bool quitting = false;
    Call hangIn = Call::None;
    int hanging = 0;
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
