#include "tests/support/ChildProcess.h"

#include <chrono>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace ovtest {

bool CopyFileBytes(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    return in && out.good();
}

#ifdef _WIN32

std::string SelfPath() {
    char path[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n);
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& environment) {
    // The child inherits the environment, so set the extras around the start.
    std::vector<std::pair<std::string, std::string>> saved;
    for (const std::string& entry : environment) {
        const std::string name = entry.substr(0, entry.find('='));
        char old[4096];
        const DWORD n = ::GetEnvironmentVariableA(name.c_str(), old, sizeof old);
        saved.emplace_back(name, n ? std::string(old, n) : std::string("\x01"));
        ::SetEnvironmentVariableA(name.c_str(), entry.substr(name.size() + 1).c_str());
    }
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    started_ = ::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &si, &pi) != FALSE;
    for (const auto& s : saved) {
        ::SetEnvironmentVariableA(s.first.c_str(), s.second == "\x01" ? nullptr : s.second.c_str());
    }
    if (started_) {
        ::CloseHandle(pi.hThread);
        process_ = pi.hProcess;
    }
}

ChildProcess::~ChildProcess() {
    if (!started_) return;
    if (!ended_) Kill();
    ::CloseHandle(process_);
}

void ChildProcess::Kill() {
    if (!started_ || ended_) return;
    ::TerminateProcess(process_, 99);
    ::WaitForSingleObject(process_, INFINITE);
    ended_ = true;
}

int ChildProcess::Wait(int timeoutMs) {
    if (!started_) return -1;
    if (::WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return -1;
    ended_ = true;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

#else

std::string SelfPath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& environment) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(&e[0]);
    envp.push_back(nullptr);
    std::string prog = program;
    char* argv[] = {&prog[0], nullptr};
    pid_t pid = -1;
    started_ = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) == 0;
    pid_ = pid;
}

ChildProcess::~ChildProcess() {
    if (started_ && !ended_) Kill();
}

void ChildProcess::Kill() {
    if (!started_ || ended_) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    ended_ = true;
}

int ChildProcess::Wait(int timeoutMs) {
    if (!started_) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            ended_ = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

#endif

}  // namespace ovtest
