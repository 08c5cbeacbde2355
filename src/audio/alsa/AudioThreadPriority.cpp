#include "audio/alsa/AudioThreadPriority.h"

#include <gio/gio.h>

#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Low among real-time threads: above every ordinary program, below the sound servers (which
// RealtimeKit caps at 20 and which ask for 5 to 88).
constexpr int RealtimePriority = 10;
constexpr int NiceLevel = -11;
constexpr rlim_t RealtimeBudgetMicroseconds = 200000;
// The thread waits for these calls before it opens the output, within the bound of Open.
constexpr int BusTimeoutMilliseconds = 400;

constexpr const char* KitName = "org.freedesktop.RealtimeKit1";
constexpr const char* KitPath = "/org/freedesktop/RealtimeKit1";

// Once a call found no RealtimeKit, the later threads do not ask again.
std::atomic<bool> kitMissing{false};

// The budget as set (hard limit) and the warning before it (soft limit), for the handler.
std::atomic<rlim_t> budgetHard{RLIM_INFINITY};
std::atomic<rlim_t> budgetSoft{RLIM_INFINITY};
std::atomic<bool> traceLowering{false};

// At the soft limit the kernel signals the process, on the thread that ran over it (the one
// running at that tick). That thread gives up real time at once, so the hard limit, at which
// the kernel kills the whole program (and with it a measurement not yet stored), is never
// reached. The kernel has moved the soft limit a second on; it is set back for the next thread.
void LowerSpinningThread(int) {
    const int savedErrno = errno;
    sched_param normal{};
    if ((sched_getscheduler(0) & ~SCHED_RESET_ON_FORK) != SCHED_OTHER &&
        sched_setscheduler(0, SCHED_OTHER, &normal) == 0 && traceLowering.load()) {
        static constexpr char text[] =
            "tonolot: audio thread priority: lowered, the thread ran without a pause\n";
        [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, text, sizeof text - 1);
    }
    const rlimit limit{budgetSoft.load(), budgetHard.load()};
    if (limit.rlim_max != RLIM_INFINITY) {
        setrlimit(RLIMIT_RTTIME, &limit);
    }
    errno = savedErrno;
}

// Installs LowerSpinningThread for SIGXCPU once, unless the process has a handler of its own.
// False where the signal would still end the program.
bool CatchSpinning() {
    static const bool caught = [] {
        struct sigaction current = {};
        if (sigaction(SIGXCPU, nullptr, &current) != 0) {
            return false;
        }
        if (current.sa_handler == LowerSpinningThread) {
            return true;
        }
        if (current.sa_handler != SIG_DFL) {
            return current.sa_handler == SIG_IGN;
        }
        struct sigaction action = {};
        action.sa_handler = LowerSpinningThread;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGXCPU, &action, nullptr) == 0;
    }();
    return caught;
}

// Sets RLIMIT_RTTIME to at most `microseconds` (hard), with the soft limit at half of it where
// SIGXCPU is caught, so a thread that spins is lowered before it could be killed.
bool LimitRealtimeBudget(rlim_t microseconds) {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0) {
        return false;
    }
    const rlim_t budget = std::min(microseconds, limit.rlim_max);
    const rlim_t warning = CatchSpinning() ? budget / 2 : budget;
    budgetHard.store(budget);
    budgetSoft.store(warning);
    if (limit.rlim_cur == warning && limit.rlim_max == budget) {
        return true;
    }
    limit.rlim_cur = warning;
    limit.rlim_max = budget;
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

bool SetRealtime() {
    rlimit allowed{};
    int priority = RealtimePriority;
    if (getrlimit(RLIMIT_RTPRIO, &allowed) == 0 && allowed.rlim_cur != RLIM_INFINITY &&
        allowed.rlim_cur > 0) {
        priority = std::min<int>(priority, static_cast<int>(allowed.rlim_cur));
    }
    sched_param param{};
    param.sched_priority = priority;
    // Applies to the calling thread alone (Linux schedules threads, not processes).
    return sched_setscheduler(0, SCHED_RR, &param) == 0;
}

bool SetNice(pid_t thread) {
    return setpriority(PRIO_PROCESS, static_cast<id_t>(thread), NiceLevel) == 0;
}

