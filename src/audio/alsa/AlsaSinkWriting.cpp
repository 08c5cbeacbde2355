#include "audio/alsa/AlsaSink.h"

#include "audio/alsa/AlsaTrace.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

// Writing the kept frames to ALSA, and what the sink does when the device refuses them or fails.

namespace {

constexpr std::uint32_t FrameBytes = 4; // 16-bit stereo
// Kept frames are moved to the front of their store once this many have been heard.
constexpr std::uint64_t TrimFrames = 4096;

} // namespace

void AlsaSink::Pump() {
    if (state == AlsaSinkState::Lost) {
        return; // nothing is written until Reset tries the device again
    }
    if (state != AlsaSinkState::Playing) {
        return;
    }
    Trim(heard);
    // Twice at most: a device that fails again at once is tried on the next call.
    if (WriteBacklog()) {
        WriteBacklog();
    }
}

bool AlsaSink::WriteBacklog() {
    if (written == submitted) {
        return false;
    }
    if (pcm == nullptr && OpenDevice() != WaveOk) {
        Lose();
        return false;
    }
    if (written == heard && Clock::now() - fedAt >= IdleLimit) {
        // Behind a sound server, ALSA's pulse plugin reckons the delay from the stream's clock,
        // which ran on while the stream was open and empty (the seconds between opening the
        // device and the first tone): it put the frames just written as played at once, every
        // slot finished as soon as it was written, the look-ahead device ran the whole buffer
        // (16384 frames) ahead, and once the clock was put right the position stood still for
        // seconds (a false stall, a hole in the tone). Prepared, the plugin opens a new stream.
        if (!Prepared(alsa->Prepare(pcm))) {
            return true;
        }
    }
    if (!alsa->Writable(pcm)) {
        return Refused();
    }
    while (written < submitted) {
        const std::size_t offset = static_cast<std::size_t>(written - keptFrom) * FrameBytes;
        const snd_pcm_sframes_t taken = alsa->Write(
            pcm, kept.data() + offset, static_cast<snd_pcm_uframes_t>(submitted - written));
        if (taken == -EAGAIN || taken == 0) {
            troubleSince.reset();
            return Refused(); // full: the rest is written when there is room
        }
        if (taken == -EPIPE || taken == -ESTRPIPE) {
            Recover(static_cast<int>(taken));
            return true;
        }
        if (taken < 0) {
            Trouble(static_cast<int>(taken));
            return false;
        }
        troubleSince.reset();
        refusedSince.reset();
        if (written == heard) {
            // The device held nothing: its time to play starts now, from wherever it reports
            // (a delay past what was written is its latency, not a stop).
            progressAt = Clock::now();
            running.Forget(); // the reports start afresh
            reached = INT64_MIN;
        }
        written += static_cast<std::uint64_t>(taken);
        fedAt = Clock::now();
    }
    return false;
}

bool AlsaSink::Refused() {
    if (Heard() < written || pcm == nullptr || state != AlsaSinkState::Playing) {
        refusedSince.reset(); // still playing: room comes as it plays
        return false;
    }
    const Clock::time_point now = Clock::now();
    if (!refusedSince) {
        refusedSince = now;
        return false;
    }
    if (now - *refusedSince < StallLimit) {
        return false;
    }
    refusedSince.reset();
    TraceAlsa("no room for %llu ms with nothing to play: opened again",
              static_cast<unsigned long long>(StallLimit.count()));
    CloseHandle(); // opened anew for the next frames
    return true;
}

void AlsaSink::Recover(int error) {
    // Not snd_pcm_recover for a suspend: it would sleep until the device resumes. Prepared
    // anew, the device plays on at once and what it held is lost.
    const int result = error == -EPIPE ? alsa->Recover(pcm, error) : alsa->Prepare(pcm);
    TraceAlsa("%s at frame %llu of %llu: prepared anew (%d)",
              error == -EPIPE ? "underrun" : "suspend or lost setup",
              static_cast<unsigned long long>(heard), static_cast<unsigned long long>(written),
              result);
    Prepared(result);
    heard = std::max(heard, written); // run dry or lost: heard either way
    progressAt = Clock::now();
    running.Forget(); // the reports start afresh
}

void AlsaSink::Trouble(int error) {
    if (error == -ENODEV) {
        Lose(); // unplugged, or the server's stream is gone: no use trying it again now
        return;
    }
    const Clock::time_point now = Clock::now();
    if (!troubleSince) {
        troubleSince = now;
    } else if (now - *troubleSince >= TroubleLimit) {
        Lose();
    }
}

void AlsaSink::Lose() {
    TraceAlsa("device lost at frame %llu: nothing plays until a reset",
              static_cast<unsigned long long>(heard));
    CloseHandle();
    troubleSince.reset();
    refusedSince.reset();
    Enter(AlsaSinkEvent::Lost);
}

void AlsaSink::Trim(std::uint64_t frame) {
    const std::uint64_t upTo = std::min(frame, written);
    if (upTo < keptFrom + TrimFrames && upTo < submitted) {
        return;
    }
    const std::size_t bytes = static_cast<std::size_t>(upTo - keptFrom) * FrameBytes;
    kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(bytes));
    keptFrom = upTo;
}
