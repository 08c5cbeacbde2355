// Plays a rising 1000 Hz tone in the left channel through WaveStreamer and the ALSA device for a
// few seconds, as the hearing test synthesises it (truncated sine, level times 1.015 per buffer of
// 1024 frames up to 30000), so that a recording of the sound card can be checked sample by sample
// for gaps. Native Linux build only; see check-alsa-tone.sh.
//
// Usage: AlsaToneCheck [seconds] [start level] [device] [stall ms] [restart after s]
// A stall holds the notification thread once, after about a second, for that long: the device
// runs dry and must play on afterwards. A restart stops the streamer after that many seconds and
// starts it again at once, without closing: the tone goes on after the ring's silent start.
#include "audio/WaveStreamer.h"
#include "audio/alsa/AlsaWaveOut.h"
#include "support/MessageBoxes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

class PrintedBoxes : public MessagePresenter {
public:
    int Present(WindowHandle, const char* text, const char*, unsigned) override {
        std::fprintf(stderr, "box: %s\n", text);
        return 1;
    }
};

class Tone : public WaveStreamer {
public:
    Tone(WaveOutDevice& device, double start, int stallMilliseconds)
        : WaveStreamer(device), level(start), stall(stallMilliseconds) {}
    ~Tone() { Close(); }

    // Runs on the notification thread only, so its fields need no guard.
    void FillBuffer(StereoFrame* frames) override {
        constexpr double TwoPi = 6.283185307179586;
        constexpr double Step = 0.00014247585730565955 * 1000.0;
        const double amplitude = level;
        if (level < 30000.0) {
            level = std::min(30000.0, std::max(level, 0.9) * 1.015);
        }
        double phase = this->phase;
        for (int i = 0; i < FramesPerBuffer; ++i) {
            frames[i].left = static_cast<std::int16_t>(std::sin(phase) * amplitude);
            frames[i].right = 0;
            phase += Step;
        }
        while (phase > TwoPi) {
            phase -= TwoPi;
        }
        this->phase = phase;
        if (++fills == 43 && stall > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(stall));
        }
    }

    double level;
    double phase = 0.0;
    int fills = 0;
    const int stall;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const double start = argc > 2 ? std::atof(argv[2]) : 30.0;
    const std::string name = argc > 3 ? argv[3] : "default";
    const int stall = argc > 4 ? std::atoi(argv[4]) : 0;
    const double restart = argc > 5 ? std::atof(argv[5]) : 0.0;
    PrintedBoxes boxes;
    SetMessagePresenter(&boxes);
    AlsaWaveOut device(name);
    auto began = std::chrono::steady_clock::now();
    Tone tone(device, start, stall);
    const double opening = SecondsSince(began);
    if (!tone.IsOpen()) {
        std::fprintf(stderr, "the wave-out device did not open\n");
        return 2;
    }
    if (!tone.Start()) {
        std::fprintf(stderr, "Start failed\n");
        return 3;
    }
    if (restart > 0.0 && restart < seconds) {
        std::this_thread::sleep_for(std::chrono::duration<double>(restart));
        if (!tone.Stop() || !tone.Start()) {
            std::fprintf(stderr, "restart failed\n");
            return 5;
        }
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds - std::max(restart, 0.0)));
    began = std::chrono::steady_clock::now();
    const bool stopped = tone.Stop();
    tone.Close();
    const double closing = SecondsSince(began);
    SetMessagePresenter(nullptr);
    // Read after Close: no notification runs any more.
    std::printf("played %.1f s, %d buffers filled, open %.1f ms, stop and close %.1f ms, stop %s\n",
                seconds, tone.fills, opening * 1000, closing * 1000, stopped ? "ok" : "failed");
    return stopped ? 0 : 4;
}
