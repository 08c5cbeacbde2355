// The native Linux program: the process-wide objects, the entry function and the GTK main loop.
//
// The objects below are defined in this one file, so they are constructed in the order written
// and destroyed in the reverse order: the shared text buffers live longest, since the hearing
// test's teardown still formats numbers while it stores the records; the message boxes are
// installed before the hearing test opens its device, whose failure box has no owner yet; the
// dialog's window record and the volume watch outlive the hearing test, whose audio thread may
// still ask for the one and reads the other's answer.

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

#include <gtk/gtk.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// Exit codes of a start that failed; a normal end carries the quit code 0.
constexpr int ExitNoDisplay = 1;
constexpr int ExitNoDialog = 2;

SharedTextBuffers textBuffers;
InstalledPresenter<GtkMessagePresenter> messageBoxes; // boxes of the teardown included
SteadyClock systemClock;
GtkDialogWindow mainWindow;
GtkDialogControls dialogControls;
AlsaWaveOut waveOut;
OutputVolumeWatch volumeWatch(std::make_unique<AlsaMixerVolume>());
HearingTest hearingTest(waveOut, dialogControls, systemClock, &volumeWatch);

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

    gtk_main();
    return dialogControls.ExitCode();
}
