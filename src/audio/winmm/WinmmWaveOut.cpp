#include "audio/winmm/WinmmWaveOut.h"

#include "audio/winmm/WinmmSink.h"

#include <memory>

WinmmWaveOut::WinmmWaveOut() : LookaheadWaveOut(std::make_unique<WinmmSink>()) {}
