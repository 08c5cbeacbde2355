#pragma once

#include "audio/StereoFrame.h"
#include "audio/WaveOut.h"

#include <cstdint>

// Plays an endless stream of 16-bit stereo PCM through a ring of 32 buffers of 1024 frames, and
// asks FillBuffer for the content of each buffer shortly before it is heard. A plain streamer
// plays silence. All public operations run on the user-interface thread; FillBuffer runs on the
// device's notification thread.
class WaveStreamer {
public:
    enum State : std::int32_t { Idle = 0, Stopped = 1, Pausing = 2, Playing = 3 };

    static constexpr int BufferCount = 32;
    static constexpr int FramesPerBuffer = 1024;
    static constexpr int BufferBytes = FramesPerBuffer * static_cast<int>(sizeof(StereoFrame));
    static constexpr int BlockBytes = BufferCount * BufferBytes;
    static constexpr std::int32_t DefaultSampleRate = 44100;

    // Opens the device at once (a failure shows the error box and leaves it closed).
    explicit WaveStreamer(WaveOutDevice& device);
    ~WaveStreamer();
    WaveStreamer(const WaveStreamer&) = delete;
    WaveStreamer& operator=(const WaveStreamer&) = delete;

    bool Open(std::int32_t rate);
    bool Start();
    bool Stop();
    void Close();

    // Writes the content of one buffer of 1024 frames that is already zeroed.
    virtual void FillBuffer(StereoFrame* frames);

    State CurrentState() const;
    std::int32_t SampleRate() const;
    bool IsOpen() const;

protected:
    WaveOutDevice& waveOut;
};
