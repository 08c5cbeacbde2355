#include "records/RecordStore.h"

#include "records/DataFile.h"
#include "records/RecoveryFile.h"
#include "support/Cp1252.h"
#include "support/FileCalls.h"
#include "support/MessageBoxes.h"

#include <chrono>
#include <cstring>
#include <utility>

namespace {

constexpr const char* UnsavedText = "Die Messungen konnten nicht gespeichert werden:\r\n%s";
constexpr const char* NoSpaceText =
    "Die Messungen konnten nicht gespeichert werden, weil auf dem Datentr\xE4ger kein Platz mehr "
    "ist. Die Datei ist unver\xE4ndert:\r\n%s";
constexpr const char* KeptAsideText =
    "Die Datei %s konnte nicht ersetzt werden und fehlt.\r\nAlle Messungen stehen in der "
    "Datei:\r\n%s";

bool Terminated(const PersonRecord& record) {
    return std::memchr(record.name, '\0', PersonRecord::NameSize) != nullptr;
}

} // namespace

RecordStore::RecordStore() = default;

RecordStore::~RecordStore() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    if (writer.joinable()) {
        writer.join();
    }
}

void RecordStore::SetSavedSignal(SavedSignal signal, void* context) {
    std::lock_guard<std::mutex> guard(lock);
    savedSignal = signal;
    savedContext = context;
}

void RecordStore::Load(const char* path) {
    givenPath.Assign(path);
    if (LoadDataFile(path, records)) {
        dataPath.Assign(path);
        recoveryHeld = ReadRecovery(RecoveryPathFor(path), recovered);
    }
    // Without even the fallback record in the list the chart still gets its reference curve.
    standard = records.count > 0 ? records.items[0] : FallbackRecord();
}

const char* RecordStore::NameAt(std::int32_t index) const {
    const PersonRecord* record = records.At(index);
    return record != nullptr && Terminated(*record) ? record->name : "";
}

