#pragma once

#include "audio/PcmSink.h"
#include "audio/alsa/AlsaCalls.h"
#include "audio/alsa/AlsaSinkState.h"
#include "audio/alsa/AudioThreadPriority.h"
#include "audio/alsa/RunningPosition.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// An ALSA playback device as a PcmSink: 16-bit stereo, interleaved, at the format's rate, opened
// non-blocking so that no call ever waits for the device to play. It reaches ALSA only through
// AlsaCalls, so that tests can stand a device of their own behind it.
//
// Positions are counted in frames since Open. Submit copies a slot's frames behind everything
// submitted before and hands ALSA as much as it takes; what it did not take is kept and written
// as room frees up (on the next call of Submit, Finished or Wait). A slot has finished once the
// frames heard reach the slot's end (the position clock, AlsaSinkClock.cpp): the frames written
// minus the device's delay, reckoned on by the clock where the delay runs slow, never going
// back. So the look-ahead device fills a buffer when the one before the four with ALSA has been
// heard, as with winmm, and a device that stops playing lets no slot finish: the look-ahead
// device's watch sees no progress.
//
// What the sink is doing is one AlsaSinkState; every change of it goes through Enter.
// - An underrun (-EPIPE) is recovered with snd_pcm_recover, a suspend (-ESTRPIPE) by preparing
//   the device anew; the frames lost count as heard.
// - A device that holds frames and plays none of them for StuckLimit is dropped, prepared and
//   given the frames not heard again (see AlsaSinkClock.cpp for the sound server that does this).
// - A handle that cannot be prepared is closed and opened again for the next frames; so is one
//   that has played everything and still takes no frames for StallLimit.
// - A device that has held nothing and been given nothing for IdleLimit is prepared anew before
//   the next frames (see AlsaSinkWriting.cpp for the sound server's clock that needs this).
// - Pause uses ALSA's own pause where the device has one and is running. Elsewhere it drops what
//   ALSA holds and writes the frames not yet heard again on Restart (Held); the delay tells them
//   only about as exactly as the device reports it, so a few frames may be heard twice.
// - A device that is disconnected, reports -ENODEV, keeps failing for TroubleLimit or cannot be
//   opened again is lost (Lost): its handle is closed, nothing more is written and no slot
//   finishes, so that the level does not go on rising unheard and the look-ahead device's watch
//   reports the stall; every call still returns at once. Reset tries the device again, and the
//   next Open reports the error (a box).
//
// Every ALSA call is made with `alsaLock` held and never waits for the device to play (the
// PulseAudio plugin does wait for its server's answers, a few milliseconds); Wait sleeps on a
// separate lock, so Wake never waits for ALSA.
class AlsaSink : public PcmSink {
public:
    using Clock = std::chrono::steady_clock;

    // The period asked of ALSA; the buffer has room for every slot (see AlsaSink.cpp).
    static constexpr snd_pcm_uframes_t PeriodFrames = 1024;
    static constexpr auto TroubleLimit = std::chrono::milliseconds(500);
    static constexpr auto StallLimit = std::chrono::milliseconds(100);
    static constexpr auto StuckLimit = std::chrono::milliseconds(300);
    static constexpr auto IdleLimit = std::chrono::milliseconds(100);
    // A slot handed over this long after the one before, within a tone, is traced.
    static constexpr auto LateLimit = std::chrono::milliseconds(75);

    explicit AlsaSink(std::string deviceName = "default");
    AlsaSink(std::string deviceName, std::unique_ptr<AlsaCalls> calls);
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

    // For tests and diagnostics: submitted frames that ALSA has not taken yet; the state.
    std::uint64_t Backlog() const;
    AlsaSinkState State() const;

private:
    // The rest with alsaLock held.
    void Enter(AlsaSinkEvent event);
    // Opens and sets up the device; a winmm result.
    unsigned OpenDevice();
    // Drops what ALSA holds and prepares the handle to play on; closes it where that fails.
    void Drop();
    // The outcome of a prepare: a handle that could not be prepared is closed (opened anew for
    // the next frames), a prepared one counts as just fed. True when it was prepared.
    bool Prepared(int result);
    // Drops what ALSA holds and goes back to the frames heard (as last reckoned): what followed
    // them is written again.
    void Rewind();
    void CloseHandle();
    // Hands ALSA as much of the backlog as it takes, opening the device again where needed.
    void Pump();
    // One attempt of Pump; true when it should be tried once more at once.
    bool WriteBacklog();
    // The device takes no frames; true when its handle was closed to be opened again.
    bool Refused();
    // Frames heard since Open; never goes back (AlsaSinkClock.cpp).
    std::uint64_t Heard();
    std::uint64_t HeardFromDevice();
    // Whether the frames the device holds are still being played; rewinds a device that stopped.
    // `position`: frames written minus the delay, as the device reports it now.
    void WatchProgress(std::int64_t position);
    // After an underrun (-EPIPE) or a suspend (-ESTRPIPE): what ALSA held counts as heard.
    void Recover(int error);
    // An unexpected error: tolerated for TroubleLimit, then the device counts as lost.
    void Trouble(int error);
    void Lose();
    // Forgets the kept frames before `frame`, which will not be written again.
    void Trim(std::uint64_t frame);
    // Milliseconds until the next slot may end or the backlog may fit.
    unsigned NextEvent();

    const std::string deviceName;
    const std::unique_ptr<AlsaCalls> alsa;

    mutable std::mutex alsaLock;
    AlsaSinkState state = AlsaSinkState::Closed;
    snd_pcm_t* pcm = nullptr; // null while playing after it was closed, until frames are written
    unsigned rate = 0;
    std::uint64_t bufferFrames = 0; // asked for
    std::uint64_t periodFrames = 0; // given
    std::uint64_t givenBuffer = 0;  // given
    std::uint32_t slotBytes = 0;
    bool canPause = false;
    std::optional<Clock::time_point> troubleSince; // unexpected errors since
    std::optional<Clock::time_point> refusedSince; // no room, with nothing left to play, since
    Clock::time_point progressAt;      // when the device's position last grew, or it held nothing
    Clock::time_point fedAt;           // when the device last took frames or was prepared
    std::int64_t reached = 0;          // the furthest position it reported since it held nothing
    RunningPosition running;           // the reported position reckoned on by the clock
    std::int64_t reportedPosition = 0; // the device's last report: written minus the delay
    Clock::time_point submittedAt;     // the last Submit, for the trace
    std::uint64_t lookaheadFrames = 0; // every slot's frames: the most it may run ahead
    std::uint64_t written = 0;         // frames ALSA has taken
    std::uint64_t heard = 0;
    std::uint64_t submitted = 0; // frames submitted, written or not
    std::uint64_t keptFrom = 0;  // first frame of `kept`
    std::vector<char> kept;      // frames keptFrom .. submitted, until heard
    std::vector<std::uint64_t> slotEnds;

    std::mutex wakeLock;
    std::condition_variable woken;
    bool wake = false;
};
