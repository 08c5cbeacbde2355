#pragma once

// The main dialog with the real hearing test behind it, over a device that accepts everything and
// plays nothing and an output whose volume the test sets (audible unless it says otherwise); the
// helpers act as a user would.

#include "app/DialogProcedure.h"
#include "fakes/FakeDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/ScriptedOutputVolume.h"
#include "fakes/ScriptedPresenter.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"
#include "support/ControlIds.h"
#include "support/MainDialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() {
        SetMainDialog(dialog);
        // SendMessage runs the dialog procedure before it returns.
        controls.onSend = [this](const FakeDialogControls::Sent& message) -> CommandData {
            procedure.OnCommand(message.window, message.param, message.data);
            return 0;
        };
    }
    ~MainDialogTest() override { SetMainDialog(nullptr); }

    void AddRecord(const char* name, std::int32_t leftLevel, std::int32_t rightLevel) {
        PersonRecord record{};
        std::strcpy(record.name, name);
        for (int i = 0; i < PersonRecord::LevelCount; ++i) {
            record.left[i] = leftLevel + i;
            record.right[i] = rightLevel + i;
        }
        test.store.records.Add(record);
    }

    void Command(int id, int code = 0) {
        EXPECT_FALSE(procedure.OnCommand(dialog, MakeCommandParam(id, code), 0));
    }
    void PressHeardAt(double level) {
        test.level = level;
        test.sounding = level;
        Command(IdHeard);
    }
    void SelectInList(int index) {
        controls.ListSelect(dialog, IdRecordList, index);
        Command(IdRecordList, ListSelectionChanged);
    }
    // A whole run of one ear with every tone heard at the given level.
    void MeasureEar(int startId, double level) {
        Command(startId);
        for (int tone = 0; tone < HearingTest::ToneCount; ++tone) {
            PressHeardAt(level + tone);
        }
    }

    bool ShowsIdle() const {
        return !controls.Enabled(IdHeard) && controls.Enabled(IdStartLeft) &&
               controls.Enabled(IdStartRight);
    }
    bool ShowsMeasuring() const {
        return controls.Enabled(IdHeard) && !controls.Enabled(IdStartLeft) &&
               !controls.Enabled(IdStartRight);
    }

    WindowHandle dialog = reinterpret_cast<WindowHandle>(0x103);
    ScriptedPresenter presenter;
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    ScriptedOutputVolume* volume = new ScriptedOutputVolume; // owned by the watch
    OutputVolumeWatch watch{std::unique_ptr<OutputVolume>(volume)};
    HearingTest test{device, controls, clock, &watch};
    DialogProcedure procedure{test, controls};
};
