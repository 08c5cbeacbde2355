#include "audio/alsa/AlsaTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void TraceAlsa(const char* format, ...) {
    static const bool tracing = std::getenv("TONOLOT_TRACE_AUDIO") != nullptr;
    if (!tracing) {
        return;
    }
    std::va_list arguments;
    va_start(arguments, format);
    std::fputs("tonolot: alsa: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    va_end(arguments);
}
