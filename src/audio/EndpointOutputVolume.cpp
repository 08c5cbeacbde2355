#include "audio/EndpointOutputVolume.h"

#include <utility>

EndpointOutputVolume::EndpointOutputVolume(std::unique_ptr<EndpointCalls> calls)
    : endpoint(std::move(calls)) {}

EndpointOutputVolume::~EndpointOutputVolume() {
    if (active) {
        endpoint->Release();
    }
}

OutputLoudness EndpointOutputVolume::Query() {
    if (!active) {
        if (endpoint->Activate() < 0) {
            endpoint->Release(); // whatever part of it succeeded
            return OutputLoudness::Unknown;
        }
        active = true;
    }
    bool muted = false;
    float level = 1.0f;
    if (endpoint->GetMute(muted) < 0 || endpoint->GetMasterVolumeLevelScalar(level) < 0) {
        endpoint->Release();
        active = false;
        return OutputLoudness::Unknown;
    }
    return muted || level <= 0.0f ? OutputLoudness::Silent : OutputLoudness::Audible;
}
