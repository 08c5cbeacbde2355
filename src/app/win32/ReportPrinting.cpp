#include "app/win32/ReportPrinting.h"

#include "app/AudiogramPicture.h"
#include "app/ReportPrint.h"
#include "app/win32/Win32DialogControls.h"
#include "chart/win32/GdiCanvas.h"
#include "support/MessageBoxes.h"
#include "support/ModalPause.h"
#include "support/win32/WorkAside.h"

#include <cderr.h>
#include <commdlg.h>

namespace {

// One logical unit is a tenth of a millimetre (254 to the inch); the origin is the paper's
// corner, which lies outside the printable area the device's own origin is at.
void MapToPage(HDC dc) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 254, 254, nullptr);
    SetViewportExtEx(dc, GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY), nullptr);
    SetViewportOrgEx(dc, -GetDeviceCaps(dc, PHYSICALOFFSETX), -GetDeviceCaps(dc, PHYSICALOFFSETY),
                     nullptr);
}

bool PrintPage(HDC dc, const ReportContent& content, const std::tm& printed) {
    DOCINFOA document{};
    document.cbSize = sizeof document;
    document.lpszDocName = "Tonolot - Bericht";
    if (StartDocA(dc, &document) <= 0) {
        return false;
    }
    if (StartPage(dc) <= 0) {
        AbortDoc(dc);
        return false;
    }
    MapToPage(dc);
    GdiCanvas canvas(dc);
    DrawReportPage(canvas, content, printed);
    if (EndPage(dc) <= 0) {
        AbortDoc(dc);
        return false;
    }
    return EndDoc(dc) > 0;
}

} // namespace

void PrintReportOnPrinter(HWND dialog, HWND chart, DialogProcedure& procedure) {
    // The print dialog and the boxes after it are modal: a run holds until printing is over.
    ModalPause pause;
    RECT size{};
    GetClientRect(chart, &size);
    Win32DialogControls controls;
    const ReportContent content = ReportContentNow(dialog, controls, procedure,
                                                   size.right - size.left, size.bottom - size.top);

    PRINTDLGA settings{};
    settings.lStructSize = sizeof settings;
    settings.hwndOwner = dialog;
    // Asked first without a dialog: with no printer, the dialog would bring a box of the
    // system's own, in its own words, or none at all.
    settings.Flags = PD_RETURNDEFAULT;
    if (PrintDlgA(&settings)) {
        GlobalFree(settings.hDevMode);
        GlobalFree(settings.hDevNames);
        settings.hDevMode = nullptr;
        settings.hDevNames = nullptr;
        settings.Flags =
            PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE;
        settings.nCopies = 1;
    }
    if (settings.Flags == PD_RETURNDEFAULT || !PrintDlgA(&settings)) {
        const DWORD error = CommDlgExtendedError();
        if (error == PDERR_NODEFAULTPRN || error == PDERR_NODEVICES ||
            error == PDERR_PRINTERNOTFOUND) {
            ShowMessageFor(dialog,
                           "Es ist kein Drucker eingerichtet. Bitte richten Sie einen "
                           "Drucker ein (zum Beispiel einen, der in eine PDF-Datei "
                           "druckt) und w\xE4hlen Sie dann erneut \x84%s\x93.",
                           PrintReportMenuItem);
        } else if (error != 0) {
            ShowMessageFor(dialog, "%s", PrintReportFailed);
        }
        return; // 0: cancelled
    }
    GlobalFree(settings.hDevMode);
    GlobalFree(settings.hDevNames);
    if (settings.hDC == nullptr) {
        ShowMessageFor(dialog, "%s", PrintReportFailed);
        return;
    }
    // The spooler and the printer's driver may take their time or hang: the job is made on a
    // thread of its own while the windows keep answering.
    const std::tm now = LocalTimeNow();
    bool printed = false;
    DWORD reason = 0;
    RunWorkAside(dialog, [&] {
        printed = PrintPage(settings.hDC, content, now);
        // A printer that asks for a file name in StartDoc reports a cancelled question so.
        reason = GetLastError();
    });
    DeleteDC(settings.hDC);
    if (!printed && reason != ERROR_CANCELLED) {
        ShowMessageFor(dialog, "%s", PrintReportFailed);
    }
}
