#include "support/win32/WorkAside.h"

#include <atomic>
#include <system_error>
#include <thread>

void RunWorkAside(HWND owner, const std::function<void()>& work) {
    const DWORD waiting = GetCurrentThreadId();
    std::atomic<bool> done{false};
    // Only a window that was enabled is enabled again: a nested call leaves it to the outer one.
    const bool disabled = owner != nullptr && !EnableWindow(owner, FALSE);
    std::thread worker;
    try {
        worker = std::thread([&] {
            work();
            done = true;
            // Wakes the wait below at once.
            PostThreadMessageA(waiting, WM_NULL, 0, 0);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the work is done here, as it would have been without one.
        work();
        done = true;
    }
    bool quit = false;
    WPARAM quitCode = 0;
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (worker.joinable()) {
        worker.join();
    }
    if (disabled) {
        EnableWindow(owner, TRUE);
    }
    if (quit) {
        PostQuitMessage(static_cast<int>(quitCode));
    }
}
