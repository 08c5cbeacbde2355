#pragma once

#include <cstdint>

// One frame of audio: a signed 16-bit left sample followed by a signed 16-bit right sample.
struct StereoFrame {
    std::int16_t left;
    std::int16_t right;
};
static_assert(sizeof(StereoFrame) == 4);
