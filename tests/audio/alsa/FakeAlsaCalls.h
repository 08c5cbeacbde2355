#pragma once

#include "audio/WaveOut.h"
#include "audio/alsa/AlsaCalls.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The stream format of the tones: 16-bit stereo at 44100 Hz.
constexpr WaveFormat CdFormat{WaveFormatPcm, 2, 44100, 44100 * 4, 4, 16, 0};

// A PCM behind the AlsaCalls seam that plays only when the test says so (Play), holds at most
// `room` frames, reports as its delay what it holds plus `latency`, and fails as told. It keeps
// the left sample of every frame written, in order, so a test sees what was written again.
// Used from one thread: the test's, through the sink.
class FakeAlsaCalls : public AlsaCalls {
public:
    // Set by the test.
    int openError = 0;
    snd_pcm_uframes_t room = 2048;
    snd_pcm_sframes_t latency = 0;
    bool canPause = true;
    std::vector<snd_pcm_sframes_t> writeErrors; // returned by the next writes, first first
    int delayError = 0;

    // Seen by the test.
    snd_pcm_state_t state = SND_PCM_STATE_OPEN;
    std::uint64_t held = 0;
    std::vector<std::int16_t> written;
    std::vector<std::string> calls;
    int opens = 0;
    bool open = false;

    // The device plays `frames` of what it holds.
    void Play(std::uint64_t frames) { held -= std::min(held, frames); }

    int Open(snd_pcm_t** pcm, const char*) override {
        calls.push_back("Open");
        if (openError < 0) {
            return openError;
        }
        ++opens;
        open = true;
        *pcm = reinterpret_cast<snd_pcm_t*>(&token);
        return 0;
    }
    int Configure(snd_pcm_t*, AlsaSetup& setup) override {
        setup.canPause = canPause;
        setup.buffer = room;
        state = SND_PCM_STATE_PREPARED;
        held = 0;
        return 0;
    }
    int Close(snd_pcm_t*) override {
        calls.push_back("Close");
        open = false;
        return 0;
    }
    snd_pcm_sframes_t Write(snd_pcm_t*, const void* frames, snd_pcm_uframes_t count) override {
        if (!writeErrors.empty()) {
            const snd_pcm_sframes_t error = writeErrors.front();
            writeErrors.erase(writeErrors.begin());
            return error;
        }
        const std::uint64_t taken = std::min<std::uint64_t>(count, room - held);
        if (taken == 0) {
            return -EAGAIN;
        }
        for (std::uint64_t i = 0; i < taken; ++i) {
            std::int16_t left = 0;
            std::memcpy(&left, static_cast<const char*>(frames) + 4 * i, 2);
            written.push_back(left);
        }
        held += taken;
        state = SND_PCM_STATE_RUNNING;
        return static_cast<snd_pcm_sframes_t>(taken);
    }
    int Delay(snd_pcm_t*, snd_pcm_sframes_t* frames) override {
        *frames = static_cast<snd_pcm_sframes_t>(held) + latency;
        return delayError;
    }
    snd_pcm_state_t State(snd_pcm_t*) override { return state; }
    int Drop(snd_pcm_t*) override {
        calls.push_back("Drop");
        held = 0;
        state = SND_PCM_STATE_SETUP;
        return 0;
    }
    int Prepare(snd_pcm_t*) override {
        calls.push_back("Prepare");
        held = 0;
        state = SND_PCM_STATE_PREPARED;
        return 0;
    }
    int Recover(snd_pcm_t*, int error) override {
        calls.push_back("Recover " + std::to_string(error));
        held = 0;
        state = SND_PCM_STATE_PREPARED;
        return 0;
    }
    int Pause(snd_pcm_t*, int enable) override {
        calls.push_back(enable ? "Pause" : "Resume");
        state = enable ? SND_PCM_STATE_PAUSED : SND_PCM_STATE_RUNNING;
        return 0;
    }
    bool Writable(snd_pcm_t*) override { return held < room; }
    snd_pcm_sframes_t Avail(snd_pcm_t*) override {
        return static_cast<snd_pcm_sframes_t>(room - std::min<std::uint64_t>(held, room));
    }

private:
    int token = 0;
};
