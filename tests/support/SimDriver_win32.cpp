#include "tests/support/SimDriver_win32.h"

namespace ovtest {

namespace {

template <class F>
bool Find(HMODULE module, const char* name, F& function) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

}  // namespace

bool SimDriver::Attach() {
    module_ = GetModuleHandleA("TmA4Drv.dll");
    if (!module_) return false;
    return Find(module_, "SimDrv_Reset", reset_) && Find(module_, "SimDrv_QueueEvent", queueEvent_) &&
           Find(module_, "SimDrv_QueueRecord", queueRecord_) && Find(module_, "SimDrv_PendingEvents", pending_) &&
           Find(module_, "SimDrv_FaultPolls", faultPolls_) && Find(module_, "SimDrv_BlockPolls", blockPolls_) &&
           Find(module_, "SimDrv_ReleasePolls", releasePolls_) &&
           Find(module_, "SimDrv_BlockedPolls", blockedPolls_) && Find(module_, "SimDrv_LogCount", logCount_) &&
           Find(module_, "SimDrv_LogEntry", logEntry_);
}

void SimDriver::Queue(std::int32_t code, const std::string& text) const {
    queueEvent_(code, text.data(), static_cast<std::int32_t>(text.size()));
}

std::vector<simdrv::LogEntry> SimDriver::Log() const {
    std::vector<simdrv::LogEntry> log;
    simdrv::LogEntry entry;
    for (int i = 0; logEntry_(i, &entry); ++i) log.push_back(entry);
    return log;
}

std::vector<simdrv::LogEntry> SimDriver::Calls(simdrv::Function function) const {
    std::vector<simdrv::LogEntry> calls;
    for (const simdrv::LogEntry& entry : Log())
        if (entry.Function == function) calls.push_back(entry);
    return calls;
}

std::string SimDriver::Sequence() const {
    std::string letters;
    for (const simdrv::LogEntry& entry : Log())
        letters += entry.Function >= simdrv::fnVersion && entry.Function <= simdrv::fnGetEvent ? " VIDP"[entry.Function] : '?';
    return letters;
}

std::set<DWORD> SimDriver::PollThreads() const {
    std::set<DWORD> threads;
    for (const simdrv::LogEntry& entry : Calls(simdrv::fnGetEvent)) threads.insert(entry.ThreadId);
    return threads;
}

std::int64_t PerformanceFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

double MsBetween(std::int64_t earlier, std::int64_t later) {
    return double(later - earlier) * 1000.0 / double(PerformanceFrequency());
}

std::int64_t PerformanceNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace ovtest
