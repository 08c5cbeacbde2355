// rand_s draws from the system's cryptographic source (RtlGenRandom), not from rand's sequence.
#define _CRT_RAND_S
#include <stdlib.h>

#include "support/CopyName.h"

#include <cstring>

bool SystemRandom(void* bytes, std::size_t size) {
    auto* out = static_cast<unsigned char*>(bytes);
    while (size > 0) {
        unsigned int value = 0;
        if (rand_s(&value) != 0) {
            return false;
        }
        const std::size_t taken = size < sizeof value ? size : sizeof value;
        std::memcpy(out, &value, taken);
        out += taken;
        size -= taken;
    }
    return true;
}
