#pragma once

// With TONOLOT_TRACE_AUDIO set in the environment, writes one line about the ALSA device
// (a recovery, a stream given its frames again, a device lost) to standard error, for someone
// looking into a sound setup; otherwise nothing. printf-style.
void TraceAlsa(const char* format, ...) __attribute__((format(printf, 1, 2)));
