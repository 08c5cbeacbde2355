#pragma once

#include "support/WindowHandle.h"

// Every message and question of the system is shown through these three functions, always with
// the caption "Tonolot". The text is formatted printf-style into a buffer of 1024 bytes; a longer
// text is cut to 1023 characters (and never written past the buffer).

// Button styles and answers, with the values of the platform's message boxes.
constexpr unsigned MessageOk = 0;    // MB_OK: one OK button, no icon
constexpr unsigned MessageYesNo = 4; // MB_YESNO
constexpr int AnswerYes = 6;         // IDYES
constexpr int AnswerNo = 7;          // IDNO

constexpr const char* MessageCaption = "Tonolot";
constexpr int MessageBufferSize = 1024;

// Shows a modal box and returns the button pressed, 0 when no box could be shown
// (MessageBoxA in the Windows build; a scripted presenter in tests).
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    virtual int Present(WindowHandle owner, const char* text, const char* caption,
                        unsigned style) = 0;
};

// The presenter every box goes through; the Windows program installs the MessageBoxA one at
// start-up. Without a presenter no box is shown and the functions return 0.
void SetMessagePresenter(MessagePresenter* presenter);
MessagePresenter* CurrentMessagePresenter();

// Installs a presenter for as long as this object lives. A program defines one among its
// process-wide objects, before those whose construction or teardown may show a box.
template <typename Presenter> class InstalledPresenter {
public:
    InstalledPresenter() { SetMessagePresenter(&presenter); }
    ~InstalledPresenter() { SetMessagePresenter(nullptr); }
    InstalledPresenter(const InstalledPresenter&) = delete;
    InstalledPresenter& operator=(const InstalledPresenter&) = delete;

private:
    Presenter presenter;
};

// Owner: the main dialog, or none while it does not exist yet. Style MB_OK.
int ShowMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Owner given, style MB_OK.
int ShowMessageFor(WindowHandle owner, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// Style and owner given; returns the button pressed (AnswerYes, AnswerNo, or 0).
int ShowMessageStyled(unsigned style, WindowHandle owner, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
