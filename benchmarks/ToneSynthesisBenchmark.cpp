// Tone synthesis: one call of HearingTest::FillBuffer per 1024-frame buffer, the work the audio
// thread does each time a buffer comes back. A buffer lasts 1024 / 44100 s = 23.2 ms; the report
// puts the time per buffer beside that.

#include "fakes/FakeDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// The frequency in Hz is the argument: 12000 Hz makes the longest phase reduction per buffer.
void FillBuffer(benchmark::State& state) {
    QuietWaveOut device;
    FakeDialogControls controls;
    VirtualClock clock;
    HearingTest hearing(device, controls, clock);
    hearing.flags = HearingTest::LeftEar | HearingTest::Unsaved;
    hearing.frequency = static_cast<double>(state.range(0));
    std::vector<StereoFrame> frames(HearingTest::FramesPerBuffer, StereoFrame{0, 0});

    for (auto _ : state) {
        // A level in the middle of a tone's rise, so every buffer is audible and none presses.
        hearing.level = 1000.0;
        hearing.FillBuffer(frames.data());
        benchmark::DoNotOptimize(frames.data());
        benchmark::ClobberMemory();
    }
    state.counters["frames"] = HearingTest::FramesPerBuffer;
}

} // namespace

BENCHMARK(FillBuffer)->Arg(70)->Arg(1000)->Arg(12000)->Unit(benchmark::kMicrosecond);
