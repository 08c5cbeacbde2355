#include "audio/alsa/AlsaSink.h"

#include "audio/alsa/AlsaTrace.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <limits>

// The position clock: how many of the frames written have been heard.
//
// The device tells it by its delay: the frames written minus the delay have left the speaker.
// Two things keep that honest:
// - A delay larger than what was written is the device's own latency before anything was
//   heard, and a negative one (some devices after running dry) means nothing is left: the
//   frames heard are clamped to 0 .. written and never go back.
// - Behind a sound server, ALSA's pulse plugin reckons the delay from its stream's timing, which
//   it asks the server for ever more rarely (on PipeWire not once from 0.3 s to 3.1 s into a
//   tone) and interpolates meanwhile, slower than the server played: the delay read up to 3400
//   frames too long, the frames heard lagged, the look-ahead device handed its buffers over late
//   and the server's stream ran dry about 3 s into every stream (its log: `UNDERFLOW`). The room
//   in ALSA's buffer follows the server's own requests for frames as it plays, so the delay is
//   taken as no more than what that buffer holds plus a period on its way out (MostHeld).
// - A device may report a stream as running and hold frames it does not play. Behind a sound
//   server, a stream that ran dry plays again once it holds its prebuf (a period); should the
//   delay still count everything as unheard, the look-ahead device hands over nothing and the
//   stream waits for frames that never come (PipeWire: `playing:0`, and it asks for no more).
//   MostHeld keeps the sink out of that. A server that still plays none of what it holds, or a
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
    delay = std::min(delay, MostHeld());
    const std::uint64_t inDevice = static_cast<std::uint64_t>(
        std::clamp<snd_pcm_sframes_t>(delay, 0, static_cast<snd_pcm_sframes_t>(written)));
    heard = std::max(heard, written - inDevice);
    WatchProgress(static_cast<std::int64_t>(written) - delay);
    if (starting && heard > starting->first) {
        TraceAlsa(
            "first frame played %.1f ms after it was handed over",
            std::chrono::duration<double, std::milli>(Clock::now() - starting->second).count());
        starting.reset();
    }
    return heard;
}

snd_pcm_sframes_t AlsaSink::MostHeld() {
    const snd_pcm_sframes_t room = alsa->Avail(pcm);
    if (room < 0 || givenFrames == 0) {
        return std::numeric_limits<snd_pcm_sframes_t>::max(); // not told: the delay stands
    }
    // ALSA's pulse plugin counts the server's first request (a whole buffer) as room already
    // played, so its room runs a buffer ahead of what the server holds: twice the buffer minus
    // the room is what the server holds. Behind any other device that bound lies above the delay.
    const auto twice = 2 * static_cast<snd_pcm_sframes_t>(givenFrames);
    return twice - std::min(room, twice) + static_cast<snd_pcm_sframes_t>(periodFrames);
}

void AlsaSink::WatchProgress(std::int64_t position) {
    const Clock::time_point now = Clock::now();
    if (position > reached || heard >= written) {
        reached = std::max(reached, position);
        progressAt = now;
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
