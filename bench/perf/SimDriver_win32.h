// The simulated TmA4Drv.dll reached through its control exports: events to
// hand out, and the log of the calls it received with their times.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bench/perf/Timeline.h"
#include "tools/simdrv/SimDrvControl.h"

namespace perf {

class SimDriver {
public:
    // False when `driver` is null or is not the simulated box.
    bool Attach(HMODULE driver);

    void Reset() const { reset_(); }
    void QueueEvent(std::int32_t code, const std::string& text) const {
        queue_(code, text.data(), static_cast<std::int32_t>(text.size()));
    }
    std::vector<simdrv::LogEntry> Log() const;
    std::vector<PollRecord> Polls() const;  // the TV_GetEvent entries, in order

private:
    SimDrv_Reset_t reset_ = nullptr;
    SimDrv_QueueEvent_t queue_ = nullptr;
    SimDrv_LogCount_t logCount_ = nullptr;
    SimDrv_LogEntry_t logEntry_ = nullptr;
};

// The time of the last poll in `log`, or `otherwise` when there is none.
std::int64_t LastPollTime(const std::vector<simdrv::LogEntry>& log, std::int64_t otherwise);

}  // namespace perf
