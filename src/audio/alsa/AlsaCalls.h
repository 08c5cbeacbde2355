#pragma once

#include <alsa/asoundlib.h>

// What the sink asks of a PCM when it sets it up.
struct AlsaSetup {
    unsigned rate = 0;
    snd_pcm_uframes_t period = 0; // asked for, then given
    snd_pcm_uframes_t buffer = 0; // asked for, then given
    bool canPause = false;        // given
};

// The ALSA calls AlsaSink makes, each shaped like the library call it stands for, so that the
// real adapter (AlsaDeviceCalls) forwards them one to one and a test can put a device of its own
// behind the sink: one that runs dry, is suspended, disappears or stops playing. Results are
// ALSA's: negative errno values for errors.
class AlsaCalls {
public:
    virtual ~AlsaCalls() = default;

    // snd_pcm_open for playback, non-blocking.
    virtual int Open(snd_pcm_t** pcm, const char* name) = 0;
    // The hardware and software parameters: 16-bit stereo interleaved at setup.rate, about
    // setup.period frames a period and setup.buffer frames in all (the nearest the device has),
    // starting with the first frame written. Fills in what was given.
    virtual int Configure(snd_pcm_t* pcm, AlsaSetup& setup) = 0;
    virtual int Close(snd_pcm_t* pcm) = 0;
    virtual snd_pcm_sframes_t Write(snd_pcm_t* pcm, const void* frames,
                                    snd_pcm_uframes_t count) = 0;
    virtual int Delay(snd_pcm_t* pcm, snd_pcm_sframes_t* frames) = 0;
    virtual snd_pcm_state_t State(snd_pcm_t* pcm) = 0;
    virtual int Drop(snd_pcm_t* pcm) = 0;
    virtual int Prepare(snd_pcm_t* pcm) = 0;
    // snd_pcm_recover, silent.
    virtual int Recover(snd_pcm_t* pcm, int error) = 0;
    virtual int Pause(snd_pcm_t* pcm, int enable) = 0;
    // Whether the device reports room for frames now: its poll descriptors, without waiting.
    virtual bool Writable(snd_pcm_t* pcm) = 0;
    // snd_pcm_avail: the room for frames now, as the device last told it.
    virtual snd_pcm_sframes_t Avail(snd_pcm_t* pcm) = 0;
};
