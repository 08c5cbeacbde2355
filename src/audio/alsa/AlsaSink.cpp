#include "audio/alsa/AlsaSink.h"

#include "audio/alsa/AlsaOpenResult.h"

#include <alsa/asoundlib.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace {

constexpr std::uint32_t FrameBytes = 4; // 16-bit stereo
constexpr snd_pcm_uframes_t PeriodFrames = 1024;
// Kept frames are moved to the front of their store once this many have been heard.
constexpr std::uint64_t TrimFrames = 4096;
// How long unexpected errors may go on before the device counts as gone.
constexpr auto TroubleLimit = std::chrono::milliseconds(500);
// How long a device that has played everything may refuse more before it is opened again.
constexpr auto StallLimit = std::chrono::milliseconds(100);

// ALSA's library writes its own complaints (no card, no server) to standard error. The user
// learns of a device that cannot be opened from the program's box, so they are left out; with
// LIBASOUND_DEBUG set they are kept, for someone looking into a sound setup.
void QuietLibraryMessages(const char*, int, const char*, int, const char*, ...) {}

void SilenceLibraryMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (std::getenv("LIBASOUND_DEBUG") == nullptr) {
            snd_lib_error_set_handler(QuietLibraryMessages);
        }
    });
}

// Whether the device reports room for frames now (POLLOUT, without waiting), as ALSA's own
// programs ask before they write. The PulseAudio plugin reckons its ring from the server's
// requests, and a write before the server has asked for anything can throw its count off.
bool Writable(snd_pcm_t* pcm) {
    pollfd descriptors[8];
    const int count = snd_pcm_poll_descriptors(pcm, descriptors, 8);
    if (count <= 0) {
        return true;
    }
    poll(descriptors, static_cast<nfds_t>(count), 0);
    unsigned short events = 0;
    if (snd_pcm_poll_descriptors_revents(pcm, descriptors, static_cast<unsigned>(count), &events) <
        0) {
        return true; // the write reports what is wrong
    }
    return (events & (POLLOUT | POLLERR)) != 0;
}

struct Setup {
    unsigned rate;
    snd_pcm_uframes_t period;
    bool canPause;
};

// Sets 16-bit stereo interleaved at `rate` (resampled by ALSA where the device needs it), a
// period of about 1024 frames and room for every slot; starts as soon as anything is written.
// A negative errno on failure.
int Configure(snd_pcm_t* pcm, unsigned rate, snd_pcm_uframes_t bufferFrames, Setup& setup) {
    snd_pcm_hw_params_t* hardware = nullptr;
    snd_pcm_hw_params_alloca(&hardware);
    int error = snd_pcm_hw_params_any(pcm, hardware);
    if (error >= 0) {
        error = snd_pcm_hw_params_set_rate_resample(pcm, hardware, 1);
    }
    if (error >= 0) {
        error = snd_pcm_hw_params_set_access(pcm, hardware, SND_PCM_ACCESS_RW_INTERLEAVED);
    }
    if (error >= 0) {
        error = snd_pcm_hw_params_set_format(pcm, hardware, SND_PCM_FORMAT_S16_LE);
    }
    if (error >= 0) {
        error = snd_pcm_hw_params_set_channels(pcm, hardware, 2);
    }
    if (error >= 0) {
        error = snd_pcm_hw_params_set_rate(pcm, hardware, rate, 0);
    }
    if (error < 0) {
        return error;
    }
    // Sizes the device cannot give are left to it: the nearest it has will do.
    snd_pcm_uframes_t period = PeriodFrames;
    int direction = 0;
    snd_pcm_hw_params_set_period_size_near(pcm, hardware, &period, &direction);
    snd_pcm_uframes_t buffer = std::max<snd_pcm_uframes_t>(bufferFrames, 4 * PeriodFrames);
    snd_pcm_hw_params_set_buffer_size_near(pcm, hardware, &buffer);
    error = snd_pcm_hw_params(pcm, hardware);
    if (error < 0) {
        return error;
    }
    snd_pcm_hw_params_get_period_size(hardware, &period, &direction);
    setup.rate = rate;
    setup.period = period > 0 ? period : PeriodFrames;
    setup.canPause = snd_pcm_hw_params_can_pause(hardware) != 0;

    snd_pcm_sw_params_t* software = nullptr;
    snd_pcm_sw_params_alloca(&software);
    error = snd_pcm_sw_params_current(pcm, software);
    if (error >= 0) {
        error = snd_pcm_sw_params_set_start_threshold(pcm, software, 1);
    }
    if (error >= 0) {
        error = snd_pcm_sw_params_set_avail_min(pcm, software, setup.period);
    }
    if (error >= 0) {
        error = snd_pcm_sw_params(pcm, software);
    }
    return error < 0 ? error : 0;
}

} // namespace

AlsaSink::AlsaSink(std::string name) : deviceName(std::move(name)) {}

AlsaSink::~AlsaSink() {
    Close();
}

