#pragma once

#include <windows.h>

class DialogProcedure;

// WM_CONTEXTMENU of the main dialog. On the chart control it shows the chart's context menu with
// its one item "Audiogramm speichern…" at the pointer (or, from the keyboard, at the chart's top
// left corner) and saves the picture when the item is chosen; true then. False when the menu was
// asked for another window, which the dialog leaves to the default handling.
bool OnChartContextMenu(HWND dialog, HWND clicked, LPARAM position, DialogProcedure& procedure);
