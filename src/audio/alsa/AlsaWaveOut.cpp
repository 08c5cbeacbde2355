#include "audio/alsa/AlsaWaveOut.h"

#include "audio/alsa/AlsaSink.h"

#include <memory>
#include <utility>

AlsaWaveOut::AlsaWaveOut(std::string deviceName)
    : LookaheadWaveOut(std::make_unique<AlsaSink>(std::move(deviceName))) {}
