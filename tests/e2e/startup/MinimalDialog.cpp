// The yardstick for Tonolot's start-up: the least a program with the same dialog can do. It
// opens the wave-out device in the format Tonolot plays (44100 Hz, 2 channels, 16 bits, with an
// event to be told of finished buffers), creates Tonolot's own dialog template 103 from the same
// resources and runs a message loop until the dialog is closed. No data file, no chart, no tone.
#include <windows.h>

#include <mmsystem.h>

namespace {

constexpr WORD MainDialogTemplate = 103;

INT_PTR CALLBACK DialogMessages(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        // Tonolot would show a box here; the measurement needs a sound card, so say so plainly.
        MessageBoxA(nullptr, "Kein Wave-Ausgabeger\xE4t", "MinimalDialog", MB_OK);
        return 1;
    }
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(MainDialogTemplate), nullptr,
                                     DialogMessages, 0);
    if (dialog == nullptr) {
        return 2;
    }
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    waveOutReset(device);
    waveOutClose(device);
    CloseHandle(event);
    return 0;
}
