#pragma once

#include "records/PersonRecord.h"
#include "records/RecordList.h"
#include "support/FileSave.h"
#include "support/TextString.h"
#include "support/WindowHandle.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The person records and their data file, owned in one place: the list loaded at start, the
// stores of this copy, and their saves. A store goes to the disk at once, on a writer thread of
// the store's own, so a slow or hanging folder never holds the window: the user-interface thread
// hands over a snapshot of the stores not yet on disk and never waits. Each save merges them into
// the file as it is now (other copies of the program may save into it too, see
// MergeIntoDataFile); its outcome comes back to the user-interface thread through ReportSave,
// which takes the merged list and shows what went wrong. A store whose save failed stays to be
// saved again by the next store or by the end.
//
// Threads: everything is called on the user-interface thread; the writer thread touches only the
// job and the outcome, under `lock`, and the file.
class RecordStore {
public:
    RecordStore();
    // Stops the writer after the save it is in; saves nothing.
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Called with `context` on the writer thread after each save; it must only hand the news on
    // (post a command). Null: nobody is told.
    using SavedSignal = void (*)(void* context);
    void SetSavedSignal(SavedSignal signal, void* context);

    // Loads the data file (see LoadDataFile) and takes entry 0 as the standard.
    void Load(const char* path);

    // The name of entry i, or "" when there is none.
    const char* NameAt(std::int32_t index) const;
    // The lowest index whose name equals the text byte for byte, or -1.
    int FindByName(const char* name) const;

    // Stores the record: over entry `index`, or at the end when index is -1. False, with nothing
    // changed, when the list cannot grow. Saved by the next Save or SaveAndWait.
    bool Store(const PersonRecord& record, std::int32_t index);
    // Hands the stores not yet on disk to the writer and returns at once.
    void Save();
    // The end of the program: saves what is not on disk yet (merging like every save) and waits
    // for the writer at most `milliseconds`. An unstored measurement given here is kept in the
    // recovery file (see RecoveryFile.h). False when it did not finish in time.
    bool SaveAndWait(std::uint32_t milliseconds, const PersonRecord* unstored = nullptr);
    // User-interface thread, after the saved signal (and after SaveAndWait): takes the list the
    // last save wrote, with the stores made since on top, and shows a box (owned by `owner`)
    // when a save that carried stores failed. True when the list changed.
    bool ReportSave(WindowHandle owner);
    // Whether stores of this run are not on disk yet.
    bool HasUnsaved() const { return !unsaved.empty(); }

    // The unstored measurement the last session left in the recovery file, or null.
    const PersonRecord* Recovered() const { return recoveryHeld ? &recovered : nullptr; }
    // The recovered measurement was stored or given up: the next save removes its file. Every
    // store does this itself.
    void ForgetRecovery();

    RecordList records;
    // A copy of entry 0, taken at the load and at no other time.
    PersonRecord standard{};
    // The path of the data file; empty when it could be neither opened nor created.
    TextString dataPath;

private:
    struct Stored {
        PersonRecord record;
        std::uint64_t serial;
    };
    struct Outcome {
        FileSaveResult result;
        std::uint64_t serial = 0; // the last store the save carried
        bool carriedStores = false;
        RecordList merged;
    };

    void WriterLoop();
    // Hands the stores to the writer; the number of the job.
    std::uint64_t StartJob(const PersonRecord* unstored);
    void Show(WindowHandle owner, const Outcome& outcome);

    // User-interface thread only.
    std::vector<Stored> unsaved;
    std::uint64_t nextSerial = 1;
    // The path given to Load, kept even when it could not be used, so that a box can name it.
    TextString givenPath;
    PersonRecord recovered{};
    bool recoveryHeld = false;
    bool forgetRecovery = false;

    // Shared with the writer.
    std::mutex lock;
    std::condition_variable wake;     // a job or the end for the writer
    std::condition_variable finished; // a save done, for SaveAndWait
    SavedSignal savedSignal = nullptr;
    void* savedContext = nullptr;
    bool jobWaiting = false;
    bool stopping = false;
    std::vector<Stored> job;
    std::string jobPath;
    bool jobRemovesRecovery = false;
    bool jobKeepsUnstored = false;
    PersonRecord jobUnstored{};
    std::uint64_t jobsStarted = 0;
    std::uint64_t jobsDone = 0;
    bool outcomeReady = false;
    Outcome outcome;
    std::thread writer;
};
