#include "tests/support/SimDriver_win32.h"

namespace ovtest {

bool SimDriver::Attach() {
    module_ = GetModuleHandleA("TmA4Drv.dll");
    for (const char* name : {"SimDrv_Reset", "SimDrv_QueueEvent", "SimDrv_QueueRecord", "SimDrv_PendingEvents",
                             "SimDrv_FaultPolls", "SimDrv_FaultDisables", "SimDrv_RecordSize", "SimDrv_BlockPolls",
                             "SimDrv_ReleasePolls", "SimDrv_BlockedPolls", "SimDrv_LogCount", "SimDrv_LogEntry"})
        if (!Proc<FARPROC>(module_, name)) return false;
    return true;
}

void SimDriver::Queue(std::int32_t code, const std::string& text) const {
    Export<decltype(SimDrv_QueueEvent)>("SimDrv_QueueEvent")(code, text.data(), static_cast<std::int32_t>(text.size()));
}

std::vector<simdrv::LogEntry> SimDriver::Log() const {
    std::vector<simdrv::LogEntry> log;
    simdrv::LogEntry entry;
    const auto entryAt = Export<decltype(SimDrv_LogEntry)>("SimDrv_LogEntry");
    for (int i = 0; entryAt(i, &entry); ++i) log.push_back(entry);
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
