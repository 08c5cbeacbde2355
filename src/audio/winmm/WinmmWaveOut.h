#pragma once

#include "audio/LookaheadWaveOut.h"

// The default winmm wave-out device behind the seam: our own 32-deep queue, about four buffers
// with winmm at a time, copied when they are handed over (see LookaheadWaveOut and WinmmSink).
class WinmmWaveOut : public LookaheadWaveOut {
public:
    WinmmWaveOut();
};
