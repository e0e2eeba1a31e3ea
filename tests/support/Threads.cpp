#include "tests/support/Threads.h"

#include <tlhelp32.h>

#include <cstdio>

#include "platform/runtime/Paths.h"
#include "tests/support/SimBoxServer_win32.h"
#include "tests/support/TestSystemFunctions_win32.h"

namespace ovtest {

std::set<DWORD> ProcessThreads() {
    std::set<DWORD> threads;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return threads;
    const std::set<unsigned long> box = BoxThreads();
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId() && !box.count(entry.th32ThreadID))
            threads.insert(entry.th32ThreadID);
    CloseHandle(snapshot);
    return threads;
}

bool ThreadEnded(DWORD threadId) {
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId);
    if (!thread) return true;
    const bool ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

namespace {

std::string StartModule(DWORD threadId) {
    const auto query = ovtest::DynNtQueryInformationThread();
    const HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
    if (!thread || !query) return "?";
    void* start = nullptr;
    query(thread, ThreadQuerySetWin32StartAddress, &start, sizeof start, nullptr);
    CloseHandle(thread);
    HMODULE module = nullptr;
    const bool found = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                          static_cast<const char*>(start), &module);
    const std::string name = found ? platform::ModulePath(module) : "unknown module";
    char offset[24];
    std::snprintf(offset, sizeof offset, "+0x%lx", static_cast<unsigned long>(static_cast<const char*>(start) -
                                                                             reinterpret_cast<const char*>(module)));
    return name + offset;
}

}  // namespace

std::string DescribeNewThreads(const std::set<DWORD>& before, const std::set<DWORD>& now) {
    std::string text;
    for (DWORD id : now) {
        if (before.count(id)) continue;
        text += " thread " + std::to_string(id) + " (" + (ThreadEnded(id) ? "ended" : "running") + ", started in " +
                StartModule(id) + ")";
    }
    return text;
}

Watchdog::Watchdog(const char* what, DWORD timeoutMs)
    : what_(what), timeoutMs_(timeoutMs), done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread_(CreateThread(nullptr, 0, &Watch, this, 0, nullptr)) {}

Watchdog::~Watchdog() {
    SetEvent(done_);
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    CloseHandle(done_);
}

DWORD WINAPI Watchdog::Watch(void* self) {
    auto* dog = static_cast<Watchdog*>(self);
    if (WaitForSingleObject(dog->done_, dog->timeoutMs_) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "\n*** %s did not finish within %lu ms: the plug-in hangs\n", dog->what_,
                     static_cast<unsigned long>(dog->timeoutMs_));
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 99);
    }
    return 0;
}

}  // namespace ovtest
