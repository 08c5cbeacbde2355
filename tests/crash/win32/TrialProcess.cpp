#include "TrialProcess.h"

#include <windows.h>

#include <mutex>

namespace {

// The exit code TerminateProcess gives, to tell a killed trial from one that ended by itself.
constexpr UINT KilledCode = 0xDEAD;

std::wstring Wide(const std::string& text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

HANDLE AsHandle(long long value) {
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(value));
}

} // namespace

TrialProcess::~TrialProcess() {
    if (process != -1) {
        Kill();
        Wait();
    }
}

bool TrialProcess::Start(const std::string& program, const std::string& argument) {
    // The child inherits every inheritable handle: one start at a time, so that it gets no end
    // of a pipe another lane makes meanwhile.
    static std::mutex starting;
    std::lock_guard<std::mutex> hold(starting);
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    if (!CreatePipe(&reading, &writing, &inherited, 0)) {
        return false;
    }
    SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writing;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring command = L"\"" + Wide(program) + L"\" \"" + Wide(argument) + L"\"";
    PROCESS_INFORMATION started{};
    BOOL created = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &started);
    CloseHandle(writing);
    if (!created) {
        CloseHandle(reading);
        return false;
    }
    CloseHandle(started.hThread);
    process = static_cast<long long>(reinterpret_cast<INT_PTR>(started.hProcess));
    output = static_cast<long long>(reinterpret_cast<INT_PTR>(reading));
    return true;
}

bool TrialProcess::WaitForSignal() {
    char byte = 0;
    DWORD got = 0;
    return ReadFile(AsHandle(output), &byte, 1, &got, nullptr) && got == 1;
}

void TrialProcess::Kill() {
    // Fails harmlessly when the process has ended already; its exit code then stays its own.
    TerminateProcess(AsHandle(process), KilledCode);
}

TrialProcess::End TrialProcess::Wait() {
    WaitForSingleObject(AsHandle(process), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(AsHandle(process), &code);
    CloseHandle(AsHandle(process));
    CloseHandle(AsHandle(output));
    process = -1;
    output = -1;
    if (code == KilledCode) {
        return End::Killed;
    }
    return code == 0 ? End::Succeeded : End::Failed;
}
