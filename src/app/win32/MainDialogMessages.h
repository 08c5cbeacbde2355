#pragma once

#include <windows.h>

// The dialog procedure of the main dialog. CreateDialogParamA hands it the DialogProcedure as
// the WM_INITDIALOG parameter; it keeps that in the dialog's user data and passes every message
// it knows to the matching handler. Messages that arrive before WM_INITDIALOG get the default.
INT_PTR CALLBACK MainDialogMessages(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
