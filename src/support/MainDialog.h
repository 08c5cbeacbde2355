#pragma once

#include "support/WindowHandle.h"

// The process-wide handle of the main dialog: null until the entry function has created it.
// Message boxes use it as their owner and the tone synthesis posts its commands to it. The audio
// thread reads it while the user-interface thread may set or clear it, hence an atomic inside.
WindowHandle MainDialog();
void SetMainDialog(WindowHandle dialog);
