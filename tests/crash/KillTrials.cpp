#include "TrialFiles.h"
#include "TrialProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

// Kills the save trial at random moments of its save, again and again, and checks after every
// kill what the user would find: the data file is there and holds exactly the old or exactly the
// new content, and the only other files beside it are copies of killed saves, none of which
// outlives the next save that puts its content in place (that save removes them).
//
// usage: kill_trials SAVE_TRIAL FOLDER TRIALS [RECORDS [SEED]]
// FOLDER is emptied first; the trials run in two lanes side by side, each in a folder of its own.
// Prints "kill trials: N passed, M failed ..." and exits with 1 when any trial failed or the
// kills did not cover the save: each of old content kept, new content in place and a copy left
// behind must have been seen.

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* DataName = "tonolot.def";

struct Run {
    TrialProcess::End end = TrialProcess::End::Failed;
    bool saveStarted = false;
    double seconds = 0; // how long the save took, when it was not killed
};

// One run of the trial; killed `killAfter` seconds into its save unless that is negative.
Run RunTrial(const std::string& program, const fs::path& data, double killAfter) {
    Run run;
    TrialProcess trial;
    if (!trial.Start(program, data.string())) {
        return run;
    }
    run.saveStarted = trial.WaitForSignal();
    const Clock::time_point started = Clock::now();
    if (run.saveStarted && killAfter >= 0) {
        // Sleeping up to a millisecond before the moment and waiting actively for the rest:
        // sleeping alone would round the moment up to the scheduler's tick, waiting actively
        // alone would take a processor from the trial.
        const auto until = started + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(killAfter));
        if (until - started > std::chrono::milliseconds(2)) {
            std::this_thread::sleep_until(until - std::chrono::milliseconds(1));
        }
        while (Clock::now() < until) {
        }
        trial.Kill();
    }
    if (run.saveStarted && killAfter < 0 && trial.WaitForSignal()) {
        run.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    }
    run.end = trial.Wait();
    return run;
}

class KillTrials {
public:
    KillTrials(std::string program, const fs::path& folder)
        : program(std::move(program)), folder(folder), data(folder / DataName) {}

    // Runs undisturbed saves: the new content and how long a save takes (the median, so that one
    // slow save on a busy machine does not stretch the moments of the kills). False when a save
    // did not give one fixed content with one more record.
    bool Calibrate(const std::string& oldContent) {
        old = oldContent;
        std::vector<double> seconds;
        for (int i = 0; i < 5; ++i) {
            WriteBytes(data, old);
            Run run = RunTrial(program, data, -1);
            std::string saved = ReadBytes(data);
            if (run.end != TrialProcess::End::Succeeded || saved.size() <= old.size() ||
                saved.compare(0, old.size(), old) != 0 || (i > 0 && saved != fresh) ||
                Others().size() != 0) {
                std::printf("an undisturbed save did not add the record cleanly\n");
                return false;
            }
            fresh = saved;
            seconds.push_back(run.seconds);
        }
        std::sort(seconds.begin(), seconds.end());
        saveSeconds = seconds[seconds.size() / 2];
        return true;
    }

    // Takes over what another lane's calibration found.
    void Adopt(const KillTrials& calibrated) {
        old = calibrated.old;
        fresh = calibrated.fresh;
        saveSeconds = calibrated.saveSeconds;
    }

    // One trial: the old content, a save killed after `killAfter` seconds, the checks.
    void Trial(int number, double killAfter) {
        WriteBytes(data, old);
        Run run = RunTrial(program, data, killAfter);
        std::vector<std::string> problems;
        if (!run.saveStarted) {
            problems.push_back("the trial did not reach its save");
        }
        if (run.end == TrialProcess::End::Failed) {
            problems.push_back("the save reported a failure");
        }
        bool replaced = false;
        if (!fs::exists(data)) {
            problems.push_back("the data file is gone");
        } else {
            std::string content = ReadBytes(data);
            replaced = content == fresh;
            if (content == old) {
                ++keptOld;
            } else if (replaced) {
                ++gotNew;
            } else {
                problems.push_back("the data file holds neither the old nor the new content (" +
                                   std::to_string(content.size()) + " bytes)");
            }
        }
        std::set<std::string> copies;
        std::string newCopy; // the copy this trial's save left
        for (const std::string& name : Others()) {
            std::string content = ReadBytes(folder / name);
            if (!IsCopy(name)) {
                problems.push_back("a file that is no copy of a save: " + name);
            } else if (fresh.compare(0, content.size(), content) != 0) {
                problems.push_back("a copy that is not the start of the new content: " + name);
            }
            copies.insert(name);
            if (!lastCopies.count(name)) {
                newCopy = name;
            }
        }
        // A save that put its content in place (killed after that or not) has removed the
        // copies of the killed saves before it.
        if (replaced && !copies.empty()) {
            problems.push_back(std::to_string(copies.size()) +
                               " copies are left after a save that put its content in place");
        }
        if (run.end == TrialProcess::End::Succeeded) {
            ++finished;
        } else if (!newCopy.empty()) {
            ++leftCopy;
            midWrite += ReadBytes(folder / newCopy).size() < fresh.size() ? 1 : 0;
        }
        lastCopies = copies;
        if (problems.empty()) {
            ++passed;
            return;
        }
        ++failed;
        for (const std::string& problem : problems) {
            std::printf("trial %d, killed %.2f ms into the save: %s\n", number, killAfter * 1000,
                        problem.c_str());
        }
    }

