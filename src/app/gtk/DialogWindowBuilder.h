#pragma once

#include "app/DialogTemplate.h"
#include "app/gtk/GtkDialogWindow.h"

// Builds the main dialog as a GTK window from the dialog template: every control at its place and
// size in dialog units, scaled by the base units of the desktop's font, so the window has the
// template's proportions; Tab and screen readers go through the controls as they are laid out,
// row by row from the top; the window not resizable, whatever the length of a name, and placed
// where the template puts it. Each user action reaches the procedure as the message
// the platform's dialog would send, and the procedure's OnInitDialog runs before the window is
// shown. False when the window could not be made.
bool BuildDialogWindow(GtkDialogWindow& dialog, const DialogTemplate& layout,
                       DialogProcedure& procedure);
