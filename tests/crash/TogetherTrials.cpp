#include "TrialFiles.h"
#include "TrialProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

// Two programs saving into one folder at once (the native program and tonolot.exe under Wine):
// each must leave the other's copy alone while it is written, and remove it once its save was
// killed. In each round both save a data file of their own; one of them is killed at a random
// moment of its save in most rounds. The save that runs to its end must have put its copy in the
// file's place: had the other program removed that copy, the save would have fallen back to
// writing the file in place, which keeps the file's inode. After the last round, in which
// neither is killed, no copy may be left.
//
// usage: together_trials PROGRAM_A PROGRAM_B FOLDER ROUNDS [RECORDS [SEED]]
// A program ending in ".exe" runs under Wine. Both are started and loaded before either saves.
// Prints "together trials: N passed, M failed".

namespace fs = std::filesystem;

namespace {

ino_t InodeOf(const fs::path& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

struct Lane {
    std::string program;
    fs::path data;
    double killAfter = -1; // seconds into the save, or never
    TrialProcess::End end = TrialProcess::End::Failed;
    bool started = false;
};

// Runs both trials; once both are loaded, gives the first its go and the second its go `stagger`
// seconds later, so that a save's removal of leftovers falls into the other's writing.
void RunBoth(Lane (&lanes)[2], double stagger) {
    TrialProcess trials[2];
    bool ready = true;
    for (int i = 0; i < 2; ++i) {
        ready = trials[i].Start(lanes[i].program, lanes[i].data.string()) &&
                trials[i].WaitForSignal() && ready;
    }
    if (!ready) {
        return;
    }
    WriteBytes(lanes[0].data.string() + ".go", "");
    std::this_thread::sleep_for(std::chrono::duration<double>(stagger));
    WriteBytes(lanes[1].data.string() + ".go", "");
    std::thread second([&] {
        lanes[1].started = trials[1].WaitForSignal();
        if (lanes[1].started && lanes[1].killAfter >= 0) {
            std::this_thread::sleep_for(std::chrono::duration<double>(lanes[1].killAfter));
            trials[1].Kill();
        }
        lanes[1].end = trials[1].Wait();
    });
    lanes[0].started = trials[0].WaitForSignal();
    if (lanes[0].started && lanes[0].killAfter >= 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(lanes[0].killAfter));
        trials[0].Kill();
    }
    lanes[0].end = trials[0].Wait();
    second.join();
    for (Lane& lane : lanes) {
        fs::remove(lane.data.string() + ".go");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: together_trials PROGRAM_A PROGRAM_B FOLDER ROUNDS "
                             "[RECORDS [SEED]]\n");
        return 2;
    }
    const fs::path folder(argv[3]);
    const int rounds = std::atoi(argv[4]);
    const int records = argc > 5 ? std::atoi(argv[5]) : 20000;
    const unsigned long seed =
        argc > 6 ? std::strtoul(argv[6], nullptr, 10) : std::random_device{}();
    setenv("TONOLOT_TRIAL_WAIT", "1", 1);
    std::error_code error;
    fs::remove_all(folder, error);
    fs::create_directories(folder);
    const std::string old = DataFileOf(records);
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> moment(0.0, 0.05);
    int passed = 0;
    int failed = 0;
    int kills = 0;
    for (int round = 1; round <= rounds; ++round) {
        Lane lanes[2] = {{argv[1], folder / "a.def"}, {argv[2], folder / "b.def"}};
        const int killed = round == rounds ? -1 : static_cast<int>(random() % 3) - 1;
        if (killed >= 0) {
            lanes[killed].killAfter = moment(random);
        }
        ino_t before[2];
        for (int i = 0; i < 2; ++i) {
            WriteBytes(lanes[i].data, old);
            before[i] = InodeOf(lanes[i].data);
        }
        RunBoth(lanes, moment(random) / 2);
        std::vector<std::string> problems;
        for (int i = 0; i < 2; ++i) {
            const std::string content = ReadBytes(lanes[i].data);
            const bool fresh =
                content.size() > old.size() && content.compare(0, old.size(), old) == 0;
            if (lanes[i].end == TrialProcess::End::Killed) {
                ++kills;
                if (content != old && !fresh) {
                    problems.push_back(lanes[i].data.filename().string() + " is torn");
                }
            } else if (lanes[i].end != TrialProcess::End::Succeeded || !fresh) {
                problems.push_back(lanes[i].data.filename().string() + " was not saved");
            } else if (InodeOf(lanes[i].data) == before[i]) {
                problems.push_back(lanes[i].data.filename().string() +
                                   " was written in place: its copy did not take its place");
            }
        }
        int copies = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (IsCopy(name)) {
                ++copies;
            } else if (name != "a.def" && name != "b.def" && !IsLeftLock(entry.path())) {
                problems.push_back("a file that is no copy of a save: " + name);
            }
        }
        // Only the killed save's copy may be left: the finished ones removed earlier leftovers.
        if (copies > (killed >= 0 && lanes[killed].end == TrialProcess::End::Killed ? 1 : 0)) {
            problems.push_back(std::to_string(copies) + " copies are left");
        }
        for (const std::string& problem : problems) {
            std::printf("round %d: %s\n", round, problem.c_str());
        }
        (problems.empty() ? passed : failed) += 1;
    }
    std::printf("together trials: %d passed, %d failed (seed %lu, %d records, %d kills)\n", passed,
                failed, seed, records, kills);
    return failed == 0 ? 0 : 1;
}
