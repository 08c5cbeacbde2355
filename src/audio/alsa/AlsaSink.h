#pragma once

#include "audio/PcmSink.h"
#include "audio/alsa/AudioThreadPriority.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

// An ALSA playback device as a PcmSink: 16-bit stereo, interleaved, at the format's rate, opened
// non-blocking so that no call ever waits for the device under the caller's lock.
//
// Positions are counted in frames since Open. Submit copies a slot's frames behind everything
// submitted before and hands ALSA as much as it takes; what it did not take is kept and written
// as room frees up (on the next call of Submit, Finished or Wait). A slot has finished once the
// frames heard, those written minus the device's delay, reach the slot's end, so the look-ahead
// device fills a buffer when the one before the four with ALSA has been heard, as with winmm.
//
// Reset drops what ALSA holds (snd_pcm_drop, then prepared to play on); an underrun is
// recovered with snd_pcm_recover, a suspend by preparing the device anew. The frames lost count
// as heard, so every slot they were in has finished. A handle that cannot be prepared is closed
// and opened again for the next frames; so is one that has played everything and still takes
// no frames for 100 ms. Frames are written only while the device reports room by poll (the
// PulseAudio plugin counts its ring from the server's requests).
//
// Pause uses ALSA's own pause where the device has one and is running. Elsewhere it drops what
// ALSA holds and writes the frames not yet heard again on Restart; the delay tells them only
// about as exactly as the device reports it, so a few frames may be heard twice or skipped.
//
// A device that keeps failing for half a second, or cannot be opened again, turns into a clock:
// slots finish at the rate they would have played, in silence, so the hearing test runs on
// without a hang; Reset tries the device again, and the next Open reports the error.
//
// Every ALSA call is made with `alsaLock` held and never waits for the device to play (the
// PulseAudio plugin does wait for its server's answers, a few milliseconds); Wait sleeps on a
// separate lock, so Wake never waits for ALSA.
class AlsaSink : public PcmSink {
public:
    explicit AlsaSink(std::string deviceName = "default");
    ~AlsaSink() override;
    AlsaSink(const AlsaSink&) = delete;
    AlsaSink& operator=(const AlsaSink&) = delete;

    unsigned Open(const WaveFormat& format, int slots, std::uint32_t slotBytes) override;
    unsigned Submit(int slot, const char* data, std::uint32_t bytes) override;
    bool Finished(int slot) override;
    unsigned Pause() override;
    unsigned Restart() override;
    unsigned Reset() override;
    unsigned Close() override;
    void Wait(unsigned milliseconds) override;
    void Wake() override;
    void PromoteThread() override { PromoteAudioThread(); }

    // For tests and diagnostics: submitted frames that ALSA has not taken yet.
    std::uint64_t Backlog() const;

private:
    using Clock = std::chrono::steady_clock;

    // The rest with alsaLock held.
    // Opens and sets up the device; a winmm result.
    unsigned OpenDevice();
    // Drops what ALSA holds and prepares the handle to play on; closes it where that fails.
    void Drop();
    // Closes the handle; the next frames to write open the device again.
    void CloseHandle();
    // Hands ALSA as much of the backlog as it takes, opening the device again where needed.
    void Pump(bool mayRecover = true);
    // Frames heard since Open; never goes back.
    std::uint64_t Heard();
    // After an underrun (-EPIPE) or a suspend (-ESTRPIPE): what ALSA held counts as heard.
    void Recover(int error);
    // An unexpected error: tolerated for a while, then the clock takes over.
    void Trouble();
    // The device takes no frames: fine while it plays, opened again if it has run dry and
    // still refuses them after a while.
    void Stalled(bool mayRecover);
    void Fail();
    // Forgets the kept frames before `frame`, which will not be written again.
    void Trim(std::uint64_t frame);
    // Milliseconds until the next slot may end or the backlog may fit.
    unsigned NextEvent();

    const std::string deviceName;

    mutable std::mutex alsaLock;
    bool open = false;
    snd_pcm_t* pcm = nullptr; // null while open after a drop, until frames are written again
    unsigned rate = 0;
    std::uint64_t bufferFrames = 0; // asked for
    std::uint64_t periodFrames = 0; // given
    std::uint32_t slotBytes = 0;
    bool canPause = false;
    bool paused = false;
    bool pausedByAlsa = false;
    bool failed = false;
    bool troubled = false;
    Clock::time_point troubleSince;
    bool stalled = false;
    Clock::time_point stalledSince;
    Clock::time_point clockAt; // how far the clock has counted, once failed
    std::uint64_t written = 0; // frames ALSA has taken
    std::uint64_t heard = 0;
    std::uint64_t submitted = 0; // frames submitted, written or not
    std::uint64_t keptFrom = 0;  // first frame of `kept`
    std::vector<char> kept;      // frames keptFrom .. submitted, until heard
    std::vector<std::uint64_t> slotEnds;

    std::mutex wakeLock;
    std::condition_variable woken;
    bool wake = false;
};
