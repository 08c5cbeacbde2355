#pragma once

#include "support/Clock.h"

// The millisecond tick count and the blocking sleep of the Windows user-interface thread.
class SystemClock : public Clock {
public:
    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
};
