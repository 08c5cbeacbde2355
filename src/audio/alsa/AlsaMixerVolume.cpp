#include "audio/alsa/AlsaMixerVolume.h"

#include "audio/alsa/AlsaDeviceCalls.h"

#include <utility>

AlsaMixerVolume::AlsaMixerVolume(std::string cardName) : card(std::move(cardName)) {}

AlsaMixerVolume::~AlsaMixerVolume() {
    CloseMixer();
}

bool AlsaMixerVolume::OpenMixer() {
    SilenceAlsaLibraryMessages();
    if (snd_mixer_open(&mixer, 0) < 0) {
        mixer = nullptr;
        return false;
    }
    if (snd_mixer_attach(mixer, card.c_str()) < 0 ||
        snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
        CloseMixer();
        return false;
    }
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, "Master");
    snd_mixer_selem_id_set_index(id, 0);
    master = snd_mixer_find_selem(mixer, id);
    if (master == nullptr) {
        CloseMixer();
        return false;
    }
    return true;
}

void AlsaMixerVolume::CloseMixer() {
    if (mixer != nullptr) {
        snd_mixer_close(mixer);
    }
    mixer = nullptr;
    master = nullptr;
}

OutputLoudness AlsaMixerVolume::Query() {
    if (mixer == nullptr) {
        const auto now = std::chrono::steady_clock::now();
        if (now < nextOpen) {
            return OutputLoudness::Unknown;
        }
        if (!OpenMixer()) {
            nextOpen = now + std::chrono::seconds(1);
            return OutputLoudness::Unknown;
        }
    }
    // Takes the changes the card announced since the last query (the values are kept by the
    // mixer and refreshed by its events).
    if (snd_mixer_handle_events(mixer) < 0) {
        CloseMixer();
        return OutputLoudness::Unknown;
    }
    long minimum = 0;
    long maximum = 0;
    const bool hasSwitch = snd_mixer_selem_has_playback_switch(master) != 0;
    const bool hasVolume =
        snd_mixer_selem_has_playback_volume(master) != 0 &&
        snd_mixer_selem_get_playback_volume_range(master, &minimum, &maximum) >= 0 &&
        maximum > minimum;
    if (!hasSwitch && !hasVolume) {
        return OutputLoudness::Unknown;
    }
    // Silent only when no channel can sound: a tone plays into one channel, and a balance
    // turned to one side is no muted output.
    bool anyChannel = false;
    for (int channel = SND_MIXER_SCHN_FRONT_LEFT; channel <= SND_MIXER_SCHN_LAST; ++channel) {
        const auto which = static_cast<snd_mixer_selem_channel_id_t>(channel);
        if (!snd_mixer_selem_has_playback_channel(master, which)) {
            continue;
        }
        anyChannel = true;
        int on = 1;
        long volume = maximum;
        if ((hasSwitch && snd_mixer_selem_get_playback_switch(master, which, &on) < 0) ||
            (hasVolume && snd_mixer_selem_get_playback_volume(master, which, &volume) < 0)) {
            CloseMixer();
            return OutputLoudness::Unknown;
        }
        if (on != 0 && volume > minimum) {
            return OutputLoudness::Audible;
        }
    }
    return anyChannel ? OutputLoudness::Silent : OutputLoudness::Unknown;
}
