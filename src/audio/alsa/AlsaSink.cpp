#include "audio/alsa/AlsaSink.h"

#include "audio/alsa/AlsaDeviceCalls.h"
#include "audio/alsa/AlsaOpenResult.h"
#include "audio/alsa/AlsaTrace.h"

#include <algorithm>
#include <utility>

// The calls of the look-ahead device, opening and dropping. Writing is in AlsaSinkWriting.cpp,
// the position clock in AlsaSinkClock.cpp.
//
// The sizes asked of ALSA: periods of 1024 frames, one buffer of the tones, and room for every
// slot (16384 frames for the look-ahead device), so that a write is never refused while the
// device plays. Behind a sound server, ALSA's pulse plugin makes the buffer the stream's target
// length and the period its minimum request; both servers' logs show a period (4096 bytes) as
// the stream's prebuf, whatever the buffer. A stream that stands still (AlsaSinkClock.cpp
// restarts it) comes from the plugin's delay running slow between rare timing updates (see the
// performance notes, "The servers as they ship"). Smaller sizes were measured: a buffer of 4096
// frames made PulseAudio's stream refuse frames with nothing to play more often and brought an
// underrun on a calm machine, periods of 512 frames holes in the tones; on PipeWire neither kept
// the stream from standing still. The price of this size: where no other stream sets a lower
// latency, PulseAudio sets its sink to about 325 ms.

AlsaSink::AlsaSink(std::string name) : AlsaSink(std::move(name), nullptr) {}

AlsaSink::AlsaSink(std::string name, std::unique_ptr<AlsaCalls> calls)
    : deviceName(std::move(name)),
      alsa(calls ? std::move(calls) : std::make_unique<AlsaDeviceCalls>()) {}

AlsaSink::~AlsaSink() {
    Close();
}

void AlsaSink::Enter(AlsaSinkEvent event) {
    state = NextAlsaSinkState(state, event);
}

unsigned AlsaSink::Open(const WaveFormat& format, int slots, std::uint32_t bytes) {
    std::lock_guard<std::mutex> held(alsaLock);
    if (IsOpen(state)) {
        return WaveErrorAllocated;
    }
    constexpr std::uint32_t FrameBytes = 4; // 16-bit stereo
    if (format.formatTag != WaveFormatPcm || format.channels != 2 || format.bitsPerSample != 16 ||
        format.blockAlign != FrameBytes || format.samplesPerSec == 0) {
        return WaveErrorBadFormat;
    }
    if (slots <= 0 || bytes == 0 || bytes % FrameBytes != 0) {
        return WaveErrorInvalidParam;
    }
    rate = format.samplesPerSec;
    bufferFrames = std::max<std::uint64_t>(static_cast<std::uint64_t>(slots) * (bytes / FrameBytes),
                                           4 * PeriodFrames);
    if (unsigned result = OpenDevice()) {
        return result;
    }
    Enter(AlsaSinkEvent::Opened);
    slotBytes = bytes;
    lookaheadFrames = static_cast<std::uint64_t>(slots) * (bytes / FrameBytes);
    troubleSince.reset();
    refusedSince.reset();
    progressAt = Clock::now();
    running.Forget(); // the reports start afresh
    written = heard = submitted = keptFrom = 0;
    kept.clear();
    kept.reserve(static_cast<std::size_t>(slots) * bytes);
    slotEnds.assign(static_cast<std::size_t>(slots), 0);
    return WaveOk;
}

unsigned AlsaSink::OpenDevice() {
    snd_pcm_t* opened = nullptr;
    int error = alsa->Open(&opened, deviceName.c_str());
    if (error < 0) {
        return AlsaOpenResult(AlsaOpenStep::Device, error);
    }
    AlsaSetup setup;
    setup.rate = rate;
    setup.period = PeriodFrames;
    setup.buffer = static_cast<snd_pcm_uframes_t>(bufferFrames);
    error = alsa->Configure(opened, setup);
    if (error < 0) {
        alsa->Close(opened);
        return AlsaOpenResult(AlsaOpenStep::Format, error);
    }
    pcm = opened;
    fedAt = Clock::now();
    periodFrames = setup.period > 0 ? setup.period : PeriodFrames;
    givenBuffer = setup.buffer;
    canPause = setup.canPause;
    return WaveOk;
}

