#pragma once

#include <windows.h>

#include <functional>

// Runs `work` on a thread of its own and returns when it is done, while this thread (the
// user-interface thread) goes on delivering its messages, so that windows keep painting and
// answering. `owner` is disabled meanwhile, as under a modal dialog, so nothing of it can be
// started in between. A quit message that arrives meanwhile is posted again afterwards.
// For work that may block on a device or a service, such as a print job's spooling.
void RunWorkAside(HWND owner, const std::function<void()>& work);
