#include "FuzzSupport.h"
#include "fakes/FakeDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

struct Run {
    std::vector<PersonRecord> records;
    std::string file; // the data file after the save
};

// One run of the program over the data file: load at start-up, save at the end.
Run LoadAndSave(const std::string& path) {
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    Run run;
    {
        HearingTest test(device, controls, clock);
        test.LoadRecords(path.c_str());
        FUZZ_CHECK(test.store.records.count > 0);
        FUZZ_CHECK(SameBytes(test.store.standard, test.store.records.items[0]));
        run.records.assign(test.store.records.items,
                           test.store.records.items + test.store.records.count);
        test.SaveRecords();
    }
    std::ifstream in(path, std::ios::binary);
    run.file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

// Name and levels: what the user sees of a record.
bool SameContent(const PersonRecord& a, const PersonRecord& b) {
    return std::strcmp(a.name, b.name) == 0 && std::memcmp(a.left, b.left, sizeof a.left) == 0 &&
           std::memcmp(a.right, b.right, sizeof a.right) == 0;
}

} // namespace

// A whole data file of arbitrary bytes through three runs of the program. Whatever the first run
// loaded comes back from its save record for record, names and levels alike. The bytes behind a
// name's terminator hold the rest of its line, which the save writes in its own spacing, so whole
// 208-byte records are equal from the saved file on: the third run loads exactly what the second
// did, and saves the same file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path =
        WriteFuzzFile("tonolot.def", std::string(reinterpret_cast<const char*>(data), size));
    const Run first = LoadAndSave(path);
    const Run second = LoadAndSave(path);
    const Run third = LoadAndSave(path);

    FUZZ_CHECK(second.records.size() == first.records.size());
    for (std::size_t i = 0; i < first.records.size(); ++i) {
        FUZZ_CHECK(SameContent(second.records[i], first.records[i]));
    }
    FUZZ_CHECK(third.records.size() == second.records.size());
    for (std::size_t i = 0; i < second.records.size(); ++i) {
        FUZZ_CHECK(SameBytes(third.records[i], second.records[i]));
    }
    FUZZ_CHECK(second.file == first.file && third.file == second.file);
    return 0;
}
