#pragma once

#include <cstdint>

// A window as the core sees it: an opaque handle that only the platform adapters interpret
// (an HWND in the Windows build). Null means "no window".
using WindowHandle = void*;

// The two halves of a WM_COMMAND-style message, sized like the platform's WPARAM and LPARAM.
using CommandParam = std::uintptr_t;
using CommandData = std::intptr_t;
