#include "app/DialogProcedure.h"

#include "app/BandName.h"
#include "chart/AudiogramDescription.h"
#include "hearing/HearingTest.h"
#include "support/ControlIds.h"
#include "support/MainDialog.h"

#include "support/MessageBoxes.h"

#include <cstring>

namespace {
constexpr const char* NewPersonName = "Neue Person";
constexpr const char* RecoveredText =
    "Die Messung \"%s\" aus der letzten Sitzung wurde noch nicht \xFC"
    "bernommen.";
// The name field is read as "Übernehmen" reads it.
constexpr int NameFieldMaxCount = 127;
constexpr const char* OutputStalledText =
    "Die Tonausgabe antwortet nicht. Der Test wurde angehalten.\r\n"
    "Bitte pr\xFC"
    "fen Sie die Tonausgabe (Lautsprecher, Kopfh\xF6rer, Soundsystem) und starten Sie die "
    "Messung danach erneut.";
constexpr const char* SilentBeforeStartText =
    "Die Tonausgabe ist stumm geschaltet oder auf 0 % gestellt. Bitte stellen Sie die "
    "Lautst\xE4rke ein und starten Sie die Messung erneut.";
constexpr const char* SilentDuringRunText =
    "Die Tonausgabe wurde stumm geschaltet oder auf 0 % gestellt. Der Test wurde angehalten.\r\n"
    "Bitte stellen Sie die Lautst\xE4rke ein und starten Sie die Messung erneut.";
} // namespace

DialogProcedure::DialogProcedure(HearingTest& test, DialogControls& controls)
    : test(test), controls(controls) {}

bool DialogProcedure::OnInitDialog(WindowHandle dialog) {
    // The start buttons keep the enabled state of the template.
    controls.EnableItem(dialog, IdHeard, false);
    const PersonRecord* recovered = test.store.Recovered();
    if (recovered != nullptr) {
        test.RestoreUnstored(*recovered);
    }
    test.FillRecordList(dialog);
    controls.SetItemText(dialog, IdName, recovered ? test.current.name : NewPersonName);
    if (recovered != nullptr) {
        // Told once the window is up, so the box has it as its owner.
        controls.PostCommand(dialog, MakeCommandParam(IdRecoveredNotice, 0), 0);
    }
    return true;
}

bool DialogProcedure::OnCommand(WindowHandle dialog, CommandParam param, CommandData) {
    switch (CommandId(param)) {
    case IdClose:
    case IdCancel:
        controls.PostClose(dialog);
        break;
    case IdNewTest:
        test.NewTest();
        ShowIdle(dialog);
        controls.Invalidate(dialog, false);
        break;
    case IdLevelNotice:
        OnLevelNotice(dialog);
        break;
    case IdStartLeft:
    case IdStartRight:
        OnStart(dialog, CommandId(param) == IdStartLeft);
        break;
    case IdOutputStalled:
        OnOutputStalled(dialog);
        break;
    case IdOutputSilent:
        OnOutputSilent(dialog);
        break;
    case IdHeard:
        OnHeard(dialog);
        break;
    case IdRecordList:
        if (CommandCode(param) == ListSelectionChanged) {
            OnRecordListChanged(dialog);
        } else if (CommandCode(param) == ListOpened && !listOpen) {
            listOpen.emplace();
        } else if (CommandCode(param) == ListClosed) {
            listOpen.reset();
        }
        break;
    case IdStore:
        // The list is refilled whatever the store did, so its selection follows `current`.
        test.StoreCurrent(dialog);
        test.FillRecordList(dialog);
        break;
    case IdRecordsSaved:
        // The list now holds what other copies stored as well; a failure is told at once.
        if (test.store.ReportSave(dialog)) {
            test.FillRecordList(dialog);
        }
        break;
    case IdRecoveredNotice:
        ShowMessageFor(dialog, RecoveredText, test.current.name);
        break;
    case IdComparison:
        test.SetComparison(dialog, controls.IsItemChecked(dialog, IdComparison));
        controls.Invalidate(dialog, false);
        break;
    default:
        break;
    }
    return false;
}

int DialogProcedure::OnDrawItem(int controlId, Canvas& canvas, const CanvasRect& item) {
    if (controlId != IdChart) {
        return 0;
    }
    return test.DrawAudiogram(canvas, item);
}

bool DialogProcedure::OnClose(WindowHandle dialog) {
    // Silence first: the question may stay open for a long time.
    test.Stop();
    test.Close();
    if (test.AskStoreLast(dialog)) {
        controls.DestroyDialog(dialog);
    }
    return true;
}

void DialogProcedure::OnDestroy(WindowHandle dialog) {
    // Boxes shown while the program ends (storing the records) must not name a destroyed owner.
    if (MainDialog() == dialog) {
        SetMainDialog(nullptr);
    }
    controls.PostQuit(0);
}

