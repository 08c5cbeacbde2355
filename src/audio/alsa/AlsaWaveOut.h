#pragma once

#include "audio/LookaheadWaveOut.h"

#include <string>

// ALSA's default playback device behind the seam: our own 32-deep queue, about four buffers with
// ALSA at a time, copied when they are handed over (see LookaheadWaveOut and AlsaSink). Tests
// name another device.
class AlsaWaveOut : public LookaheadWaveOut {
public:
    explicit AlsaWaveOut(std::string deviceName = "default");
};
