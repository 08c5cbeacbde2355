#pragma once

#include "support/Clock.h"

#include <functional>
#include <vector>

// A clock whose time moves only when the system sleeps or a test advances it; it records every
// sleep so a test can check the pauses without waiting for them.
class VirtualClock : public Clock {
public:
    std::uint32_t TickCount() override { return now; }
    void Sleep(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now += milliseconds;
        if (onSleep) {
            onSleep(milliseconds);
        }
    }

    std::uint32_t now = 0;
    std::vector<std::uint32_t> sleeps;
    // Runs inside each Sleep, for tests that act during the pause.
    std::function<void(std::uint32_t)> onSleep;
};
