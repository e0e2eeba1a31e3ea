#include "tests/support/ChildProcess.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/runtime/File.h"
#include "platform/runtime/Paths.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/runtime/Handles_win32.h"
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace ovtest {

std::string ProgramName() {
    const std::string self = platform::ExecutablePath();
    return self.substr(platform::DirectoryOf(self).size());
}

#ifdef _WIN32
bool CopyFileBytes(const std::string& from, const std::string& to) {
    return ::CopyFileW(platform::FullWidePath(from).c_str(), platform::FullWidePath(to).c_str(), FALSE) != FALSE;
}
#else
bool CopyFileBytes(const std::string& from, const std::string& to) {
    std::string bytes;
    platform::TOutFile out;
    const bool copied = platform::ReadWholeFile(from, &bytes) == platform::TReadResult::Read && out.Create(to) &&
                        out.WriteFull(bytes);
    return out.Close() && copied;
}
#endif

#ifdef _WIN32

namespace {

// The environment block of this process plus `extra` entries.
std::string EnvironmentWith(const std::vector<std::string>& extra) {
    std::string block;
    if (char* own = ::GetEnvironmentStringsA()) {
        for (const char* p = own; *p; p += std::strlen(p) + 1) block.append(p).push_back('\0');
        ::FreeEnvironmentStringsA(own);
    }
    for (const std::string& entry : extra) block.append(entry).push_back('\0');
    block.push_back('\0');
    return block;
}

// A child's output, read on a thread of its own with blocking reads rather
// than polling, so that the parent costs nothing while a child measures idle
// time. A process the child starts (Wine's services, when the child is the
// first of a session) may inherit the pipe and hold it open long after the
// child has ended: the parent then takes what came and leaves the reader.
class OutputReader {
public:
    explicit OutputReader(HANDLE pipe) : state_(std::make_shared<State>()) {
        std::thread([state = state_, pipe] {
            char buffer[4096];
            DWORD read = 0;
            while (::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read) {
                const std::lock_guard<std::mutex> lock(state->mutex);
                state->bytes.append(buffer, read);
            }
            ::CloseHandle(pipe);
            const std::lock_guard<std::mutex> lock(state->mutex);
            state->ended = true;
            state->end.notify_all();
        }).detach();
    }
    // What was read once the pipe ended, or after `graceMs` at the most.
    std::string Take(int graceMs) {
        std::unique_lock<std::mutex> lock(state_->mutex);
        state_->end.wait_for(lock, std::chrono::milliseconds(graceMs), [this] { return state_->ended; });
        return state_->bytes;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable end;
        std::string bytes;
        bool ended = false;
    };
    std::shared_ptr<State> state_;
};

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& environment)
    : ChildProcess("\"" + program + "\"", std::string(), environment, nullptr) {}

ChildProcess::ChildProcess(const std::string& commandLine, const std::string& directory,
                           const std::vector<std::string>& environment, void* output) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = si.hStdError = output;
    }
    PROCESS_INFORMATION pi{};
    // The environment block stays ANSI, which CreateProcessW takes as well.
    std::wstring command = platform::WideFromUtf8(commandLine), folder = platform::WideFromUtf8(directory);
    std::string block = EnvironmentWith(environment);
    started_ = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, output != nullptr, 0, &block[0],
                                directory.empty() ? nullptr : folder.c_str(), &si, &pi) != FALSE;
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

unsigned long ChildProcess::Id() const { return started_ ? ::GetProcessId(process_) : 0; }

void* ChildProcess::Release() {
    started_ = false;
    return std::exchange(process_, nullptr);
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

ProgramRun RunProgram(const std::string& commandLine, const std::string& directory, int timeoutMs,
                      const std::vector<std::string>& environment) {
    ProgramRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    OutputReader output(readEnd);
    platform::UniqueHandle writer(writeEnd);
    ChildProcess child(commandLine, directory, environment, writeEnd);
    run.Started = child.Started();
    writer.Reset();  // the child holds the only write end now, so reads end with it
    if (!run.Started) return run;
    const int code = child.Wait(timeoutMs);
    run.TimedOut = code == -1 && !child.Ended();
    child.Kill();  // after a time-out; the exit code is then 99
    run.Output = output.Take(2000);
    run.ExitCode = run.TimedOut ? 99 : static_cast<unsigned long>(code);
    return run;
}

#else

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

unsigned long ChildProcess::Id() const { return started_ ? static_cast<unsigned long>(pid_) : 0; }

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
