#pragma once

#include "audio/EndpointCalls.h"
#include "audio/OutputVolume.h"

#include <memory>

// The volume of Windows' default render endpoint, where winmm's default device plays: muted,
// or its master level at 0, is silent. The endpoint is kept between queries; a failing call
// (the default device changed or went away) releases it, and the next query takes the new one.
class EndpointOutputVolume : public OutputVolume {
public:
    explicit EndpointOutputVolume(std::unique_ptr<EndpointCalls> calls);
    ~EndpointOutputVolume() override;
    EndpointOutputVolume(const EndpointOutputVolume&) = delete;
    EndpointOutputVolume& operator=(const EndpointOutputVolume&) = delete;

    OutputLoudness Query() override;

private:
    const std::unique_ptr<EndpointCalls> endpoint;
    bool active = false;
};
