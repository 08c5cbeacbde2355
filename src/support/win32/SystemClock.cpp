#include "support/win32/SystemClock.h"

#include <windows.h>

std::uint32_t SystemClock::TickCount() {
    return GetTickCount();
}

void SystemClock::Sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}
