#pragma once

#include "RecordTestFixture.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// A hearing test whose data file lives in a scratch folder. The test object is built on demand and
// ended by End(), which saves the records as the end of the program does.
class DataFileTest : public testing::Test {
protected:
    ~DataFileTest() override { test.reset(); }

    HearingTest& Start(const std::string& file = "tonolot.def") {
        test = std::make_unique<HearingTest>(device, controls, clock);
        test->LoadRecords(folder.Path(file).c_str());
        return *test;
    }
    void End() {
        test->SaveRecords();
        test.reset();
    }

    // A record line as the file holds it, built independently of the code under test.
    static std::string Line(const std::string& name, const int (&left)[10],
                            const int (&right)[10]) {
        std::string line = name + "\xF7 L";
        for (int level : left) {
            line += " " + std::to_string(level);
        }
        line += " R";
        for (int level : right) {
            line += " " + std::to_string(level);
        }
        return line;
    }
    static std::string Line(const std::string& name, int base) {
        int left[10];
        int right[10];
        for (int i = 0; i < 10; ++i) {
            left[i] = base + i;
            right[i] = base + 100 + i;
        }
        return Line(name, left, right);
    }
    static std::string Fallback() {
        const int levels[10] = {50, 53, 56, 59, 62, 65, 68, 71, 74, 77};
        return Line("unbekannter Standard", levels, levels);
    }

    // Stores a measurement the way "Übernehmen" leaves it in the store, before its save.
    void StoreMeasured(const char* name, int base) {
        PersonRecord record{};
        std::snprintf(record.name, sizeof record.name, "%s", name);
        for (int i = 0; i < 10; ++i) {
            record.left[i] = base + i;
            record.right[i] = base + 100 + i;
        }
        test->store.Store(record, -1);
    }

    ScratchFolder folder;
    ScriptedPresenter presenter;
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    std::unique_ptr<HearingTest> test;
};

inline const std::string UnsavedText = "Die Messungen konnten nicht gespeichert werden:\r\n";
