#pragma once

#include "fakes/FakeDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/ScriptedPresenter.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"
#include "support/ControlIds.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

// A hearing test without a window: the dialog is a fake, the message boxes are scripted, and the
// data path stays empty so that the destructor writes no file.
class RecordTest : public testing::Test {
protected:
    // Ten distinct levels per ear, so a record copied from the wrong place shows.
    static PersonRecord Measured(const char* name, int base) {
        PersonRecord record{};
        std::snprintf(record.name, sizeof record.name, "%s", name);
        for (int i = 0; i < PersonRecord::LevelCount; ++i) {
            record.left[i] = base + i;
            record.right[i] = base + 50 + i;
        }
        return record;
    }

    void AddRecord(const char* name, int base) { test.store.records.Add(Measured(name, base)); }

    // What a finished left and right run leaves behind.
    void MeasureBothEars(int base) {
        PersonRecord measured = Measured("Neue Person", base);
        std::memcpy(&test.current, &measured, sizeof measured);
        test.flags.store(HearingTest::RightEar | HearingTest::Unsaved);
    }

    void TypeName(const char* name) { controls.SetItemText(dialog, IdName, name); }

    std::string Name(int index) const { return test.NameAt(index); }

    WindowHandle dialog = reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(0x4711));
    ScriptedPresenter presenter;
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    HearingTest test{device, controls, clock};
};

// The system's texts, as the user reads them (cp1252).
inline const std::string LeftNotMeasuredText =
    "Das linke Ohr wurde noch nicht gemessen, oder die Messung ist ung\xFCltig!";
inline const std::string RightNotMeasuredText =
    "Das rechte Ohr wurde noch nicht gemessen, oder die Messung ist ung\xFCltig!";
inline const std::string EnterNameText = "Bitte einen Namen eingeben";
inline const std::string OverwriteText = "M\xF6"
                                         "chten Sie die Messung mit der neuen \xFC"
                                         "berschreiben?";
inline const std::string StoreLastText = "M\xF6"
                                         "chten Sie die letzte Messung \xFC"
                                         "bernehmen?";
