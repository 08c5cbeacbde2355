#pragma once

// Hearing safety behind modal windows.
//
// A message box, a file dialog or a menu with a loop of its own keeps the person from pressing
// "Gehört" while it is open, and its loop still delivers the commands the audio thread posts.
// A tone that went on rising behind it would reach full loudness and be recorded as not heard,
// or worse, the run would go on tone after tone while nobody can answer.
//
// The rule, kept here: every modal box, dialog and menu of the program is shown inside a
// ModalPause. While at least one is held, the listener (the hearing test) keeps the run on hold:
// the sounding tone goes silent from the next buffer it fills, its level stays at silence, no
// automatic press is posted, and a press that was posted before the window opened records
// nothing. When the last one ends, the run resumes with the same tone, from silence, after the
// usual random pause.
//
// Who takes one: every message box gets its pause in MessageBoxes.cpp, through which all boxes
// go, whichever presenter shows them; saving the audiogram takes one around its file dialog and
// its boxes (AudiogramPicture.cpp); each platform's chart menu takes one while it is open. A new
// modal window of the program takes one the same way, or goes through one of these.
//
// Threads: the user-interface thread only. The listener is called on it, at the first pause
// that begins and at the last that ends.
class ModalListener {
public:
    virtual ~ModalListener() = default;
    virtual void OnModalOpened() = 0;
    virtual void OnModalClosed() = 0;
};

// The listener of the process (the hearing test sets itself); null for none.
void SetModalListener(ModalListener* listener);
ModalListener* CurrentModalListener();

class ModalPause {
public:
    ModalPause();
    ~ModalPause();
    ModalPause(const ModalPause&) = delete;
    ModalPause& operator=(const ModalPause&) = delete;

    // Whether any pause is held at this moment.
    static bool Held();
};