bool DialogProcedure::EndProgram(std::uint32_t milliseconds, bool tell) {
    test.Stop();
    test.Close();
    // A measurement recovered at the start was stored or given up by now, or is kept anew.
    test.store.ForgetRecovery();
    PersonRecord unstored;
    bool keep = false;
    if (!tell) {
        // Nobody chose this end: the measurement waits for the next start, under the name typed.
        char name[PersonRecord::NameSize];
        std::memcpy(name, test.current.name, sizeof name);
        name[PersonRecord::NameSize - 1] = '\0';
        if (WindowHandle dialog = MainDialog()) {
            controls.GetItemText(dialog, IdName, name, NameFieldMaxCount);
        }
        keep = test.UnstoredMeasurement(name, unstored);
    }
    return test.SaveRecords(milliseconds, tell, keep ? &unstored : nullptr);
}

void DialogProcedure::ShowIdle(WindowHandle dialog) {
    controls.EnableItem(dialog, IdStartLeft, true);
    controls.EnableItem(dialog, IdStartRight, true);
    // Focus moves on before "Gehört", which may hold it, is disabled.
    int next = IdStore;
    if (test.current.left[0] == 0) {
        next = IdStartLeft;
    } else if (test.current.right[0] == 0) {
        next = IdStartRight;
    }
    controls.FocusItem(dialog, next);
    controls.EnableItem(dialog, IdHeard, false);
}

void DialogProcedure::ShowIdleUnlessPlaying(WindowHandle dialog) {
    // The device could not be opened (its error box was shown): no run without a tone.
    if (!test.Running()) {
        ShowIdle(dialog);
    }
}

bool DialogProcedure::MayOpenPictureSave() const {
    return !test.Running();
}

void DialogProcedure::ShowMeasuring(WindowHandle dialog) {
    controls.EnableItem(dialog, IdHeard, true);
    // Before the start button that has the focus is disabled and the focus would vanish.
    controls.FocusItem(dialog, IdHeard);
    controls.EnableItem(dialog, IdStartLeft, false);
    controls.EnableItem(dialog, IdStartRight, false);
}

AudiogramRecords DialogProcedure::ChartRecords() const {
    return AudiogramRecords{test.store.standard, test.comparison, test.current};
}

std::string DialogProcedure::DescribeChart() const {
    return DescribeAudiogram(AudiogramRecords{test.store.standard, test.comparison, test.current},
                             &HearingTest::FrequencyOf);
}

void DialogProcedure::OnLevelNotice(WindowHandle dialog) {
    // Unticking the aid leaves the last band standing; it is cleared when the run ends.
    if (controls.IsItemChecked(dialog, IdAidCheck)) {
        controls.SetItemText(dialog, IdStatusLine, BandName(test.toneIndex));
    }
}

void DialogProcedure::OnStart(WindowHandle dialog, bool left) {
    // Every tone would rise unheard to full loudness and be stored as not heard.
    if (test.OutputSilent()) {
        ShowMessageFor(dialog, "%s", SilentBeforeStartText);
        return;
    }
    ShowMeasuring(dialog);
    if (left) {
        test.StartLeft();
    } else {
        test.StartRight();
    }
    AfterNextTone(dialog);
}

void DialogProcedure::AfterNextTone(WindowHandle dialog) {
    if (test.OutputWentSilent()) {
        OnOutputSilent(dialog);
    } else {
        ShowIdleUnlessPlaying(dialog);
    }
}

void DialogProcedure::OnHeard(WindowHandle dialog) {
    if (test.NextTone() != 0) {
        // The run goes on; the chart shows the new curve once the ear is done.
        AfterNextTone(dialog);
        return;
    }
    ShowIdle(dialog);
    controls.SetItemText(dialog, IdStatusLine, "");
    controls.InvalidateItem(dialog, IdChart, false);
}

void DialogProcedure::OnOutputStalled(WindowHandle dialog) {
    // Posted by the device's watch; a run that ended meanwhile needs nothing.
    if (test.Running()) {
        EndRunWithBox(dialog, OutputStalledText);
    }
}

void DialogProcedure::OnOutputSilent(WindowHandle dialog) {
    // Posted once per run by the tone synthesis; a run that ended meanwhile needs nothing.
    if (test.OutputWentSilent()) {
        EndRunWithBox(dialog, SilentDuringRunText);
    }
}

void DialogProcedure::EndRunWithBox(WindowHandle dialog, const char* text) {
    test.AbandonRun();
    ShowIdle(dialog);
    controls.SetItemText(dialog, IdStatusLine, "");
    controls.InvalidateItem(dialog, IdChart, false);
    ShowMessageFor(dialog, "%s", text);
}

void DialogProcedure::OnRecordListChanged(WindowHandle dialog) {
    // When the user keeps the window on an unstored measurement, the list shows the new choice
    // while `current` stays as it was.
    if (test.AskStoreLast(dialog)) {
        test.SelectRecord(dialog, controls.ListSelection(dialog, IdRecordList));
    }
}
