#include "audio/alsa/AudioThreadPriority.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>

#include <ctime>
#include <string>
#include <thread>

namespace {

// CPU time of the calling thread, in milliseconds.
long ThreadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

} // namespace

// Which way is open depends on the machine (privileges, RealtimeKit); whichever it took, the
// thread must be scheduled as it says, and the real-time budget must guard it: a real-time thread
// that runs past it without blocking (a device that takes every frame at once) loses real time,
// and the process, which the kernel would kill at the budget, lives on.
TEST(AudioThreadPriority, TheThreadRunsAsTheWayTakenSays) {
    std::string how;
    int policy = -1;
    int nice = 0;
    int spunPolicy = -1;
    rlimit afterwards{};
    std::thread audio([&] {
        how = PromoteAudioThread();
        policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
        nice = getpriority(PRIO_PROCESS, 0);
        const long began = ThreadMilliseconds();
        while (ThreadMilliseconds() - began < 400) {
        }
        spunPolicy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
        getrlimit(RLIMIT_RTTIME, &afterwards);
    });
    audio.join();
    if (how.rfind("SCHED_RR", 0) == 0) {
        EXPECT_EQ(policy, SCHED_RR);
        EXPECT_LE(afterwards.rlim_max, 200000u);
        EXPECT_EQ(spunPolicy, SCHED_OTHER);
        EXPECT_LT(afterwards.rlim_cur, afterwards.rlim_max) << "the warning is set again";
    } else if (how.rfind("nice level", 0) == 0) {
        EXPECT_EQ(policy, SCHED_OTHER);
        EXPECT_LT(nice, 0);
    } else {
        EXPECT_EQ(how, "unchanged");
        EXPECT_EQ(policy, SCHED_OTHER);
    }
    // The calling thread keeps its own scheduling.
    EXPECT_EQ(sched_getscheduler(0) & ~SCHED_RESET_ON_FORK, SCHED_OTHER);
}
