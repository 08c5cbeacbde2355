// Commands that the audio thread posts reach the dialog procedure on the GTK main loop, and none
// reach a dialog that has gone. Needs no display: only GLib's main loop runs. Also run under
// ThreadSanitizer.
#include "app/DialogProcedure.h"
#include "app/gtk/GtkDialogControls.h"
#include "app/gtk/GtkDialogWindow.h"
#include "fakes/FakeDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"
#include "support/ControlIds.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// Runs the main loop until `done` or a generous time has passed.
template <typename Condition> bool RunLoopUntil(Condition done) {
    const gint64 limit = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
    while (!done() && g_get_monotonic_time() < limit) {
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::yield();
    }
    return done();
}

TEST(GtkPostedCommands, ArriveOnTheMainLoopAndOnlyWhileTheDialogLives) {
    QuietWaveOut device;
    FakeDialogControls shown; // what the procedure does to the controls
    VirtualClock clock;
    HearingTest test(device, shown, clock);
    DialogProcedure procedure(test, shown);
    GtkDialogWindow dialog;
    dialog.procedure = &procedure;
    dialog.alive = true;
    GtkDialogControls controls;

    // "Vergleich" invalidates the dialog once per command: the count shows each delivery.
    constexpr int Posts = 3000;
    std::thread audio([&] {
        for (int i = 0; i < Posts; ++i) {
            EXPECT_TRUE(controls.PostCommand(&dialog, MakeCommandParam(IdComparison, 0), 0));
        }
    });
    EXPECT_TRUE(RunLoopUntil([&] { return shown.invalidations == Posts; }));
    audio.join();
    EXPECT_TRUE(RunLoopUntil([&] { return shown.invalidations == Posts; }));
    EXPECT_FALSE(controls.IsUsable(&dialog)) << "never shown on a screen";

    // Posted, then the dialog went away before the loop ran: not delivered.
    EXPECT_TRUE(controls.PostCommand(&dialog, MakeCommandParam(IdComparison, 0), 0));
    dialog.alive = false;
    EXPECT_FALSE(controls.PostCommand(&dialog, MakeCommandParam(IdComparison, 0), 0));
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_EQ(shown.invalidations, Posts);
}

} // namespace
