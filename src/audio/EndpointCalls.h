#pragma once

#include <cstdint>

// What EndpointOutputVolume asks of Windows' default render endpoint, each call shaped like the
// COM call it stands for (results are HRESULTs, negative for a failure), so that the Windows
// adapter forwards them and a test puts an endpoint of its own behind it. All calls come from
// one thread, the watch's.
class EndpointCalls {
public:
    virtual ~EndpointCalls() = default;
    // CoInitializeEx for the calling thread, then the device enumerator's default render
    // endpoint (eRender, eConsole) activated for IAudioEndpointVolume.
    virtual std::int32_t Activate() = 0;
    // IAudioEndpointVolume::GetMute and GetMasterVolumeLevelScalar.
    virtual std::int32_t GetMute(bool& muted) = 0;
    virtual std::int32_t GetMasterVolumeLevelScalar(float& level) = 0;
    // Releases what Activate got, and the thread's COM.
    virtual void Release() = 0;
};
