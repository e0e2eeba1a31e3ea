// The simulated TmA4Drv.dll the plug-in has loaded, reached through its
// control exports: what it will report, and the log of what it was asked.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "device/usbid.h"
#include "tools/simdrv/SimDrvControl.h"

namespace ovtest {

class SimDriver {
public:
    // Finds the control exports in the loaded TmA4Drv.dll; false when the
    // module is not loaded or is not the simulated one.
    bool Attach();
    HMODULE Module() const { return module_; }

    void Reset() const { reset_(); }
    // Queues an event with the given text bytes (at most 46, no NUL added).
    void Queue(std::int32_t code, const std::string& text) const;
    void QueueRecord(const TDriverEvent& record, std::int32_t result) const { queueRecord_(&record, result); }
    int Pending() const { return pending_(); }
    void FaultPolls(int count) const { faultPolls_(count); }
    void FaultDisables(int count) const { faultDisables_(count); }
    void BlockPolls(simdrv::BlockMode mode) const { blockPolls_(mode); }
    void ReleasePolls() const { releasePolls_(); }
    int BlockedPolls() const { return blockedPolls_(); }

    std::vector<simdrv::LogEntry> Log() const;
    // The log's entries for one function, in call order.
    std::vector<simdrv::LogEntry> Calls(simdrv::Function function) const;
    int Count(simdrv::Function function) const { return static_cast<int>(Calls(function).size()); }
    // The log as a string of letters, V I D P, one per call.
    std::string Sequence() const;
    // The threads that polled.
    std::set<DWORD> PollThreads() const;

private:
    HMODULE module_ = nullptr;
    SimDrv_Reset_t reset_ = nullptr;
    SimDrv_QueueEvent_t queueEvent_ = nullptr;
    SimDrv_QueueRecord_t queueRecord_ = nullptr;
    SimDrv_PendingEvents_t pending_ = nullptr;
    SimDrv_FaultPolls_t faultPolls_ = nullptr;
    SimDrv_FaultDisables_t faultDisables_ = nullptr;
    SimDrv_BlockPolls_t blockPolls_ = nullptr;
    SimDrv_ReleasePolls_t releasePolls_ = nullptr;
    SimDrv_BlockedPolls_t blockedPolls_ = nullptr;
    SimDrv_LogCount_t logCount_ = nullptr;
    SimDrv_LogEntry_t logEntry_ = nullptr;
};

// The log's clock, QueryPerformanceCounter: now, its ticks per second, and
// milliseconds between two of its times.
std::int64_t PerformanceNow();
std::int64_t PerformanceFrequency();
double MsBetween(std::int64_t earlier, std::int64_t later);

}  // namespace ovtest
