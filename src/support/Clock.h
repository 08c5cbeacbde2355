#pragma once

#include <cstdint>

// The millisecond tick count and the blocking sleep of the user-interface thread. The Windows
// build binds them to GetTickCount and Sleep; tests use a virtual clock so no test really waits.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};
