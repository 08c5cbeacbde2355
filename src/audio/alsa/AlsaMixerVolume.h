#pragma once

#include "audio/OutputVolume.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <string>

// The volume of ALSA's output as its mixer shows it: the playback switch and volume of the
// "Master" control of the card the program plays to. With the pulse plugin, ALSA's "default"
// card is the sound server and its "Master" the server's default sink, which is where the
// program's stream goes; a desktop's mute key or volume slider shows there. A card without such
// a control cannot say.
//
// The mixer stays open between queries and takes the card's change events before each one; an
// error closes it, and a later query opens it again (a restarted sound server); after a failed
// open not before a second has passed, since the watch asks fifty times a second in a run.
class AlsaMixerVolume : public OutputVolume {
public:
    explicit AlsaMixerVolume(std::string card = "default");
    ~AlsaMixerVolume() override;
    AlsaMixerVolume(const AlsaMixerVolume&) = delete;
    AlsaMixerVolume& operator=(const AlsaMixerVolume&) = delete;

    OutputLoudness Query() override;

private:
    bool OpenMixer();
    void CloseMixer();

    const std::string card;
    snd_mixer_t* mixer = nullptr;
    snd_mixer_elem_t* master = nullptr;
    std::chrono::steady_clock::time_point nextOpen{};
};
