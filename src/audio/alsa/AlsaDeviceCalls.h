#pragma once

#include "audio/alsa/AlsaCalls.h"

// ALSA's own complaints on standard error are left out (see AlsaDeviceCalls.cpp); the mixer
// calls them first as well.
void SilenceAlsaLibraryMessages();

// AlsaCalls over the ALSA library itself.
class AlsaDeviceCalls : public AlsaCalls {
public:
    int Open(snd_pcm_t** pcm, const char* name) override;
    int Configure(snd_pcm_t* pcm, AlsaSetup& setup) override;
    int Close(snd_pcm_t* pcm) override { return snd_pcm_close(pcm); }
    snd_pcm_sframes_t Write(snd_pcm_t* pcm, const void* frames, snd_pcm_uframes_t count) override {
        return snd_pcm_writei(pcm, frames, count);
    }
    int Delay(snd_pcm_t* pcm, snd_pcm_sframes_t* frames) override {
        return snd_pcm_delay(pcm, frames);
    }
    snd_pcm_state_t State(snd_pcm_t* pcm) override { return snd_pcm_state(pcm); }
    int Drop(snd_pcm_t* pcm) override { return snd_pcm_drop(pcm); }
    int Prepare(snd_pcm_t* pcm) override { return snd_pcm_prepare(pcm); }
    int Recover(snd_pcm_t* pcm, int error) override { return snd_pcm_recover(pcm, error, 1); }
    int Pause(snd_pcm_t* pcm, int enable) override { return snd_pcm_pause(pcm, enable); }
    bool Writable(snd_pcm_t* pcm) override;
    snd_pcm_sframes_t Avail(snd_pcm_t* pcm) override { return snd_pcm_avail(pcm); }
};
