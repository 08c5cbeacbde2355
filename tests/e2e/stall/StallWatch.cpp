// Watches for moments when the whole machine stopped: one thread per processor, each pinned to
// its processor at the highest real-time priority, wakes every two milliseconds and notes when it
// woke late. Nothing on the machine can keep such a thread from running but the kernel itself
// or the host of a virtual machine holding the processor (a CPU quota spent, seen for 100 ms at
// a time on the test machines). A span in which every processor's thread was late is a stall
// of the whole machine: no program ran then, and a sound card whose clock went on (the null
// sink) had to play whatever the sound server held.
//
// The host may also hold one processor alone (seen for about 100 ms at a time, one processor
// and then the other, seconds apart): whatever thread ran on it stands still meanwhile, and
// cannot move to the other processor, which the kernel still counts as taken. Such holds of one
// processor, long enough to empty what a sound server keeps for a program, are reported too.
//
// Prints one line per stall of the whole machine: "<start> <length>" in seconds of the
// monotonic clock (Python's time.monotonic()) and milliseconds; one line per hold of a single
// processor: "cpu<N> <start> <length>"; and "# ..." lines about itself. Runs until it is ended
// with SIGTERM.

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A wake-up later than this counts as a stall of its processor.
constexpr double LateSeconds = 0.008;
// A stall of one processor alone is reported from this length on.
constexpr double HoldSeconds = 0.03;

std::atomic<bool> stop{false};
std::mutex spansLock;
struct Span {
    double start;
    double end;
};
std::vector<std::vector<Span>> spans; // per processor, not yet matched
std::vector<double> reachedUntil;     // per processor: the time up to which it has reported

double Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// Prints the spans every processor shares, once every processor has reported past them.
void ReportShared() {
    const double settled = *std::min_element(reachedUntil.begin(), reachedUntil.end());
    std::vector<Span>& first = spans[0];
    while (!first.empty() && first.front().end <= settled) {
        Span shared = first.front();
        first.erase(first.begin());
        bool everywhere = true;
        for (std::size_t cpu = 1; cpu < spans.size() && everywhere; ++cpu) {
            bool found = false;
            for (const Span& other : spans[cpu]) {
                if (other.start < shared.end && other.end > shared.start) {
                    shared.start = std::max(shared.start, other.start);
                    shared.end = std::min(shared.end, other.end);
                    found = true;
                    break;
                }
            }
            everywhere = found;
        }
        if (everywhere) {
            std::printf("%.4f %.1f\n", shared.start, (shared.end - shared.start) * 1000);
            std::fflush(stdout);
        }
    }
    for (std::size_t cpu = 1; cpu < spans.size(); ++cpu) {
        auto& list = spans[cpu];
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const Span& s) { return s.end + 1.0 < settled; }),
                   list.end());
    }
}

void Watch(std::size_t index, int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
    sched_param priority{};
    priority.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority) != 0) {
        std::printf("# processor %d: no real-time priority, stalls of the machine are not told "
                    "apart from a busy processor\n",
                    cpu);
        std::fflush(stdout);
    }
    double previous = Now();
    while (!stop.load()) {
        const timespec pause{0, 2000000};
        nanosleep(&pause, nullptr);
        const double now = Now();
        std::lock_guard<std::mutex> held(spansLock);
        if (now - previous - 0.002 > LateSeconds) {
            spans[index].push_back({previous + 0.002, now});
        }
        if (now - previous - 0.002 > HoldSeconds) {
            std::printf("cpu%d %.4f %.1f\n", cpu, previous + 0.002,
                        (now - previous - 0.002) * 1000);
            std::fflush(stdout);
        }
        reachedUntil[index] = now;
        ReportShared();
        previous = now;
    }
}

} // namespace

int main() {
    signal(SIGTERM, [](int) { stop.store(true); });
    signal(SIGINT, [](int) { stop.store(true); });
    cpu_set_t allowed;
    sched_getaffinity(0, sizeof allowed, &allowed);
    std::vector<int> cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            cpus.push_back(cpu);
        }
    }
    spans.resize(cpus.size());
    reachedUntil.assign(cpus.size(), Now());
    std::printf("# watching %zu processors\n", cpus.size());
    std::fflush(stdout);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < cpus.size(); ++i) {
        threads.emplace_back(Watch, i, cpus[i]);
    }
    for (auto& thread : threads) {
        thread.join();
    }
    return 0;
}
