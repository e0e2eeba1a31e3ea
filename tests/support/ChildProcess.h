// Child processes for tests and the benchmark: a copy of the test program
// itself told what to do by environment variables, killed at any moment; or,
// under Windows, a program run to its end with its output collected.
#pragma once

#include <string>
#include <vector>

#include "platform/runtime/TextLines.h"

namespace ovtest {

// Paths and command lines are UTF-8.
// The running program's file name, without its directory.
std::string ProgramName();
bool CopyFileBytes(const std::string& from, const std::string& to);

class ChildProcess {
public:
    // Starts `program` with the current environment plus `environment`
    // ("NAME=value" entries).
    ChildProcess(const std::string& program, const std::vector<std::string>& environment);
#ifdef _WIN32
    // Starts `commandLine` in `directory`; its standard output and error go
    // to `output` (a handle it inherits) when that is not null.
    ChildProcess(const std::string& commandLine, const std::string& directory,
                 const std::vector<std::string>& environment, void* output);
    // Hands the process handle to the caller, who closes it; null when the
    // child did not start. The child is then no longer killed here.
    void* Release();
#endif
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return started_; }
    bool Ended() const { return ended_; }
    unsigned long Id() const;  // the process id
    void Kill();
    // Waits up to timeoutMs; the exit code, or -1 when it did not end in time
    // or was killed.
    int Wait(int timeoutMs);

private:
    bool started_ = false;
    bool ended_ = false;
#ifdef _WIN32
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
};

#ifdef _WIN32
struct ProgramRun {
    bool Started = false;
    bool TimedOut = false;
    unsigned long ExitCode = 0;
    std::string Output;  // standard output and error, as bytes

    bool Succeeded() const { return Started && !TimedOut && ExitCode == 0; }
    std::vector<std::string> Lines() const { return platform::SplitLines(Output); }
};

// Runs `commandLine` with `directory` as its working directory, waits up to
// `timeoutMs` (then kills it) and collects its output.
ProgramRun RunProgram(const std::string& commandLine, const std::string& directory, int timeoutMs,
                      const std::vector<std::string>& environment = {});
#endif

}  // namespace ovtest
