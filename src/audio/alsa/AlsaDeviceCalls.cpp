#include "audio/alsa/AlsaDeviceCalls.h"

#include <poll.h>

#include <cstdlib>
#include <mutex>

namespace {

// ALSA's library writes its own complaints (no card, no server) to standard error. The user
// learns of a device that cannot be opened from the program's box, so they are left out; with
// LIBASOUND_DEBUG set they are kept, for someone looking into a sound setup.
void QuietLibraryMessages(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void SilenceAlsaLibraryMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (std::getenv("LIBASOUND_DEBUG") == nullptr) {
            snd_lib_error_set_handler(QuietLibraryMessages);
        }
    });
}

int AlsaDeviceCalls::Open(snd_pcm_t** pcm, const char* name) {
    SilenceAlsaLibraryMessages();
    return snd_pcm_open(pcm, name, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
}

int AlsaDeviceCalls::Configure(snd_pcm_t* pcm, AlsaSetup& setup) {
    snd_pcm_hw_params_t* hardware = nullptr;
    snd_pcm_hw_params_alloca(&hardware);
    int error = snd_pcm_hw_params_any(pcm, hardware);
    if (error >= 0) {
        // Resampled by ALSA where the device needs another rate.
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
        error = snd_pcm_hw_params_set_rate(pcm, hardware, setup.rate, 0);
    }
    if (error < 0) {
        return error;
    }
    // Sizes the device cannot give are left to it: the nearest it has will do.
    int direction = 0;
    snd_pcm_hw_params_set_period_size_near(pcm, hardware, &setup.period, &direction);
    snd_pcm_hw_params_set_buffer_size_near(pcm, hardware, &setup.buffer);
    error = snd_pcm_hw_params(pcm, hardware);
    if (error < 0) {
        return error;
    }
    snd_pcm_hw_params_get_period_size(hardware, &setup.period, &direction);
    snd_pcm_hw_params_get_buffer_size(hardware, &setup.buffer);
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

bool AlsaDeviceCalls::Writable(snd_pcm_t* pcm) {
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
