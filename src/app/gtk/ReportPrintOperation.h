#pragma once

#include "app/gtk/GtkDialogWindow.h"

// "Bericht drucken…" in the native program: a GtkPrintOperation of one A4 page drawn through the
// cairo canvas, after GTK's print dialog (which also offers printing into a PDF file). The page
// shows the chart and the name field as they are when the item is chosen.
//
// With TONOLOT_PRINT_TO_PDF=path in the environment there is no dialog: the page is exported as a
// PDF file to that path (the print operation's export action), which is created anew and never
// over an existing file or link; for tests and for scripts that keep the report as a file.
void PrintReport(GtkDialogWindow& dialog);
