// The data file: loading and saving 1,000, 10,000 and 100,000 records in real files, against a
// plain copy of the same bytes that is flushed to the disk as the save is. Each family fits a
// linear cost (BigO/RMS in the output): a small RMS means the cost grows with the file's size.
// A family of damaged files of one long line (1, 4 and 16 MB) shows that such a file, too, loads
// in time linear in its size.

#include "fakes/FakeDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"
#include "support/FileCalls.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// The folder for the files: TONOLOT_BENCH_FOLDER, or a fresh one in the temporary folder. It
// must lie on a real disk for the flushes to mean anything (scripts/bench.sh sees to that).
const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        const char* given = std::getenv("TONOLOT_BENCH_FOLDER");
        std::filesystem::path path = given && *given
                                         ? std::filesystem::path(given)
                                         : std::filesystem::temp_directory_path() /
                                               ("tonolot-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// A data file as the program writes it: the standard, then `count - 1` people with names in
// cp1252 and levels as a tone's rise yields them (0.9 * 1.015^k, k drawn), joined by CR LF.
std::string MakeContent(int count) {
    std::uint32_t seed = 12345;
    auto draw = [&seed](std::uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    std::string content =
        "unbekannter Standard\xF7 L 50 53 56 59 62 65 68 71 74 77 R 50 53 56 59 62 65 68 71 74 77";
    char line[512];
    for (int person = 1; person < count; ++person) {
        int used = std::snprintf(line, sizeof line, "\r\n%s %d\xF7 L",
                                 person % 3 ? "Versuchsperson" : "J\xFCrgen M\xFCller", person);
        for (int ear = 0; ear < 2; ++ear) {
            if (ear == 1) {
                used += std::snprintf(line + used, sizeof line - used, " R");
            }
            for (int tone = 0; tone < PersonRecord::LevelCount; ++tone) {
                long level = static_cast<long>(0.9 * std::pow(1.015, draw(690))) + 1;
                used += std::snprintf(line + used, sizeof line - used, " %ld", level);
            }
        }
        content.append(line, static_cast<std::size_t>(used));
    }
    return content;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The data file with `count` records, written once per size; its path and its bytes.
struct SampleFile {
    std::filesystem::path path;
    std::string content;
};

const SampleFile& Sample(int count) {
    static std::map<int, SampleFile> made;
    auto found = made.find(count);
    if (found != made.end()) {
        return found->second;
    }
    SampleFile sample{Folder() / ("records-" + std::to_string(count) + ".def"), MakeContent(count)};
    std::ofstream(sample.path, std::ios::binary | std::ios::trunc) << sample.content;
    return made.emplace(count, std::move(sample)).first->second;
}

// The application object as the program has it, without window and sound.
struct Program {
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    HearingTest hearing{device, controls, clock};
};

// The file must hold exactly the bytes it held before the save.
bool Unchanged(benchmark::State& state, const SampleFile& sample) {
    if (ReadAll(sample.path) != sample.content) {
        state.SkipWithError("the saved file differs from the loaded one");
        return false;
    }
    return true;
}

void SetCounters(benchmark::State& state, const SampleFile& sample) {
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(sample.content.size()));
}

void LoadRecords(benchmark::State& state) {
    const SampleFile& sample = Sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto program = std::make_unique<Program>();
        state.ResumeTiming();
        program->hearing.LoadRecords(sample.path.string().c_str());
        state.PauseTiming();
        if (program->hearing.store.records.count != static_cast<std::uint32_t>(state.range(0))) {
            state.SkipWithError("not every record was loaded");
        }
        program.reset();
        state.ResumeTiming();
    }
    SetCounters(state, sample);
}

void SaveRecords(benchmark::State& state) {
    const SampleFile& sample = Sample(static_cast<int>(state.range(0)));
    Program program;
    program.hearing.LoadRecords(sample.path.string().c_str());
    for (auto _ : state) {
        program.hearing.SaveRecords();
    }
    Unchanged(state, sample);
    SetCounters(state, sample);
}

// What the program does with the file in one run: load at the start, save at the end.
void LoadAndSave(benchmark::State& state) {
    const SampleFile& sample = Sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto program = std::make_unique<Program>();
        state.ResumeTiming();
        program->hearing.LoadRecords(sample.path.string().c_str());
        program->hearing.SaveRecords();
        state.PauseTiming();
        program.reset();
        state.ResumeTiming();
    }
    Unchanged(state, sample);
    SetCounters(state, sample);
}

// The floor: the same bytes read and written in large blocks, and flushed to the disk.
void RawCopy(benchmark::State& state) {
    const SampleFile& sample = Sample(static_cast<int>(state.range(0)));
    const std::string source = sample.path.string();
    const std::string target = (Folder() / "copy.def").string();
    static char block[1 << 16];
    for (auto _ : state) {
        int in = open(source.c_str(), O_RDONLY);
        int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        bool copied = in >= 0 && out >= 0;
        ssize_t got = 0;
        while (copied && (got = read(in, block, sizeof block)) > 0) {
            copied = write(out, block, static_cast<std::size_t>(got)) == got;
        }
        copied = copied && got == 0 && fsync(out) == 0;
        if (in >= 0) {
            close(in);
        }
        if (out >= 0) {
            close(out);
        }
        if (!copied) {
            state.SkipWithError("the copy failed");
            break;
        }
    }
    SetCounters(state, sample);
}

