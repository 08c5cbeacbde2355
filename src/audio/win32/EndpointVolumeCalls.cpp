#include "audio/win32/EndpointVolumeCalls.h"

#include <mmdeviceapi.h>

namespace {

// Defined here, so that no GUID library is needed.
constexpr CLSID DeviceEnumeratorClass = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
constexpr IID DeviceEnumeratorInterface = {
    0xa95664d2, 0x9614, 0x4f35, {0xa7, 0x46, 0xde, 0x8d, 0xb6, 0x36, 0x17, 0xe6}};
constexpr IID EndpointVolumeInterface = {
    0x5cdf2c82, 0x841e, 0x4546, {0x97, 0x22, 0x0c, 0xf7, 0x40, 0x78, 0x22, 0x9a}};

} // namespace

std::int32_t EndpointVolumeCalls::Activate() {
    HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(result)) {
        return result;
    }
    comStarted = true;
    IMMDeviceEnumerator* devices = nullptr;
    result = CoCreateInstance(DeviceEnumeratorClass, nullptr, CLSCTX_ALL, DeviceEnumeratorInterface,
                              reinterpret_cast<void**>(&devices));
    if (FAILED(result)) {
        return result;
    }
    IMMDevice* endpoint = nullptr;
    result = devices->GetDefaultAudioEndpoint(eRender, eConsole, &endpoint);
    devices->Release();
    if (FAILED(result)) {
        return result;
    }
    result = endpoint->Activate(EndpointVolumeInterface, CLSCTX_ALL, nullptr,
                                reinterpret_cast<void**>(&volume));
    endpoint->Release();
    return result;
}

std::int32_t EndpointVolumeCalls::GetMute(bool& muted) {
    BOOL value = FALSE;
    const HRESULT result = volume->GetMute(&value);
    muted = value != FALSE;
    return result;
}

std::int32_t EndpointVolumeCalls::GetMasterVolumeLevelScalar(float& level) {
    return volume->GetMasterVolumeLevelScalar(&level);
}

void EndpointVolumeCalls::Release() {
    if (volume != nullptr) {
        volume->Release();
        volume = nullptr;
    }
    if (comStarted) {
        CoUninitialize();
        comStarted = false;
    }
}
