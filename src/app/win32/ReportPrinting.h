#pragma once

#include <windows.h>

class DialogProcedure;

// "Bericht drucken…" in tonolot.exe: the system's print dialog (PrintDlg), then the report page
// drawn through the GDI canvas on the chosen printer's device context, mapped to tenths of a
// millimetre from the paper's corner. With no printer installed a German box says so.
void PrintReportOnPrinter(HWND dialog, HWND chart, DialogProcedure& procedure);