// The calls of the data file's reader, and nothing else: one read of 128 bytes per chunk of a
// line (and the look-ahead byte when a line end is a chunk's last byte), and a seek back to just
// behind each line end. This is how the data file is read; no load can be faster than these calls.
void ReaderCallsOnly(benchmark::State& state) {
    const SampleFile& sample = Sample(static_cast<int>(state.range(0)));
    const std::string path = sample.path.string();
    char chunk[130];
    std::uint32_t lines = 0;
    for (auto _ : state) {
        FileHandle in = FileOpen(path.c_str(), FileOpenRead);
        lines = 0;
        for (;;) {
            std::uint32_t n = FileRead(in, chunk, 128);
            if (n == 0 || n == FileIoError) {
                break;
            }
            // The sample's lines end in CR LF.
            const char* end = static_cast<const char*>(std::memchr(chunk, '\r', n));
            if (!end) {
                if (n < 128) {
                    ++lines; // the last line
                }
                continue;
            }
            ++lines;
            std::uint32_t used = static_cast<std::uint32_t>(end - chunk) + 1;
            if (used == 128 && FileRead(in, chunk + 128, 1) == 1) {
                n = 129;
            }
            if (used < n && chunk[used] == '\n') {
                ++used;
            }
            if (used < n) {
                FileSeek(in, static_cast<std::int32_t>(used) - static_cast<std::int32_t>(n),
                         FileSeekCurrent);
            }
        }
        FileClose(in);
    }
    if (lines != static_cast<std::uint32_t>(state.range(0))) {
        state.SkipWithError("the calls did not find every line");
    }
    SetCounters(state, sample);
}

// A damaged data file: one line of `bytes` bytes without line end and without the name's
// separator, so no record comes of it. The load must cost in proportion to the line's length.
void LoadOneLine(benchmark::State& state) {
    const std::int64_t bytes = state.range(0);
    const std::filesystem::path path = Folder() / ("one-line-" + std::to_string(bytes) + ".def");
    {
        std::string content(static_cast<std::size_t>(bytes), 'x');
        for (std::size_t i = 0; i < content.size(); i += 7) {
            content[i] = static_cast<char>('0' + i % 10);
        }
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto program = std::make_unique<Program>();
        state.ResumeTiming();
        program->hearing.LoadRecords(path.string().c_str());
        state.PauseTiming();
        if (program->hearing.store.records.count != 1) {
            state.SkipWithError("the damaged line gave a record");
        }
        program.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(bytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
    std::filesystem::remove(path);
}

// "Übernehmen" over a file of this size on disk. Timed: what the user-interface thread does at
// the click (finding the name, the store, the hand-over to the writer). Counters: from the click
// to the writer's outcome (`to_list_ms`, the save with its lock, read and merge), and the
// user-interface thread's taking of the merged list then (`take_ms`, before the list box is
// refilled as ever). Against SaveRecords: the click no longer waits for any of the save.
void StoreAtOnce(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const SampleFile& sample = Sample(static_cast<int>(state.range(0)));
    const std::filesystem::path path = Folder() / ("store-" + sample.path.filename().string());
    std::filesystem::copy_file(sample.path, path,
                               std::filesystem::copy_options::overwrite_existing);
    Program program;
    RecordStore& store = program.hearing.store;
    program.hearing.LoadRecords(path.string().c_str());
    static std::atomic<bool> saved{false};
    store.SetSavedSignal([](void*) { saved = true; }, nullptr);
    PersonRecord record = store.records.items[1];
    std::snprintf(record.name, sizeof record.name, "Neue Messung");
    double toList = 0;
    double take = 0;
    for (auto _ : state) {
        saved = false;
        const Clock::time_point click = Clock::now();
        store.Store(record, store.FindByName(record.name));
        store.Save();
        const Clock::time_point handed = Clock::now();
        while (!saved) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        const Clock::time_point done = Clock::now();
        if (!store.ReportSave(nullptr)) {
            state.SkipWithError("the save failed");
        }
        const Clock::time_point taken = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(handed - click).count());
        toList += std::chrono::duration<double, std::milli>(done - click).count();
        take += std::chrono::duration<double, std::milli>(taken - done).count();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["to_list_ms"] = toList / runs;
    state.counters["take_ms"] = take / runs;
    std::filesystem::remove(path);
}

void Sizes(benchmark::internal::Benchmark* family) {
    family->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
    family->Complexity(benchmark::oN);
}

} // namespace

BENCHMARK(LoadRecords)->Apply(Sizes);
BENCHMARK(SaveRecords)->Apply(Sizes);
BENCHMARK(LoadAndSave)->Apply(Sizes);
BENCHMARK(ReaderCallsOnly)->Apply(Sizes);
BENCHMARK(RawCopy)->Apply(Sizes);
BENCHMARK(StoreAtOnce)->Arg(1000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(LoadOneLine)
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Arg(16 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
