#include "tests/support/SimDriver_win32.h"

#include <type_traits>

#include "tests/support/Proc_win32.h"

namespace ovtest {

bool SimDriver::Attach() {
    module_ = GetModuleHandleA("TmA4Drv.dll");
    const auto find = [this](const char* name, auto& function) {
        function = Proc<std::remove_reference_t<decltype(function)>>(module_, name);
        return function != nullptr;
    };
    return find("SimDrv_Reset", reset_) && find("SimDrv_QueueEvent", queueEvent_) &&
           find("SimDrv_QueueRecord", queueRecord_) && find("SimDrv_PendingEvents", pending_) &&
           find("SimDrv_FaultPolls", faultPolls_) && find("SimDrv_FaultDisables", faultDisables_) && find("SimDrv_BlockPolls", blockPolls_) &&
           find("SimDrv_ReleasePolls", releasePolls_) && find("SimDrv_BlockedPolls", blockedPolls_) &&
           find("SimDrv_LogCount", logCount_) && find("SimDrv_LogEntry", logEntry_);
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
