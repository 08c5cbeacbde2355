#include "app/win32/ChartMenu.h"

#include "app/AudiogramPicture.h"
#include "app/DialogProcedure.h"
#include "app/ReportPrint.h"
#include "app/win32/ReportPrinting.h"
#include "app/win32/Win32DialogControls.h"
#include "app/win32/Win32PicturePlatform.h"
#include "support/ControlIds.h"
#include "support/ModalPause.h"

#include <objbase.h>

namespace {

constexpr UINT SavePictureCommand = 1;
constexpr UINT PrintReportCommand = 2;

// The menu's place: the pointer, or for Shift+F10 and the menu key (position -1, -1) the chart's
// top left corner.
POINT MenuPoint(HWND chart, LPARAM position) {
    POINT point{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    if (point.x == -1 && point.y == -1) {
        point = POINT{0, 0};
        ClientToScreen(chart, &point);
    }
    return point;
}

UINT ChosenCommand(HWND dialog, POINT point, bool allowed) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return 0;
    }
    // Both shown but greyed during a run: their dialogs would keep the person from answering.
    const UINT state = MF_STRING | (allowed ? 0u : MF_GRAYED);
    AppendMenuA(menu, state, SavePictureCommand, SavePictureMenuItem);
    AppendMenuA(menu, state, PrintReportCommand, PrintReportMenuItem);
    // The menu's own loop goes on delivering the dialog's commands: a run holds meanwhile.
    ModalPause pause;
    const UINT chosen =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                         point.x, point.y, 0, dialog, nullptr));
    DestroyMenu(menu);
    return chosen;
}

void SavePicture(HWND dialog, HWND chart, DialogProcedure& procedure) {
    RECT size{};
    GetClientRect(chart, &size);
    // The modern save dialog is built on COM; the encoder is too.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Win32DialogControls controls;
    Win32PicturePlatform platform(reinterpret_cast<HFONT>(SendMessageA(chart, WM_GETFONT, 0, 0)));
    SaveAudiogramPicture(
        dialog, controls, platform,
        [&procedure](Canvas& canvas, const CanvasRect& item) {
            procedure.OnDrawItem(IdChart, canvas, item);
        },
        size.right - size.left, size.bottom - size.top, LocalTimeNow);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

} // namespace

bool OnChartContextMenu(HWND dialog, HWND clicked, LPARAM position, DialogProcedure& procedure) {
    HWND chart = GetDlgItem(dialog, IdChart);
    if (chart == nullptr || clicked != chart) {
        return false;
    }
    const UINT chosen =
        ChosenCommand(dialog, MenuPoint(chart, position), procedure.MayOpenPictureSave());
    if (chosen == SavePictureCommand) {
        SavePicture(dialog, chart, procedure);
    } else if (chosen == PrintReportCommand) {
        PrintReportOnPrinter(dialog, chart, procedure);
    }
    return true;
}
