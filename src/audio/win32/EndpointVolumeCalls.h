#pragma once

#include "audio/EndpointCalls.h"

#include <windows.h>

#include <endpointvolume.h>

// EndpointCalls over Core Audio. mmdevapi is reached through COM, so nothing is imported.
//
// Under Wine 8 with PulseAudio the endpoint does not follow the sound server (checked): with the
// default sink muted (pactl set-sink-mute) or at 0 %, Activate succeeds, GetMute answers FALSE
// and GetMasterVolumeLevelScalar 1.0. So tonolot.exe under Wine sees an audible output there and
// runs as it did without the question; a muted Windows endpoint is what it can tell.
class EndpointVolumeCalls : public EndpointCalls {
public:
    std::int32_t Activate() override;
    std::int32_t GetMute(bool& muted) override;
    std::int32_t GetMasterVolumeLevelScalar(float& level) override;
    void Release() override;

private:
    IAudioEndpointVolume* volume = nullptr;
    bool comStarted = false;
};
