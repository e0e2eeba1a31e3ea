// Threads of this process, as the system lists them.
#pragma once

#include <windows.h>

#include <set>
#include <string>

namespace ovtest {

// This process's threads but those serving a simulated box kept here.
std::set<DWORD> ProcessThreads();
// True when the thread has ended (or no longer exists).
bool ThreadEnded(DWORD threadId);
// The threads of `now` missing from `before`, each with the module its
// start address lies in, for failure messages.
std::string DescribeNewThreads(const std::set<DWORD>& before, const std::set<DWORD>& now);

// Ends the process with a message when a test has not finished in time, so
// a hang shows up as a named failure instead of a ctest time-out.
class Watchdog {
public:
    Watchdog(const char* what, DWORD timeoutMs);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    static DWORD WINAPI Watch(void* self);
    const char* what_;
    DWORD timeoutMs_;
    HANDLE done_;
    HANDLE thread_;
};

}  // namespace ovtest
