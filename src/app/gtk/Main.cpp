// The native Linux program: the process-wide objects, the entry function and the GTK main loop.
//
// The objects below are defined in this one file, so they are constructed in the order written
// and destroyed in the reverse order: the message boxes are installed before the hearing test
// opens its device, whose failure box has no owner yet; the dialog's window record and the
// volume watch outlive the hearing test, whose audio thread may still ask for the one and reads
// the other's answer. The records are saved by the end of main (EndProgram), never by a
// destructor.

#include "app/DialogProcedure.h"
#include "app/DialogTemplate.h"
#include "app/gtk/DialogWindowBuilder.h"
#include "app/gtk/GtkDialogControls.h"
#include "app/gtk/GtkDialogWindow.h"
#include "app/gtk/GtkMessagePresenter.h"
#include "app/posix/DataFileLocation.h"
#include "audio/alsa/AlsaMixerVolume.h"
#include "audio/alsa/AlsaWaveOut.h"
#include "hearing/HearingTest.h"
#include "support/MainDialog.h"
#include "support/MessageBoxes.h"
#include "support/TextString.h"
#include "support/posix/SteadyClock.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// Exit codes of a start that failed; a normal end carries the quit code 0.
constexpr int ExitNoDisplay = 1;
constexpr int ExitNoDialog = 2;

// Until the main loop takes them over, SIGTERM, SIGHUP and SIGINT end the program with 0 at
// once: the boxes of the start (no sound device, a data file that cannot be read) come before
// anything could have been stored, and the default action would report a crash.
struct StartSignals {
    StartSignals() {
        struct sigaction action = {};
        action.sa_handler = [](int) { _exit(0); };
        sigemptyset(&action.sa_mask);
        for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
            sigaction(signal, &action, nullptr);
        }
    }
} startSignals;

SharedTextBuffers textBuffers;
InstalledPresenter<GtkMessagePresenter> messageBoxes; // boxes of the teardown included
SteadyClock systemClock;
GtkDialogWindow mainWindow;
GtkDialogControls dialogControls;
AlsaWaveOut waveOut;
OutputVolumeWatch volumeWatch(std::make_unique<AlsaMixerVolume>());
HearingTest hearingTest(waveOut, dialogControls, systemClock, &volumeWatch);

// How long the end waits for the records to reach the disk: the dialog's close may wait for a
// slow folder; a signal (logout, shutdown) must end the program within two seconds.
constexpr std::uint32_t CloseSaveMilliseconds = 10000;
constexpr std::uint32_t SignalSaveMilliseconds = 1500;

// SIGTERM, SIGHUP, SIGINT, delivered on the main loop (GLib's own self-pipe, nothing runs in
// the signal handler): the program ends as "Schließen" ends it, without asking, since nobody may
// be there to answer. Also from inside the loop of an open box, hence no return to main.
gboolean OnEndSignal(gpointer procedure) {
    static_cast<DialogProcedure*>(procedure)->EndProgram(SignalSaveMilliseconds, false);
    std::fflush(nullptr);
    _exit(0);
}

// The display went away (logout, a crashed X server): the same end as a signal's, without the
// window; GDK's own handler would end the process at once. Xlib must not get control back.
DialogProcedure* endingProcedure = nullptr;

int OnDisplayLost(Display*) {
    if (endingProcedure != nullptr) {
        endingProcedure->EndProgram(SignalSaveMilliseconds, false);
    }
    std::fflush(nullptr);
    _exit(0);
}

} // namespace

int main(int argc, char** argv) {
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs("Tonolot ist ein Programm f\xC3\xBCr den Desktop: es wurde keine grafische "
                   "Oberfl\xC3\xA4"
                   "che gefunden (DISPLAY).\n",
                   stderr);
        return ExitNoDisplay;
    }

    const std::string dataPath = DataFileLocationFromEnvironment();
    if (!dataPath.empty()) {
        // A folder that cannot be made leaves the file uncreated; a save at the end then says
        // so if anything was stored.
        CreateFolderFor(dataPath);
        hearingTest.LoadRecords(dataPath.c_str());
    } else {
        ShowMessage("Der Ordner f\xFCr die Messungen ist unbekannt, die Messungen werden nicht "
                    "gespeichert.");
    }

    DialogProcedure procedure(hearingTest, dialogControls);
    if (!BuildDialogWindow(mainWindow, MainDialogTemplate(), procedure)) {
        ShowMessage("Das Fenster von Tonolot konnte nicht ge\xF6"
                    "ffnet werden.");
        return ExitNoDialog;
    }
    SetMainDialog(&mainWindow);
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        g_unix_signal_add(signal, OnEndSignal, &procedure);
    }
    if (GDK_IS_X11_DISPLAY(gdk_display_get_default())) {
        endingProcedure = &procedure;
        XSetIOErrorHandler(OnDisplayLost);
    }

    gtk_main();
    if (!procedure.EndProgram(CloseSaveMilliseconds, true)) {
        // The folder hangs: the save in progress writes a copy, so the file stays whole; the
        // writer thread cannot be joined.
        std::fflush(nullptr);
        _exit(dialogControls.ExitCode());
    }
    return dialogControls.ExitCode();
}
