#pragma once

#include <windows.h>

class DialogProcedure;

// WM_CONTEXTMENU of the main dialog. On the chart control it shows the chart's context menu with
// its items "Audiogramm speichern…" and "Bericht drucken…" at the pointer (or, from the keyboard,
// at the chart's top left corner) and saves the picture or prints the report; true then. False when
// the menu was asked for another window, which the dialog leaves to the default handling.
bool OnChartContextMenu(HWND dialog, HWND clicked, LPARAM position, DialogProcedure& procedure);
