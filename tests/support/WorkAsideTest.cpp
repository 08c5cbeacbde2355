// Work handed to a thread of its own while the user-interface thread keeps delivering messages.
#ifdef _WIN32

#include "support/win32/WorkAside.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(WorkAside, RunsElsewhereWhileThisThreadAnswersAndTheOwnerIsDisabled) {
    // A message-only window: it needs no display.
    HWND owner =
        CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    const DWORD here = GetCurrentThreadId();
    DWORD there = here;
    BOOL enabledDuring = TRUE;
    RunWorkAside(owner, [&] {
        there = GetCurrentThreadId();
        enabledDuring = IsWindowEnabled(owner);
        // A sent message returns only if the waiting thread goes on delivering messages.
        SendMessageA(owner, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("gesendet"));
        PostThreadMessageA(here, WM_QUIT, 7, 0);
    });
    char text[16] = {};
    GetWindowTextA(owner, text, sizeof text);
    EXPECT_NE(there, here);
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_STREQ(text, "gesendet");
    // The quit message that came meanwhile is there again for the program's own loop.
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
    DestroyWindow(owner);
}

} // namespace

#endif
