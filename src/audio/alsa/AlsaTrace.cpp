#include "audio/alsa/AlsaTrace.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void TraceAlsa(const char* format, ...) {
    static const bool tracing = std::getenv("TONOLOT_TRACE_AUDIO") != nullptr;
    if (!tracing) {
        return;
    }
    // Seconds of the monotonic clock, which the sound servers' own logs stamp their lines with.
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    std::va_list arguments;
    va_start(arguments, format);
    std::fprintf(stderr, "tonolot: alsa: [%.6f] ", seconds);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    va_end(arguments);
}
