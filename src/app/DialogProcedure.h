#pragma once

#include "chart/AudiogramChart.h"
#include "support/DialogControls.h"
#include "support/ModalPause.h"
#include "support/WindowHandle.h"

#include <cstdint>
#include <optional>
#include <string>

class Canvas;
class HearingTest;
struct CanvasRect;

// What the main dialog does with each message, free of any window system: the platform's dialog
// procedure only unpacks a message and calls the matching handler. Every handler runs on the
// user-interface thread; the audio thread reaches the dialog only through posted commands.
//
// Buttons follow one of two patterns: Idle ("Gehört" disabled, both start buttons enabled) and
// Measuring ("Gehört" enabled, both start buttons disabled). The keyboard focus follows them: to
// "Gehört" when a run starts, so the first tone is answered as quickly as the others; back to the
// next step when it ends (the start button of an ear not yet measured, else "Übernehmen").
class DialogProcedure {
public:
    DialogProcedure(HearingTest& test, DialogControls& controls);

    // WM_INITDIALOG: "Gehört" disabled, record list filled, name field "Neue Person". True: the
    // platform sets the default focus.
    bool OnInitDialog(WindowHandle dialog);
    // WM_COMMAND. Commands are never reported as handled, so the result is always false.
    bool OnCommand(WindowHandle dialog, CommandParam param, CommandData data);
    // WM_DRAWITEM: paints the chart when the item is the chart control; 0 for any other item.
    int OnDrawItem(int controlId, Canvas& canvas, const CanvasRect& item);
    // WM_CLOSE: the tone is stopped and the device closed before the user is asked about an
    // unstored measurement; the dialog is destroyed only if the answer allows. Always true.
    bool OnClose(WindowHandle dialog);
    // WM_DESTROY: forgets the dialog as the main dialog and ends the message loop with code 0.
    void OnDestroy(WindowHandle dialog);
    // The one end of the program, whatever ended it (the dialog closed, a signal, the session's
    // end): the run stops and the records are saved, waiting at most `milliseconds` for the
    // writer. Nobody is asked; `tell` shows a failed save without owner (not at a session's end,
    // where nobody may answer). False when the save did not finish in time.
    bool EndProgram(std::uint32_t milliseconds, bool tell);
    // What the chart shows, in words (cp1252): a screen reader's text beside the drawing, to be
    // asked for again whenever the chart is invalidated.
    std::string DescribeChart() const;
    // Whether the chart's menu offers "Audiogramm speichern…" and "Bericht drucken…" enabled:
    // not while a run goes, their dialogs would keep the person from answering.
    bool MayOpenPictureSave() const;
    // The three records the chart shows now (for the printed report).
    AudiogramRecords ChartRecords() const;

private:
    void ShowIdle(WindowHandle dialog);
    void ShowMeasuring(WindowHandle dialog);
    void OnLevelNotice(WindowHandle dialog);
    void OnHeard(WindowHandle dialog);
    void ShowIdleUnlessPlaying(WindowHandle dialog);
    // A start button: no run into an output that is muted or at 0, a box says so instead.
    void OnStart(WindowHandle dialog, bool left);
    // After a tone was started (or not): the run ends if the output went silent before it.
    void AfterNextTone(WindowHandle dialog);
    // IdOutputStalled: the sound output stopped taking the tone; the run ends with a box.
    void OnOutputStalled(WindowHandle dialog);
    // IdOutputSilent: the sound output was muted or turned to 0 during the run; the same.
    void OnOutputSilent(WindowHandle dialog);
    void EndRunWithBox(WindowHandle dialog, const char* text);
    void OnRecordListChanged(WindowHandle dialog);

    HearingTest& test;
    DialogControls& controls;
    // Held while the record list is open: it takes the pointer and the keys like a menu.
    std::optional<ModalPause> listOpen;
};
