#include "app/DialogProcedure.h"

#include "app/BandName.h"
#include "app/ControlIds.h"
#include "chart/AudiogramDescription.h"
#include "hearing/HearingTest.h"
#include "support/MainDialog.h"

#include "support/MessageBoxes.h"

namespace {
constexpr const char* NewPersonName = "Neue Person";
constexpr const char* OutputStalledText =
    "Die Tonausgabe antwortet nicht. Der Test wurde angehalten.\r\n"
    "Bitte pr\xFC"
    "fen Sie die Tonausgabe (Lautsprecher, Kopfh\xF6rer, Soundsystem) und starten Sie die "
    "Messung danach erneut.";
} // namespace

DialogProcedure::DialogProcedure(HearingTest& test, DialogControls& controls)
    : test(test), controls(controls) {}

bool DialogProcedure::OnInitDialog(WindowHandle dialog) {
    // The start buttons keep the enabled state of the template.
    controls.EnableItem(dialog, IdHeard, false);
    test.FillRecordList(dialog);
    controls.SetItemText(dialog, IdName, NewPersonName);
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
        ShowMeasuring(dialog);
        test.StartLeft();
        ShowIdleUnlessPlaying(dialog);
        break;
    case IdStartRight:
        ShowMeasuring(dialog);
        test.StartRight();
        ShowIdleUnlessPlaying(dialog);
        break;
    case IdOutputStalled:
        OnOutputStalled(dialog);
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
    return AudiogramRecords{test.standard, test.comparison, test.current};
}

std::string DialogProcedure::DescribeChart() const {
    return DescribeAudiogram(AudiogramRecords{test.standard, test.comparison, test.current},
                             &HearingTest::FrequencyOf);
}

void DialogProcedure::OnLevelNotice(WindowHandle dialog) {
    // Unticking the aid leaves the last band standing; it is cleared when the run ends.
    if (controls.IsItemChecked(dialog, IdAidCheck)) {
        controls.SetItemText(dialog, IdStatusLine, BandName(test.toneIndex));
    }
}

void DialogProcedure::OnHeard(WindowHandle dialog) {
    if (test.NextTone() != 0) {
        // The run goes on; the chart shows the new curve once the ear is done. A next tone
        // whose device could not be opened again ends it.
        ShowIdleUnlessPlaying(dialog);
        return;
    }
    ShowIdle(dialog);
    controls.SetItemText(dialog, IdStatusLine, "");
    controls.InvalidateItem(dialog, IdChart, false);
}

void DialogProcedure::OnOutputStalled(WindowHandle dialog) {
    // Posted by the device's watch; a run that ended meanwhile needs nothing.
    if (!test.Running()) {
        return;
    }
    test.AbandonRun();
    ShowIdle(dialog);
    controls.SetItemText(dialog, IdStatusLine, "");
    controls.InvalidateItem(dialog, IdChart, false);
    ShowMessageFor(dialog, "%s", OutputStalledText);
}

void DialogProcedure::OnRecordListChanged(WindowHandle dialog) {
    // When the user keeps the window on an unstored measurement, the list shows the new choice
    // while `current` stays as it was.
    if (test.AskStoreLast(dialog)) {
        test.SelectRecord(dialog, controls.ListSelection(dialog, IdRecordList));
    }
}
