// Plays a continuous 1000 Hz tone (amplitude 10000, left channel) through WaveStreamer and the
// winmm device for a few seconds, so that a recording of the sound card can be checked for
// gaps. Windows build only; see check-winmm-tone.sh.
#include "audio/WaveStreamer.h"
#include "audio/winmm/WinmmWaveOut.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

class Tone : public WaveStreamer {
public:
    using WaveStreamer::WaveStreamer;
    ~Tone() { Close(); }

    // Runs on the notification thread only, so the phase needs no guard.
    void FillBuffer(StereoFrame* frames) override {
        constexpr double Step = 2.0 * 3.141592653589793 * 1000.0 / 44100.0;
        for (int i = 0; i < FramesPerBuffer; ++i) {
            frames[i].left = static_cast<std::int16_t>(std::lround(10000.0 * std::sin(phase)));
            frames[i].right = 0;
            phase += Step;
        }
        phase = std::fmod(phase, 2.0 * 3.141592653589793);
        ++fills;
    }

    double phase = 0.0;
    int fills = 0;
};

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    WinmmWaveOut device;
    Tone tone(device);
    if (!tone.IsOpen()) {
        std::fprintf(stderr, "the wave-out device did not open\n");
        return 2;
    }
    if (!tone.Start()) {
        std::fprintf(stderr, "Start failed\n");
        return 3;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const bool stopped = tone.Stop();
    tone.Close();
    std::printf("played %.1f s, %d buffers filled, stop %s\n", seconds, tone.fills,
                stopped ? "ok" : "failed");
    return stopped ? 0 : 4;
}