unsigned AlsaSink::Open(const WaveFormat& format, int slots, std::uint32_t bytes) {
    std::lock_guard<std::mutex> held(alsaLock);
    if (open) {
        return WaveErrorAllocated;
    }
    if (format.formatTag != WaveFormatPcm || format.channels != 2 || format.bitsPerSample != 16 ||
        format.blockAlign != FrameBytes || format.samplesPerSec == 0) {
        return WaveErrorBadFormat;
    }
    if (slots <= 0 || bytes == 0 || bytes % FrameBytes != 0) {
        return WaveErrorInvalidParam;
    }
    rate = format.samplesPerSec;
    // Room for every slot, so that a write is never refused while the device plays.
    bufferFrames = static_cast<std::uint64_t>(slots) * (bytes / FrameBytes);
    if (unsigned result = OpenDevice()) {
        return result;
    }
    open = true;
    slotBytes = bytes;
    paused = pausedByAlsa = failed = troubled = stalled = false;
    written = heard = submitted = keptFrom = 0;
    kept.clear();
    kept.reserve(static_cast<std::size_t>(slots) * bytes);
    slotEnds.assign(static_cast<std::size_t>(slots), 0);
    return WaveOk;
}

unsigned AlsaSink::OpenDevice() {
    SilenceLibraryMessages();
    snd_pcm_t* opened = nullptr;
    int error =
        snd_pcm_open(&opened, deviceName.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
        return AlsaOpenResult(AlsaOpenStep::Device, error);
    }
    Setup setup{};
    error = Configure(opened, rate, static_cast<snd_pcm_uframes_t>(bufferFrames), setup);
    if (error < 0) {
        snd_pcm_close(opened);
        return AlsaOpenResult(AlsaOpenStep::Format, error);
    }
    pcm = opened;
    periodFrames = setup.period;
    canPause = setup.canPause;
    return WaveOk;
}

unsigned AlsaSink::Submit(int slot, const char* data, std::uint32_t bytes) {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!open) {
        return WaveErrorInvalidHandle;
    }
    if (slot < 0 || static_cast<std::size_t>(slot) >= slotEnds.size() || bytes > slotBytes ||
        bytes % FrameBytes != 0 || (bytes > 0 && data == nullptr)) {
        return WaveErrorInvalidParam;
    }
    kept.insert(kept.end(), data, data + bytes);
    submitted += bytes / FrameBytes;
    slotEnds[static_cast<std::size_t>(slot)] = submitted;
    Pump();
    return WaveOk;
}

bool AlsaSink::Finished(int slot) {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!open || slot < 0 || static_cast<std::size_t>(slot) >= slotEnds.size()) {
        return true;
    }
    Pump();
    return Heard() >= slotEnds[static_cast<std::size_t>(slot)];
}

unsigned AlsaSink::Pause() {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!open) {
        return WaveErrorInvalidHandle;
    }
    if (paused) {
        return WaveOk;
    }
    if (pcm != nullptr && canPause && snd_pcm_state(pcm) == SND_PCM_STATE_RUNNING &&
        snd_pcm_pause(pcm, 1) == 0) {
        paused = pausedByAlsa = true;
        return WaveOk;
    }
    // Without ALSA's pause: what was not heard yet is written again on Restart.
    const std::uint64_t resumeAt = Heard();
    if (!failed) {
        Drop();
        written = heard = resumeAt;
    }
    paused = true;
    return WaveOk;
}

unsigned AlsaSink::Restart() {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!open) {
        return WaveErrorInvalidHandle;
    }
    if (!paused) {
        return WaveOk;
    }
    if (pausedByAlsa && pcm != nullptr && snd_pcm_pause(pcm, 0) < 0) {
        Drop(); // suspended or broken while paused: what ALSA held is lost
        heard = std::max(heard, written);
    }
    paused = pausedByAlsa = false;
    clockAt = Clock::now();
    Pump();
    return WaveOk;
}

unsigned AlsaSink::Reset() {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!open) {
        return WaveErrorInvalidHandle;
    }
    if (!failed) {
        Drop();
    }
    paused = pausedByAlsa = failed = troubled = stalled = false;
    // Everything submitted counts as heard, whether ALSA had it or not.
    written = heard = keptFrom = submitted;
    kept.clear();
    return WaveOk;
}

unsigned AlsaSink::Close() {
    std::lock_guard<std::mutex> held(alsaLock);
    if (!open) {
        return WaveErrorInvalidHandle;
    }
    int error = 0;
    if (pcm != nullptr) {
        snd_pcm_drop(pcm);
        error = snd_pcm_close(pcm);
        pcm = nullptr;
    }
    open = false;
    kept.clear();
    kept.shrink_to_fit();
    slotEnds.clear();
    return error < 0 ? WaveErrorError : WaveOk;
}

