#include "fakes/FakeDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/ScriptedPresenter.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

// The program the kill trials kill: loads the data file named on the command line, stores one
// measurement as "Übernehmen" does, and saves the records as at the end of the program; it writes
// one byte to its standard output just before the save and one just after it (and, driven
// together with another program, one when it is ready and waits for its go). Exit code 0 when the
// save succeeded, 1 when it showed that the measurements could not be saved.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: save_trial DATAFILE\n");
        return 2;
    }
    ScriptedPresenter presenter;
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    auto test = std::make_unique<HearingTest>(device, controls, clock);
    test->LoadRecords(argv[1]);

    PersonRecord record{};
    std::snprintf(record.name, sizeof record.name, "Probelauf");
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        record.left[i] = 20 + i;
        record.right[i] = 40 + i;
    }
    test->store.Store(record, -1);

    // Driven together with another program, the trial waits for its go (see TogetherTrials).
    if (std::getenv("TONOLOT_TRIAL_WAIT")) {
        std::fputc('R', stdout);
        std::fflush(stdout);
        const std::string go = std::string(argv[1]) + ".go";
        while (!std::filesystem::exists(go)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::fputc('S', stdout);
    std::fflush(stdout);
    test->SaveRecords();
    test.reset();
    std::fputc('E', stdout);
    std::fflush(stdout);
    return presenter.Count() == 0 ? 0 : 1;
}
