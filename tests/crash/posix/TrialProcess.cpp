#include "TrialProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

TrialProcess::~TrialProcess() {
    if (process > 0) {
        Kill();
        Wait();
    }
}

bool TrialProcess::Start(const std::string& program, const std::string& argument) {
    // Both pipe ends close in the child but for its standard output (dup2 clears the flag), so a
    // trial started by another lane meanwhile holds no end of this one's pipe.
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    // A Windows program runs under Wine, which takes the path with its drive letter.
    const bool windows = program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
    std::string wine = "wine";
    std::string path = windows ? "Z:" + argument : argument;
    std::vector<char*> arguments;
    if (windows) {
        arguments.push_back(wine.data());
    }
    arguments.push_back(const_cast<char*>(program.c_str()));
    arguments.push_back(path.data());
    arguments.push_back(nullptr);
    pid_t child = -1;
    int error = posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (error != 0) {
        close(pipeEnds[0]);
        return false;
    }
    process = child;
    output = pipeEnds[0];
    return true;
}

bool TrialProcess::WaitForSignal() {
    char byte = 0;
    ssize_t got;
    do {
        got = read(static_cast<int>(output), &byte, 1);
    } while (got < 0 && errno == EINTR);
    return got == 1;
}

void TrialProcess::Kill() {
    // Until it is waited for, the process id stays its own, also after it ended.
    kill(static_cast<pid_t>(process), SIGKILL);
}

TrialProcess::End TrialProcess::Wait() {
    int status = 0;
    while (waitpid(static_cast<pid_t>(process), &status, 0) < 0 && errno == EINTR) {
    }
    process = -1;
    close(static_cast<int>(output));
    output = -1;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
        return End::Killed;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? End::Succeeded : End::Failed;
}