void AlsaSink::Wait(unsigned milliseconds) {
    unsigned timeout = milliseconds;
    {
        std::lock_guard<std::mutex> held(alsaLock);
        if (open) {
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

void AlsaSink::Drop() {
    if (pcm != nullptr) {
        snd_pcm_drop(pcm);
        if (snd_pcm_prepare(pcm) < 0) {
            CloseHandle();
        }
    }
}

void AlsaSink::CloseHandle() {
    if (pcm != nullptr) {
        snd_pcm_drop(pcm);
        snd_pcm_close(pcm);
        pcm = nullptr;
    }
}

void AlsaSink::Pump(bool mayRecover) {
    if (!open || paused) {
        return;
    }
    if (failed) {
        written = submitted; // nothing is played any more; the clock counts it off
        Trim(heard);
        return;
    }
    Trim(heard);
    if (written == submitted) {
        return;
    }
    if (pcm == nullptr && OpenDevice() != WaveOk) {
        Fail();
        Pump();
        return;
    }
    if (!Writable(pcm)) {
        Stalled(mayRecover);
        return;
    }
    while (written < submitted) {
        const std::size_t offset = static_cast<std::size_t>(written - keptFrom) * FrameBytes;
        const snd_pcm_sframes_t taken = snd_pcm_writei(
            pcm, kept.data() + offset, static_cast<snd_pcm_uframes_t>(submitted - written));
        if (taken == -EAGAIN || taken == 0) {
            troubled = false;
            Stalled(mayRecover); // full: the rest is written when there is room
            return;
        }
        if (taken == -EPIPE || taken == -ESTRPIPE) {
            Recover(static_cast<int>(taken));
            if (mayRecover) {
                Pump(false); // once: a device that fails again at once is tried on the next call
            }
            return;
        }
        if (taken < 0) {
            Trouble();
            return;
        }
        troubled = false;
        stalled = false;
        written += static_cast<std::uint64_t>(taken);
    }
}

void AlsaSink::Stalled(bool mayRecover) {
    if (Heard() < written || pcm == nullptr) {
        stalled = false; // still playing: room comes as it plays
        return;
    }
    const Clock::time_point now = Clock::now();
    if (!stalled) {
        stalled = true;
        stalledSince = now;
    } else if (now - stalledSince >= StallLimit) {
        stalled = false;
        CloseHandle(); // opened anew for the next frames
        if (mayRecover) {
            Pump(false);
        }
    }
}

std::uint64_t AlsaSink::Heard() {
    if (!open) {
        return heard;
    }
    if (failed) {
        const Clock::time_point now = Clock::now();
        if (paused) {
            clockAt = now;
            return heard;
        }
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::nanoseconds>(now - clockAt).count();
        const auto due = static_cast<std::uint64_t>(elapsed) * rate / 1000000000u;
        if (heard + due >= written) {
            heard = written;
            clockAt = now;
        } else {
            heard += due;
            clockAt += std::chrono::nanoseconds(due * 1000000000u / rate);
        }
        return heard;
    }
    if (pcm == nullptr) {
        heard = std::max(heard, written); // dropped: ALSA holds nothing
        return heard;
    }
    switch (snd_pcm_state(pcm)) {
    case SND_PCM_STATE_RUNNING:
    case SND_PCM_STATE_PAUSED:
    case SND_PCM_STATE_DRAINING:
        break;
    case SND_PCM_STATE_PREPARED:
        // Starts with the first frame written, so nothing was written since it was prepared.
        heard = std::max(heard, written);
        return heard;
    case SND_PCM_STATE_DISCONNECTED:
        Fail();
        return Heard();
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
    const int error = snd_pcm_delay(pcm, &delay);
    if (error == -EPIPE || error == -ESTRPIPE) {
        Recover(error);
        return heard;
    }
    if (error < 0) {
        Trouble();
        return failed ? Heard() : heard;
    }
    troubled = false;
    // Some devices report a negative delay after running dry; a delay past what was written is
    // the device's own latency before anything was heard.
    const std::uint64_t inDevice = static_cast<std::uint64_t>(
        std::clamp<snd_pcm_sframes_t>(delay, 0, static_cast<snd_pcm_sframes_t>(written)));
    heard = std::max(heard, written - inDevice);
    return heard;
}

void AlsaSink::Recover(int error) {
    // Not snd_pcm_recover for a suspend: it would sleep until the device resumes. Prepared
    // anew, the device plays on at once and what it held is lost.
    const int result = error == -EPIPE ? snd_pcm_recover(pcm, error, 1) : snd_pcm_prepare(pcm);
    if (result < 0) {
        CloseHandle(); // opened anew for the next frames
    }
    heard = std::max(heard, written); // run dry or lost: heard either way
}

void AlsaSink::Trouble() {
    const Clock::time_point now = Clock::now();
    if (!troubled) {
        troubled = true;
        troubleSince = now;
    } else if (now - troubleSince >= TroubleLimit) {
        Fail();
    }
}

void AlsaSink::Fail() {
    CloseHandle();
    failed = true;
    troubled = false;
    clockAt = Clock::now();
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

unsigned AlsaSink::NextEvent() {
    if (paused) {
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
    if (written < submitted || troubled) {
        milliseconds = std::min<std::uint64_t>(milliseconds, periodFrames * 500 / rate);
    }
    return static_cast<unsigned>(std::max<std::uint64_t>(milliseconds, 1));
}