// The system bus, kept for the life of the process; null where there is none.
GDBusConnection* SystemBus() {
    static GDBusConnection* const bus = [] {
        GError* error = nullptr;
        GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
        if (connection == nullptr) {
            g_clear_error(&error);
            return static_cast<GDBusConnection*>(nullptr);
        }
        // A restarting bus daemon must not end the hearing test.
        g_dbus_connection_set_exit_on_close(connection, FALSE);
        return connection;
    }();
    return bus;
}

// Calls a method of RealtimeKit; the reply, or null (and kitMissing set if it is not there).
GVariant* CallKit(GDBusConnection* bus, const char* interface, const char* method,
                  GVariant* arguments) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, KitName, KitPath, interface, method,
                                                  arguments, nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                  BusTimeoutMilliseconds, nullptr, &error);
    if (reply == nullptr) {
        if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
            g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
            g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) {
            kitMissing.store(true);
        }
        g_clear_error(&error);
    }
    return reply;
}

// An integer property of RealtimeKit, or `fallback`.
std::int64_t KitProperty(GDBusConnection* bus, const char* name, std::int64_t fallback) {
    GVariant* reply = CallKit(bus, "org.freedesktop.DBus.Properties", "Get",
                              g_variant_new("(ss)", KitName, name));
    if (reply == nullptr) {
        return fallback;
    }
    std::int64_t value = fallback;
    GVariant* inner = nullptr;
    g_variant_get(reply, "(v)", &inner);
    if (g_variant_is_of_type(inner, G_VARIANT_TYPE_INT32)) {
        value = g_variant_get_int32(inner);
    } else if (g_variant_is_of_type(inner, G_VARIANT_TYPE_INT64)) {
        value = g_variant_get_int64(inner);
    }
    g_variant_unref(inner);
    g_variant_unref(reply);
    return value;
}

bool KitCall(GDBusConnection* bus, const char* method, GVariant* arguments) {
    GVariant* reply = CallKit(bus, KitName, method, arguments);
    if (reply == nullptr) {
        return false;
    }
    g_variant_unref(reply);
    return true;
}

const char* Promote() {
    const pid_t thread = static_cast<pid_t>(syscall(SYS_gettid));
    const bool budgeted = LimitRealtimeBudget(RealtimeBudgetMicroseconds);
    if (budgeted && SetRealtime()) {
        return "SCHED_RR";
    }
    GDBusConnection* bus = kitMissing.load() ? nullptr : SystemBus();
    if (bus != nullptr) {
        const std::int64_t maxPriority = KitProperty(bus, "MaxRealtimePriority", 0);
        const std::int64_t maxBudget = KitProperty(bus, "RTTimeUSecMax", 0);
        if (maxPriority > 0 && maxBudget > 0 &&
            LimitRealtimeBudget(static_cast<rlim_t>(maxBudget)) &&
            KitCall(bus, "MakeThreadRealtime",
                    g_variant_new("(tu)", static_cast<guint64>(thread),
                                  static_cast<guint32>(
                                      std::min<std::int64_t>(RealtimePriority, maxPriority))))) {
            return "SCHED_RR through RealtimeKit";
        }
    }
    if (SetNice(thread)) {
        return "nice level";
    }
    if (bus != nullptr && !kitMissing.load()) {
        const std::int64_t minNice = KitProperty(bus, "MinNiceLevel", 0);
        const auto level = static_cast<gint32>(std::max<std::int64_t>(NiceLevel, minNice));
        if (level < 0 && KitCall(bus, "MakeThreadHighPriority",
                                 g_variant_new("(ti)", static_cast<guint64>(thread), level))) {
            return "nice level through RealtimeKit";
        }
    }
    return "unchanged";
}

} // namespace

const char* PromoteAudioThread() {
    static std::atomic<const char*> told{nullptr};
    traceLowering.store(std::getenv("TONOLOT_TRACE_AUDIO") != nullptr);
    const char* how = Promote();
    if (std::getenv("TONOLOT_TRACE_AUDIO") != nullptr && told.exchange(how) != how) {
        std::fprintf(stderr, "tonolot: audio thread priority: %s\n", how);
    }
    return how;
}
