#pragma once

#include <string>

// One run of the trial program, its standard output a pipe to the driver, so the driver learns
// the moment the save starts and can kill it at once (SIGKILL; TerminateProcess on Windows).
class TrialProcess {
public:
    enum class End { Succeeded, Failed, Killed };

    TrialProcess() = default;
    ~TrialProcess();
    TrialProcess(const TrialProcess&) = delete;
    TrialProcess& operator=(const TrialProcess&) = delete;

    // Starts program with one argument; false when it could not be started.
    bool Start(const std::string& program, const std::string& argument);
    // Waits for the first byte the program writes; false when it ended without one.
    bool WaitForSignal();
    // Kills the program where it stands; nothing happens when it has ended already.
    void Kill();
    // Waits for the end: exit code 0, another exit code, or killed by Kill.
    End Wait();

private:
    long long process = -1; // the process id, or the process handle on Windows
    long long output = -1;  // the reading end of the pipe
};