unsigned AlsaSink::Submit(int slot, const char* data, std::uint32_t bytes) {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!IsOpen(state)) {
        return WaveErrorInvalidHandle;
    }
    if (slot < 0 || static_cast<std::size_t>(slot) >= slotEnds.size() || bytes > slotBytes ||
        bytes % 4 != 0 || (bytes > 0 && data == nullptr)) {
        return WaveErrorInvalidParam;
    }
    const Clock::time_point now = Clock::now();
    if (submitted == heard) {
        // Nothing left to play: a tone starts (its pause is over), or the frames came late.
        TraceAlsa("starts: frames from %llu handed over", static_cast<unsigned long long>(heard));
    } else if (now - submittedAt > LateLimit) {
        const auto late = std::chrono::duration_cast<std::chrono::milliseconds>(now - submittedAt);
        TraceAlsa("late: %lld ms after the frames before; heard %llu, written %llu, reported %lld",
                  static_cast<long long>(late.count()), static_cast<unsigned long long>(heard),
                  static_cast<unsigned long long>(written),
                  static_cast<long long>(reportedPosition));
    }
    submittedAt = now;
    kept.insert(kept.end(), data, data + bytes);
    submitted += bytes / 4;
    slotEnds[static_cast<std::size_t>(slot)] = submitted;
    Pump();
    return WaveOk;
}

bool AlsaSink::Finished(int slot) {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!IsOpen(state) || slot < 0 || static_cast<std::size_t>(slot) >= slotEnds.size()) {
        return true;
    }
    Pump();
    return Heard() >= slotEnds[static_cast<std::size_t>(slot)];
}

unsigned AlsaSink::Pause() {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!IsOpen(state)) {
        return WaveErrorInvalidHandle;
    }
    if (IsPaused(state)) {
        return WaveOk;
    }
    if (state == AlsaSinkState::Playing && pcm != nullptr && canPause &&
        alsa->State(pcm) == SND_PCM_STATE_RUNNING && alsa->Pause(pcm, 1) == 0) {
        Enter(AlsaSinkEvent::PausedByAlsa);
        return WaveOk;
    }
    Heard(); // what was heard up to the pause
    if (state == AlsaSinkState::Playing) {
        Rewind(); // what was not heard yet is written again on Restart
    }
    Enter(AlsaSinkEvent::PausedByDrop);
    return WaveOk;
}

unsigned AlsaSink::Restart() {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!IsOpen(state)) {
        return WaveErrorInvalidHandle;
    }
    if (!IsPaused(state)) {
        return WaveOk;
    }
    if (state == AlsaSinkState::Paused && pcm != nullptr && alsa->Pause(pcm, 0) < 0) {
        Drop(); // suspended or broken while paused: what ALSA held is lost
        heard = std::max(heard, written);
    }
    Enter(AlsaSinkEvent::Restarted);
    progressAt = Clock::now();
    running.Forget(); // the reports start afresh
    Pump();
    return WaveOk;
}

unsigned AlsaSink::Reset() {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!IsOpen(state)) {
        return WaveErrorInvalidHandle;
    }
    Drop();
    Enter(AlsaSinkEvent::ResetDone);
    troubleSince.reset();
    refusedSince.reset();
    progressAt = Clock::now();
    running.Forget(); // the reports start afresh
    // Everything submitted counts as heard, whether ALSA had it or not.
    written = heard = keptFrom = submitted;
    kept.clear();
    return WaveOk;
}

unsigned AlsaSink::Close() {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!IsOpen(state)) {
        return WaveErrorInvalidHandle;
    }
    int error = 0;
    if (pcm != nullptr) {
        alsa->Drop(pcm);
        error = alsa->Close(pcm);
        pcm = nullptr;
    }
    Enter(AlsaSinkEvent::ClosedDown);
    kept.clear();
    kept.shrink_to_fit();
    slotEnds.clear();
    return error < 0 ? WaveErrorError : WaveOk;
}

void AlsaSink::Wait(unsigned milliseconds) {
    unsigned timeout = milliseconds;
    {
        std::lock_guard<std::mutex> held(alsaLock);
        if (IsOpen(state)) {
            timeout = std::min(timeout, NextEvent());
        }
    }
    std::unique_lock<std::mutex> held(wakeLock);
    woken.wait_for(held, std::chrono::milliseconds(timeout), [this] { return wake; });
    wake = false;
}

void AlsaSink::Wake() {
    std::lock_guard<std::mutex> held(wakeLock);
    wake = true;
    woken.notify_all();
}

std::uint64_t AlsaSink::Backlog() const {
    std::lock_guard<std::mutex> held(alsaLock);
    return submitted - written;
}

AlsaSinkState AlsaSink::State() const {
    std::lock_guard<std::mutex> held(alsaLock);
    return state;
}

void AlsaSink::Drop() {
    if (pcm != nullptr) {
        alsa->Drop(pcm);
        Prepared(alsa->Prepare(pcm));
    }
}

bool AlsaSink::Prepared(int result) {
    if (result < 0) {
        CloseHandle(); // opened anew for the next frames
        return false;
    }
    fedAt = Clock::now();
    return true;
}

void AlsaSink::Rewind() {
    Drop();
    written = heard;
    progressAt = Clock::now();
    running.Forget(); // the reports start afresh
}

void AlsaSink::CloseHandle() {
    if (pcm != nullptr) {
        alsa->Drop(pcm);
        alsa->Close(pcm);
        pcm = nullptr;
    }
}
