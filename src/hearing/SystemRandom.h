#pragma once

#include <cstdint>

// The classic linear congruential generator: state = state * 214013 + 2531011 (mod 2^32), each
// draw giving bits 16..30 of the new state (0..32767). Ours rather than the C library's, so a
// given seed yields the same tone order on every platform. The state is 1 until seeded.
class SystemRandom {
public:
    static constexpr int Max = 32767;

    void Seed(std::uint32_t seed) { state = seed; }
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFFu);
    }

private:
    std::uint32_t state = 1;
};
