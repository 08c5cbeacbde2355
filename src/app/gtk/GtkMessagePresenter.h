#pragma once

#include "support/MessageBoxes.h"

// The message boxes of the native program: modal GTK message dialogs with the caption, the text
// (cp1252 converted to UTF-8, CR LF as line breaks) and the buttons of the platform's box: OK, or
// "Ja" and "Nein" for a yes/no question, answered with the platform's IDOK, IDYES and IDNO.
// A question cannot be closed without an answer, as on the platform; closing an OK box counts as
// OK. GTK is set up on first use, so boxes shown before the entry function work too.
//
// With TONOLOT_TRACE_MESSAGES set in the environment, each box's text is also written to
// standard error as one line `tonolot: message box: "<text>"` (UTF-8, with \r, \n, \\ and \"
// escaped), for end-to-end tests and for people who start the program from a terminal.
class GtkMessagePresenter : public MessagePresenter {
public:
    int Present(WindowHandle owner, const char* text, const char* caption, unsigned style) override;
};
