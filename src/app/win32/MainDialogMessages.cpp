#include "app/win32/MainDialogMessages.h"

#include "app/DialogProcedure.h"
#include "app/win32/ChartMenu.h"
#include "chart/win32/GdiCanvas.h"

namespace {

// Windows gives a program about five seconds at the end of the session.
constexpr std::uint32_t EndSessionSaveMilliseconds = 3000;

} // namespace

INT_PTR CALLBACK MainDialogMessages(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    }
    auto* procedure = reinterpret_cast<DialogProcedure*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (procedure == nullptr) {
        return FALSE;
    }

    switch (message) {
    case WM_INITDIALOG:
        return procedure->OnInitDialog(dialog) ? TRUE : FALSE;
    case WM_COMMAND:
        return procedure->OnCommand(dialog, wParam, lParam) ? TRUE : FALSE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        GdiCanvas canvas(item->hDC);
        return procedure->OnDrawItem(static_cast<int>(item->CtlID), canvas,
                                     CanvasRectOf(item->rcItem));
    }
    case WM_CONTEXTMENU:
        return OnChartContextMenu(dialog, reinterpret_cast<HWND>(wParam), lParam, *procedure)
                   ? TRUE
                   : FALSE;
    case WM_QUERYENDSESSION:
        // The records are on the disk since each store; the session may end.
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_ENDSESSION:
        // Windows ends the process once this returns, without destructors: the end of the
        // program happens here, without asking, since nobody may answer any more.
        if (wParam) {
            procedure->EndProgram(EndSessionSaveMilliseconds, false);
        }
        return TRUE;
    case WM_CLOSE:
        return procedure->OnClose(dialog) ? TRUE : FALSE;
    case WM_DESTROY:
        procedure->OnDestroy(dialog);
        // Nothing reaches the procedure after this.
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        return FALSE;
    default:
        return FALSE;
    }
}
