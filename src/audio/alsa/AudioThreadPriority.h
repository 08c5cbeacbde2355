#pragma once

// Raises the calling thread's scheduling so that a busy machine does not starve the audio
// output, taking the first way the system allows, as desktop audio programs do:
// 1. SCHED_RR at RealtimePriority, where the process may (CAP_SYS_NICE or RLIMIT_RTPRIO);
//    threads the thread creates afterwards, such as a sound server client's own, inherit it;
// 2. else RealtimeKit over the system D-Bus (MakeThreadRealtime, which sets
//    SCHED_RESET_ON_FORK, so this thread alone);
// 3. else a nice level of NiceLevel, directly or through RealtimeKit (MakeThreadHighPriority);
// 4. else it leaves the thread as it is.
// Before real time is asked for, RLIMIT_RTTIME is lowered to RealtimeBudgetMicroseconds, so a
// fault that spins cannot take a core from the desktop; RealtimeKit demands such a limit anyway.
// The kernel kills the whole process when a real-time thread runs that long without blocking,
// so the soft limit stands at half of it: SIGXCPU there lowers the thread that ran over to
// normal scheduling (a device that plays at once, or a slow machine, is no reason to end the
// program with a measurement in it). A SIGXCPU handler the process already has is left alone.
//
// Returns which way was taken, in words. With TONOLOT_TRACE_AUDIO set in the environment it is
// also written to standard error (once, and again when it changes); otherwise nothing is.
const char* PromoteAudioThread();
