#include "audio/alsa/AlsaSink.h"

#include "audio/alsa/AlsaTrace.h"

#include <algorithm>
#include <cerrno>
#include <climits>

// The position clock: how many of the frames written have been heard.
//
// The device tells it by its delay: the frames written minus the delay have left the speaker.
// Three things keep that honest:
// - A delay larger than what was written is the device's own latency before anything was
//   heard, and a negative one (some devices after running dry) means nothing is left: the
//   frames heard are clamped to 0 .. written and never go back.
// - Behind a sound server, ALSA's pulse plugin reckons the delay from its stream's timing, which
//   it asks the server for ever more rarely (on PipeWire not once from 0.3 s to 3.1 s into a
//   tone) and interpolates meanwhile. On PipeWire about 3 s into a stream the server's stream
//   ran dry (its log: `UNDERFLOW`, 684 frames queued, `playing:0`), waited for a period more (its
//   prebuf), and asked for no frames; the delay still counted the frames it had played as
//   unheard, so no slot finished and the look-ahead device handed over nothing.
// - A device may report a stream as running and hold frames it does not play. A position that
// stands still for NudgeLimit while the device holds more than a period breaks
//   that: all but the last period count as heard, the look-ahead device hands its next buffers
//   over, and the server plays on. A server that still plays none of what it holds, or a
//   device that takes no frames with nothing to play (AlsaSinkWriting.cpp), is not waited for
//   by the look-ahead device's watch: judged by the delay, no slot finishes, so the watch would
//   report the stall. A device whose position (written minus delay) has not moved for StuckLimit
//   while it holds frames is dropped, prepared (the plugin opens a new stream, which starts with
//   the first frame written) and given the frames not heard again. A server that hangs in the
//   drop keeps the look-ahead thread there, and the watch reports it.

std::uint64_t AlsaSink::Heard() {
    switch (state) {
    case AlsaSinkState::Playing:
        return HeardFromDevice();
    default:
        return heard; // paused, lost or closed: nothing more is heard
    }
}

std::uint64_t AlsaSink::HeardFromDevice() {
    if (pcm == nullptr) {
        heard = std::max(heard, written); // closed: ALSA holds nothing
        return heard;
    }
    switch (alsa->State(pcm)) {
    case SND_PCM_STATE_RUNNING:
    case SND_PCM_STATE_DRAINING:
        break;
    case SND_PCM_STATE_PREPARED:
        // Starts with the first frame written, so nothing was written since it was prepared.
        heard = std::max(heard, written);
        return heard;
    case SND_PCM_STATE_DISCONNECTED:
        Lose();
        return heard;
    case SND_PCM_STATE_XRUN:
        Recover(-EPIPE);
        return heard;
    case SND_PCM_STATE_SUSPENDED:
        Recover(-ESTRPIPE);
        return heard;
    default: // no longer set up
        Recover(-EBADFD);
        return heard;
    }
    snd_pcm_sframes_t delay = 0;
    const int error = alsa->Delay(pcm, &delay);
    if (error == -EPIPE || error == -ESTRPIPE) {
        Recover(error);
        return heard;
    }
    if (error < 0) {
        Trouble(error);
        return heard;
    }
    troubleSince.reset();
    const std::uint64_t inDevice = static_cast<std::uint64_t>(
        std::clamp<snd_pcm_sframes_t>(delay, 0, static_cast<snd_pcm_sframes_t>(written)));
    heard = std::max(heard, written - inDevice);
    WatchProgress(static_cast<std::int64_t>(written) - delay);
    return heard;
}

void AlsaSink::WatchProgress(std::int64_t position) {
    const Clock::time_point now = Clock::now();
    if (position > reached || heard >= written) {
        reached = std::max(reached, position);
        progressAt = now;
        nudged = false;
        return;
    }
    if (!nudged && now - progressAt >= NudgeLimit && written - heard > periodFrames) {
        nudged = true;
        TraceAlsa("holds frames %llu..%llu and plays none: all but a period taken as heard",
                  static_cast<unsigned long long>(heard), static_cast<unsigned long long>(written));
        heard = written - periodFrames;
        return;
    }
    if (now - progressAt >= StuckLimit) {
        TraceAlsa("holds frames %llu..%llu and plays none: given them again",
                  static_cast<unsigned long long>(heard), static_cast<unsigned long long>(written));
        Rewind(); // the frames not heard are written again by the next Pump
    }
}

unsigned AlsaSink::NextEvent() {
    if (IsPaused(state)) {
        return UINT_MAX;
    }
    Pump();
    const std::uint64_t now = Heard();
    std::uint64_t next = UINT64_MAX;
    for (std::uint64_t end : slotEnds) {
        if (end > now) {
            next = std::min(next, end);
        }
    }
    std::uint64_t milliseconds = UINT_MAX;
    if (next != UINT64_MAX) {
        milliseconds = ((next - now) * 1000 + rate - 1) / rate;
    }
    if (written < submitted || troubleSince) {
        milliseconds = std::min<std::uint64_t>(milliseconds, periodFrames * 500 / rate);
    }
    return static_cast<unsigned>(std::max<std::uint64_t>(milliseconds, 1));
}
