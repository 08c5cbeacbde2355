#include "audio/alsa/AlsaSink.h"

#include "audio/alsa/AlsaTrace.h"

#include <algorithm>
#include <cerrno>
#include <climits>

// The position clock: how many of the frames written have been heard.
//
// The device tells it by its delay: the frames written minus the delay have left the speaker.
// Four things keep that honest:
// - ALSA's pulse plugin interpolates its delay between the server's timing updates, and on
//   PipeWire it ran a few per cent slow for seconds, or jumped back by about 100 ms, while the
//   server played on: the frames counted as heard fell behind, the look-ahead device handed its
//   buffers over late and the server's queue ran dry (holes of 15-20 ms, and the stand-still
//   below). So the report is reckoned on by the clock while it keeps moving, never more than
//   the look-ahead's frames past it (RunningPosition.h).
// - Nor past what the device took: its room (snd_pcm_avail) tells how much of what was written
//   it still holds; behind a sound server, what the server has not asked for again, which
//   follows what it played to within its request size. Reckoned on alone, the frames counted
//   as heard ran up to 6 buffers ahead of the ear on PipeWire, and a press would have stored a
//   level that had not sounded yet.
// - A delay larger than what was written is the device's own latency before anything was
//   heard, and a negative one (some devices after running dry) means nothing is left: the
//   frames heard are clamped to 0 .. written and never go back.
// - A device may report a stream as running and hold frames it does not play. Behind a sound
//   server, a stream that ran dry waits for its prebuf (a period) before it plays again, while
//   the look-ahead device waits for one buffer to be heard before it gives another. ALSA's pulse
//   plugin reckons the delay between rare timing updates (on PipeWire none from 0.3 s to 3.1 s
//   into a stream), and a delay that ran slow counts frames the server played as unheard: the
//   two then wait for each other. PulseAudio reports a delay of 0 meanwhile and takes no frames:
//   the sink closes the handle after StallLimit and opens it again (AlsaSinkWriting.cpp). On
//   PipeWire the stream stays open and running, its delay put and no buffer coming back: the
//   sink never closed it, as it still held frames to play. The sink
//   does not pretend progress then: judged by the delay, no slot finishes, so the look-ahead
//   device's watch reports the stall. Nor does it wait for the watch: a device whose position
//   (written minus delay) has not moved for StuckLimit while it holds frames is dropped, prepared
//   (the plugin opens a new stream, which starts with the first frame written) and given the frames
//   not heard again. A server that hangs in the drop keeps the look-ahead thread there, and the
//   watch reports it.

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
    const std::int64_t reported = static_cast<std::int64_t>(written) - delay;
    reportedPosition = reported;
    std::int64_t position =
        running.Reckon(reported, Clock::now(), rate, static_cast<std::int64_t>(lookaheadFrames));
    const snd_pcm_sframes_t room = alsa->Avail(pcm);
    if (room >= 0 && givenBuffer > 0) {
        // Never past what the device took: the frames written minus those its room says it
        // still holds (behind a sound server, what the server has not asked for again).
        const std::int64_t holds =
            static_cast<std::int64_t>(givenBuffer) -
            std::min<std::int64_t>(room, static_cast<std::int64_t>(givenBuffer));
        position = std::min(position, static_cast<std::int64_t>(written) - holds);
    }
    heard = std::max(heard, static_cast<std::uint64_t>(std::clamp<std::int64_t>(
                                position, 0, static_cast<std::int64_t>(written))));
    WatchProgress(reported);
    return heard;
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