    void Add(const KillTrials& lane) {
        passed += lane.passed;
        failed += lane.failed;
        keptOld += lane.keptOld;
        gotNew += lane.gotNew;
        finished += lane.finished;
        leftCopy += lane.leftCopy;
        midWrite += lane.midWrite;
    }

    std::vector<std::string> Others() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename() != DataName && !IsLeftLock(entry.path())) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    std::string program;
    fs::path folder;
    fs::path data;
    std::string old;
    std::string fresh;
    double saveSeconds = 0;
    std::set<std::string> lastCopies;
    int passed = 0;
    int failed = 0;
    int keptOld = 0;
    int gotNew = 0;
    int finished = 0;
    int leftCopy = 0;
    int midWrite = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: kill_trials SAVE_TRIAL FOLDER TRIALS [RECORDS [SEED]]\n");
        return 2;
    }
    const int count = std::atoi(argv[3]);
    const int records = argc > 4 ? std::atoi(argv[4]) : 2000;
    const unsigned long seed =
        argc > 5 ? std::strtoul(argv[5], nullptr, 10) : std::random_device{}();
    const fs::path folder(argv[2]);
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder);
    const Clock::time_point begun = Clock::now();

    // Two lanes of trials side by side, each in a folder of its own, keep both processors busy.
    constexpr int Lanes = 2;
    std::vector<std::unique_ptr<KillTrials>> lanes;
    for (int lane = 0; lane < Lanes; ++lane) {
        fs::path own = folder / ("lane" + std::to_string(lane));
        fs::create_directories(own);
        lanes.push_back(std::make_unique<KillTrials>(argv[1], own));
    }
    if (!lanes[0]->Calibrate(DataFileOf(records))) {
        std::printf("kill trials: 0 passed, %d failed\n", count);
        return 1;
    }
    for (int lane = 1; lane < Lanes; ++lane) {
        lanes[lane]->Adopt(*lanes[0]);
    }
    std::vector<std::thread> threads;
    for (int lane = 0; lane < Lanes; ++lane) {
        threads.emplace_back([&, lane] {
            // Kills spread over the whole save and a little beyond, so that some saves put their
            // content in place and show that the copies of the killed ones go.
            std::mt19937_64 random(seed + static_cast<unsigned long>(lane));
            std::uniform_real_distribution<double> moment(0.0, lanes[0]->saveSeconds * 1.2);
            for (int i = lane + 1; i <= count; i += Lanes) {
                lanes[lane]->Trial(i, moment(random));
            }
            // A last save that runs to its end removes what the killed ones left.
            lanes[lane]->Trial(count + lane + 1, -1);
        });
    }
    KillTrials trials(argv[1], folder);
    for (int lane = 0; lane < Lanes; ++lane) {
        threads[lane].join();
        trials.Add(*lanes[lane]);
    }
    trials.saveSeconds = lanes[0]->saveSeconds;

    bool covered = trials.keptOld > 0 && trials.gotNew > 0 && trials.leftCopy > 0;
    if (!covered) {
        std::printf("the kills did not cover the save: old content kept %d times, new content %d "
                    "times, copies left %d times\n",
                    trials.keptOld, trials.gotNew, trials.leftCopy);
    }
    std::printf("kill trials: %d passed, %d failed (seed %lu, %d records; old content kept %d, "
                "new content %d, saves that finished %d, kills that left a copy %d, %d of them "
                "part-written; a save takes %.1f ms; %.1f s in all)\n",
                trials.passed, trials.failed, seed, records, trials.keptOld, trials.gotNew,
                trials.finished, trials.leftCopy, trials.midWrite, trials.saveSeconds * 1000,
                std::chrono::duration<double>(Clock::now() - begun).count());
    return trials.failed == 0 && covered ? 0 : 1;
}
