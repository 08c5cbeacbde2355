#pragma once

#include "audio/WaveStreamer.h"
#include "fakes/ScriptedPresenter.h"
#include "fakes/SimulatedWaveOut.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <vector>

// A streamer whose FillBuffer stamps every frame of the buffer with the number of the call
// (1, 2, ...), so that what the listener hears tells which fill it came from, and which records
// the ring index of each buffer it was asked to fill.
class StampingStreamer : public WaveStreamer {
public:
    using WaveStreamer::WaveStreamer;
    ~StampingStreamer() { Close(); }

    void FillBuffer(StereoFrame* frames) override {
        std::lock_guard<std::mutex> held(mutex);
        ++fills;
        const StereoFrame* block = BufferAt(0);
        filled.push_back(block ? static_cast<int>((frames - block) / FramesPerBuffer) : -1);
        for (int i = 0; i < FramesPerBuffer; ++i) {
            frames[i].left = static_cast<std::int16_t>(fills);
            frames[i].right = static_cast<std::int16_t>(-fills);
        }
    }

    std::vector<int> Filled() {
        std::lock_guard<std::mutex> held(mutex);
        return filled;
    }
    int Fills() {
        std::lock_guard<std::mutex> held(mutex);
        return fills;
    }

private:
    std::mutex mutex;
    int fills = 0;
    std::vector<int> filled;
};

using Call = SimulatedWaveOut::Call;

// The stamp heard in buffer n of a recording (0 for silence), or -1 when the buffer is not
// one stamp throughout.
inline int StampOf(const std::vector<StereoFrame>& heard, std::size_t buffer) {
    const std::size_t begin = buffer * WaveStreamer::FramesPerBuffer;
    const int stamp = heard.at(begin).left;
    for (std::size_t i = begin; i < begin + WaveStreamer::FramesPerBuffer; ++i) {
        if (heard.at(i).left != stamp || heard.at(i).right != -stamp) {
            return -1;
        }
    }
    return stamp;
}

// Index of a header within the streamer's ring, by its data pointer.
inline int RingIndexOf(const WaveStreamer& streamer, const WaveHeader* header) {
    const StereoFrame* block = streamer.BufferAt(0);
    return static_cast<int>((reinterpret_cast<const StereoFrame*>(header->data) - block) /
                            WaveStreamer::FramesPerBuffer);
}
