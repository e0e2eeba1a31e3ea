// Runs a copy of the test program itself as a child process, told what to do
// by environment variables, and lets the test kill it at any moment.
#pragma once

#include <string>
#include <vector>

namespace ovtest {

// The full path of the running program.
std::string SelfPath();
bool CopyFileBytes(const std::string& from, const std::string& to);

class ChildProcess {
public:
    // Starts `program` with the current environment plus `environment`
    // ("NAME=value" entries).
    ChildProcess(const std::string& program, const std::vector<std::string>& environment);
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return started_; }
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

}  // namespace ovtest
