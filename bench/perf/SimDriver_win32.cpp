#include "bench/perf/SimDriver_win32.h"

namespace perf {
namespace {

template <class F>
bool Find(HMODULE module, const char* name, F& function) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

}  // namespace

bool SimDriver::Attach(HMODULE driver) {
    return driver && Find(driver, "SimDrv_Reset", reset_) && Find(driver, "SimDrv_QueueEvent", queue_) &&
           Find(driver, "SimDrv_LogCount", logCount_) && Find(driver, "SimDrv_LogEntry", logEntry_);
}

std::vector<simdrv::LogEntry> SimDriver::Log() const {
    std::vector<simdrv::LogEntry> log(static_cast<std::size_t>(logCount_()));
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (!logEntry_(static_cast<std::int32_t>(i), &log[i])) {
            log.resize(i);
            break;
        }
    }
    return log;
}

std::vector<PollRecord> SimDriver::Polls() const {
    std::vector<PollRecord> polls;
    for (const simdrv::LogEntry& e : Log()) {
        if (e.Function == simdrv::fnGetEvent) polls.push_back({e.Time, e.Result});
    }
    return polls;
}

std::int64_t LastPollTime(const std::vector<simdrv::LogEntry>& log, std::int64_t otherwise) {
    for (auto it = log.rbegin(); it != log.rend(); ++it) {
        if (it->Function == simdrv::fnGetEvent) return it->Time;
    }
    return otherwise;
}

}  // namespace perf
