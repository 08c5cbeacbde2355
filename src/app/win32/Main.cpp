// The Windows program: the process-wide objects, the entry function and the message loop.
//
// The objects below are defined in this one file, so they are constructed in the order written
// and destroyed in the reverse order: the message boxes are installed before the hearing test
// opens its device, whose failure box has no owner yet. The records are saved by the end of
// WinMain or of the session (EndProgram), never by a destructor.

#include "app/DataFilePath.h"
#include "app/DialogProcedure.h"
#include "app/win32/MainDialogMessages.h"
#include "app/win32/ProgramPath.h"
#include "app/win32/Win32DialogControls.h"
#include "audio/EndpointOutputVolume.h"
#include "audio/win32/EndpointVolumeCalls.h"
#include "audio/winmm/WinmmWaveOut.h"
#include "hearing/HearingTest.h"
#include "support/MainDialog.h"
#include "support/MessageBoxes.h"
#include "support/TextString.h"
#include "support/win32/MessageBoxPresenter.h"
#include "support/win32/SystemClock.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace {

constexpr WORD MainDialogTemplate = 103;

// Exit codes of a start or a loop that failed; a normal end carries the quit message's 0.
constexpr int ExitNoDialog = 1;
constexpr int ExitLoopFailed = 2;

SharedTextBuffers textBuffers;
InstalledPresenter<MessageBoxPresenter> messageBoxes; // boxes of the teardown included
SystemClock systemClock;
Win32DialogControls dialogControls;
WinmmWaveOut waveOut;
OutputVolumeWatch
    volumeWatch(std::make_unique<EndpointOutputVolume>(std::make_unique<EndpointVolumeCalls>()));
HearingTest hearingTest(waveOut, dialogControls, systemClock, &volumeWatch);

HINSTANCE programInstance = nullptr;

// How long the end of the program waits for the records to reach a slow folder.
constexpr std::uint32_t CloseSaveMilliseconds = 10000;

// Enter on a control that is neither a push button nor one that wants the key itself (the open
// drop-down list): the dialog manager would press the default button, "Schließen", and end
// the program from the name field or a check box. Such a key does nothing.
bool IsStrayEnter(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_RETURN) {
        return false;
    }
    const LRESULT code = SendMessageA(message.hwnd, WM_GETDLGCODE, message.wParam,
                                      reinterpret_cast<LPARAM>(&message));
    return (code &
            (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON | DLGC_WANTMESSAGE | DLGC_WANTALLKEYS)) == 0;
}

// Runs until the quit message; a failing GetMessageA (an invalid message queue) ends the loop
// too, instead of spinning on the error. The dialog manager moves the focus with Tab and the
// arrow keys and presses the focused button with Space or Enter, so the test needs no mouse.
int RunMessageLoop(HWND dialog) {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            break;
        }
        if (IsStrayEnter(message)) {
            continue;
        }
        if (IsWindow(dialog) && IsDialogMessageA(dialog, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (IsWindow(dialog)) {
        DestroyWindow(dialog);
    }
    return ExitLoopFailed;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    programInstance = instance;

    // The data file lies beside the program; the path is UTF-8 and the file calls convert it.
    const std::string programPath = ProgramPath(programInstance);
    if (!programPath.empty()) {
        hearingTest.LoadRecords(DataFilePathFor(programPath).c_str());
    } else {
        ShowMessage("Der Pfad des Programms ist unbekannt, die Messungen werden nicht "
                    "gespeichert.");
    }

    DialogProcedure procedure(hearingTest, dialogControls);
    HWND dialog = CreateDialogParamA(programInstance, MAKEINTRESOURCEA(MainDialogTemplate), nullptr,
                                     MainDialogMessages, reinterpret_cast<LPARAM>(&procedure));
    if (dialog == nullptr) {
        // Without a window no message would ever end the loop.
        ShowMessage("Das Fenster von Tonolot konnte nicht ge\xF6"
                    "ffnet werden (Fehler %lu).",
                    static_cast<unsigned long>(GetLastError()));
        return ExitNoDialog;
    }
    SetMainDialog(dialog);

    const int exitCode = RunMessageLoop(dialog);
    if (!procedure.EndProgram(CloseSaveMilliseconds, true)) {
        // The folder hangs: the save in progress writes a copy, so the file stays whole; the
        // writer thread cannot be joined.
        ExitProcess(static_cast<UINT>(exitCode));
    }
    return exitCode;
}
