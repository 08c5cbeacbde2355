// The record operations of the hearing test: the record list box, the name field, storing
// "current" under a typed name, the question before an unstored measurement is given up, and the
// comparison record.

#include "hearing/HearingTest.h"
#include "support/ControlIds.h"
#include "support/MessageBoxes.h"

#include <cstring>

namespace {

// The name field is read with a maximum of 127, which yields at most 126 characters; a longer
// typed name is cut there.
constexpr int NameFieldMaxCount = 127;

// The data file separates a name from its levels with this byte (the division sign in cp1252),
// so it never stays in a typed name.
constexpr char NameSeparator = '\xF7';

constexpr const char* LeftNotMeasured =
    "Das linke Ohr wurde noch nicht gemessen, oder die Messung ist ung\xFCltig!";
constexpr const char* RightNotMeasured =
    "Das rechte Ohr wurde noch nicht gemessen, oder die Messung ist ung\xFCltig!";
constexpr const char* EnterName = "Bitte einen Namen eingeben";
constexpr const char* AskOverwrite = "M\xF6"
                                     "chten Sie die Messung mit der neuen \xFC"
                                     "berschreiben?";
constexpr const char* AskStore = "M\xF6"
                                 "chten Sie die letzte Messung \xFC"
                                 "bernehmen?";
constexpr const char* ListFull = "Die Messung konnte nicht \xFC"
                                 "bernommen werden, es ist kein Speicher mehr frei.";
constexpr const char* ComparisonCaption = "Vergleich";

// A name from the list is used only when its terminator lies inside its 128 bytes, so nothing
// reads past a record.
bool Terminated(const PersonRecord& record) {
    return std::memchr(record.name, '\0', PersonRecord::NameSize) != nullptr;
}

// Names are equal byte for byte up to and including the terminator, case-sensitively.
bool SameName(const PersonRecord& record, const char* name) {
    return name != nullptr && Terminated(record) && std::strcmp(record.name, name) == 0;
}

} // namespace

const char* HearingTest::NameAt(std::int32_t index) const {
    return store.NameAt(index);
}

int HearingTest::FindByName(const char* name) const {
    return store.FindByName(name);
}

void HearingTest::FillRecordList(WindowHandle dialog) {
    // Without a matching entry the selection goes to the old item count: after a record was
    // appended that is the new last entry; otherwise it lies past the end and the list box shows
    // no selection.
    int selection = controls.ListCount(dialog, IdRecordList);
    controls.ListClear(dialog, IdRecordList);
    for (std::uint32_t i = 0; i < store.records.count; ++i) {
        const int index = static_cast<int>(i);
        controls.ListAdd(dialog, IdRecordList, NameAt(index));
        // The last of several equal names wins.
        if (SameName(store.records.items[i], current.name)) {
            selection = index;
        }
    }
    controls.ListSelect(dialog, IdRecordList, selection);
}

void HearingTest::SelectRecord(WindowHandle dialog, std::int32_t index) {
    if (const PersonRecord* record = store.records.At(index)) {
        controls.SetItemText(dialog, IdName, NameAt(index));
        std::memcpy(&current, record, sizeof(PersonRecord));
        flags.store(0);
    }
    // Also without a record: the chart is redrawn either way.
    controls.Invalidate(dialog, true);
}

void HearingTest::StoreCurrent(WindowHandle dialog) {
    if (current.left[0] <= 0) {
        ShowMessageFor(dialog, "%s", LeftNotMeasured);
        return;
    }
    if (current.right[0] <= 0) {
        ShowMessageFor(dialog, "%s", RightNotMeasured);
        return;
    }

    // The bytes behind the new terminator keep what they held, so storing a loaded record again
    // under its own name leaves it byte for byte as it was (and equal to a comparison copy).
    controls.GetItemText(dialog, IdName, current.name, NameFieldMaxCount);
    current.name[PersonRecord::NameSize - 1] = '\0';
    for (char* c = current.name; *c != '\0'; ++c) {
        if (*c == NameSeparator) {
            *c = ':';
        }
    }
    if (current.name[0] == '\0') {
        ShowMessageFor(dialog, "%s", EnterName);
        return;
    }

    const int found = FindByName(current.name);
    if (found >= 0) {
        // Anything but Yes (also a box that could not be shown) keeps the stored record.
        if (ShowMessageStyled(MessageYesNo, dialog, "%s", AskOverwrite) != AnswerYes) {
            return;
        }
        store.Store(current, found);
    } else if (!store.Store(current, -1)) {
        // The list cannot take another record: say so and keep the measurement marked unstored,
        // so that closing the window asks again instead of dropping it silently.
        ShowMessageFor(dialog, "%s", ListFull);
        return;
    }
    // On the disk at once; the dialog hears of the outcome (IdRecordsSaved).
    store.Save();
    // One 32-bit store: the tone synthesis reads the ear bits on the audio thread.
    flags.store(0);
}

bool HearingTest::AskStoreLast(WindowHandle dialog) {
    // Only a measurement of both ears is worth a question; one ear alone is given up silently.
    if ((flags.load() & Unsaved) == 0 || current.left[0] <= 0 || current.right[0] <= 0) {
        return true;
    }
    if (ShowMessageStyled(MessageYesNo, dialog, "%s", AskStore) != AnswerYes) {
        return true;
    }
    StoreCurrent(dialog);
    // Cleared flags mean the record went into the list; otherwise the name was empty, the user
    // refused to overwrite, or the list was full, and the caller must not go on.
    return flags.load() == 0;
}

bool HearingTest::UnstoredMeasurement(const char* name, PersonRecord& record) const {
    if ((flags.load() & Unsaved) == 0 || current.left[0] <= 0 || current.right[0] <= 0) {
        return false;
    }
    std::memcpy(&record, &current, sizeof(PersonRecord));
    std::strncpy(record.name, name, PersonRecord::NameSize - 1);
    record.name[PersonRecord::NameSize - 1] = '\0';
    for (char* c = record.name; *c != '\0'; ++c) {
        if (*c == NameSeparator) {
            *c = ':';
        }
    }
    return true;
}

void HearingTest::RestoreUnstored(const PersonRecord& record) {
    std::memcpy(&current, &record, sizeof(PersonRecord));
    // No ear bit: no run is under way.
    flags.store(Unsaved);
}

void HearingTest::SetComparison(WindowHandle dialog, bool ticked) {
    TextString caption;
    caption.Assign(ComparisonCaption);
    if (ticked) {
        const std::int32_t selection = controls.ListSelection(dialog, IdRecordList);
        if (const PersonRecord* record = store.records.At(selection)) {
            std::memcpy(&comparison, record, sizeof(PersonRecord));
            caption.Append(": ");
            caption.Append(NameAt(selection));
        }
    } else {
        // The chart draws a comparison curve only while its first level is above 0; the rest
        // of the copy stays.
        comparison.left[0] = 0;
        comparison.right[0] = 0;
    }
    controls.SetItemText(dialog, IdComparison, caption.Text());
}
