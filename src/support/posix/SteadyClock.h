#pragma once

#include "support/Clock.h"

// The tick count and sleep of the native Linux program: milliseconds of the monotonic clock
// (wrapping like the platform's 32-bit tick count) and a plain sleep of the calling thread.
class SteadyClock : public Clock {
public:
    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
};