int RecordStore::FindByName(const char* name) const {
    for (std::uint32_t i = 0; i < records.count; ++i) {
        if (name != nullptr && Terminated(records.items[i]) &&
            std::strcmp(records.items[i].name, name) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool RecordStore::Store(const PersonRecord& record, std::int32_t index) {
    if (PersonRecord* entry = records.At(index)) {
        std::memcpy(entry, &record, sizeof(PersonRecord));
    } else if (!records.Add(record)) {
        return false;
    }
    unsaved.push_back({record, nextSerial++});
    ForgetRecovery();
    return true;
}

void RecordStore::ForgetRecovery() {
    forgetRecovery = forgetRecovery || recoveryHeld;
    recoveryHeld = false;
}

std::uint64_t RecordStore::StartJob(const PersonRecord* unstored) {
    std::lock_guard<std::mutex> guard(lock);
    // A job still waiting is replaced: this one carries all its stores and those since.
    job = unsaved;
    jobPath = dataPath.Text();
    jobRemovesRecovery = jobRemovesRecovery || forgetRecovery;
    forgetRecovery = false;
    jobKeepsUnstored = unstored != nullptr;
    if (unstored != nullptr) {
        jobUnstored = *unstored;
    }
    jobWaiting = true;
    if (!writer.joinable()) {
        writer = std::thread(&RecordStore::WriterLoop, this);
    }
    wake.notify_all();
    return ++jobsStarted;
}

void RecordStore::Save() {
    // Without a path nothing was ever loaded: there is no file to talk of.
    if (givenPath.Length() > 0) {
        StartJob(nullptr);
    }
}

bool RecordStore::SaveAndWait(std::uint32_t milliseconds, const PersonRecord* unstored) {
    if (givenPath.Length() == 0) {
        return true;
    }
    const std::uint64_t number = StartJob(unstored);
    std::unique_lock<std::mutex> guard(lock);
    return finished.wait_for(guard, std::chrono::milliseconds(milliseconds),
                             [&] { return jobsDone >= number; });
}

void RecordStore::WriterLoop() {
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        wake.wait(guard, [&] { return jobWaiting || stopping; });
        if (stopping) {
            return;
        }
        std::vector<Stored> taken;
        taken.swap(job);
        const std::string path = jobPath;
        const std::uint64_t number = jobsStarted;
        const bool removeRecovery = jobRemovesRecovery;
        const bool keepUnstored = jobKeepsUnstored;
        const PersonRecord unstored = jobUnstored;
        jobWaiting = false;
        guard.unlock();

        std::vector<PersonRecord> stores;
        stores.reserve(taken.size());
        for (const Stored& stored : taken) {
            stores.push_back(stored.record);
        }
        RecordList merged;
        FileSaveResult result =
            path.empty() ? FileSaveResult{}
                         : MergeIntoDataFile(path.c_str(), stores.data(), stores.size(), merged);
        const bool saved = result.outcome == FileSaveResult::Outcome::Saved;
        if (!path.empty() && (saved || keepUnstored)) {
            // Ours since the load: its measurement is stored or given up, or kept anew below.
            if (removeRecovery) {
                FileRemove(RecoveryPathFor(path.c_str()).c_str());
            }
            if (keepUnstored) {
                WriteRecovery(RecoveryPathFor(path.c_str()), unstored);
            }
        }

        guard.lock();
        if (removeRecovery && (saved || keepUnstored)) {
            jobRemovesRecovery = false;
        }
        // An outcome not yet taken is older: this save carried its stores as well.
        outcome.result = std::move(result);
        outcome.serial = taken.empty() ? 0 : taken.back().serial;
        outcome.carriedStores = !taken.empty();
        outcome.merged.Swap(merged);
        outcomeReady = true;
        jobsDone = number;
        finished.notify_all();
        const SavedSignal signal = savedSignal;
        void* const context = savedContext;
        guard.unlock();
        if (signal != nullptr) {
            signal(context);
        }
        guard.lock();
    }
}

bool RecordStore::ReportSave(WindowHandle owner) {
    Outcome taken;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!outcomeReady) {
            return false;
        }
        taken.result = std::move(outcome.result);
        taken.serial = outcome.serial;
        taken.carriedStores = outcome.carriedStores;
        taken.merged.Swap(outcome.merged);
        outcomeReady = false;
    }
    if (taken.result.outcome != FileSaveResult::Outcome::Saved) {
        Show(owner, taken);
        return false;
    }
    std::erase_if(unsaved, [&](const Stored& stored) { return stored.serial <= taken.serial; });
    records.Swap(taken.merged);
    // Stores made while the save ran are on top, as the next save will put them.
    for (const Stored& stored : unsaved) {
        ApplyStore(records, stored.record);
    }
    return true;
}

void RecordStore::Show(WindowHandle owner, const Outcome& failed) {
    // The path is UTF-8; the box shows cp1252 like every other text.
    TextString shown;
    Utf8ToCp1252(dataPath.Length() > 0 ? dataPath.Text() : givenPath.Text(), shown);
    switch (failed.result.outcome) {
    case FileSaveResult::Outcome::Saved:
        break;
    case FileSaveResult::Outcome::KeptAside: {
        // The records are nowhere else: the person must learn where they are.
        TextString kept;
        Utf8ToCp1252(failed.result.keptAt.c_str(), kept);
        ShowMessageFor(owner, KeptAsideText, shown.Text(), kept.Text());
        break;
    }
    case FileSaveResult::Outcome::NoSpace:
    case FileSaveResult::Outcome::Failed:
        // Measurements stored in this run must not vanish silently; an unchanged list may.
        if (failed.carriedStores) {
            ShowMessageFor(owner,
                           failed.result.outcome == FileSaveResult::Outcome::NoSpace ? NoSpaceText
                                                                                     : UnsavedText,
                           shown.Text());
        }
        break;
    }
}
