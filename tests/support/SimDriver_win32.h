// The simulated TmA4Drv.dll the plug-in has loaded, reached through its
// control exports: what it will report, and the log of what it was asked.
// Where the driver runs in another process (the x64 plug-in's companion),
// this process keeps the box and the driver forwards its calls here; the
// controls are then the ones linked into this program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "device/usbid.h"
#include "tests/support/Proc_win32.h"
#include "tools/simdrv/SimDrvControl.h"

namespace ovtest {

class SimDriver {
public:
    // Finds the control exports in the loaded TmA4Drv.dll; false when the
    // module is not loaded or is not the simulated one. Where the box is kept
    // here (x64, or OV_SIMBOX_FORWARD set), serves it and names its pipe in
    // the environment a companion started later inherits.
    bool Attach();
    // The module holding the box: the driver's, or this program.
    HMODULE Module() const { return module_; }

    void Reset() const { Export<decltype(SimDrv_Reset)>("SimDrv_Reset")(); }
    // Queues an event with the given text bytes (at most 46, no NUL added).
    void Queue(std::int32_t code, const std::string& text) const;
    void QueueRecord(const TDriverEvent& record, std::int32_t result) const {
        Export<decltype(SimDrv_QueueRecord)>("SimDrv_QueueRecord")(&record, result);
    }
    int Pending() const { return Export<decltype(SimDrv_PendingEvents)>("SimDrv_PendingEvents")(); }
    void FaultPolls(int count) const { Export<decltype(SimDrv_FaultPolls)>("SimDrv_FaultPolls")(count); }
    void CrashPolls(int count) const { Export<decltype(SimDrv_CrashPolls)>("SimDrv_CrashPolls")(count); }
    void FaultDisables(int count) const { Export<decltype(SimDrv_FaultDisables)>("SimDrv_FaultDisables")(count); }
    void RecordSize(int size) const { Export<decltype(SimDrv_RecordSize)>("SimDrv_RecordSize")(size); }
    void BlockPolls(simdrv::BlockMode mode) const { Export<decltype(SimDrv_BlockPolls)>("SimDrv_BlockPolls")(mode); }
    void ReleasePolls() const { Export<decltype(SimDrv_ReleasePolls)>("SimDrv_ReleasePolls")(); }
    int BlockedPolls() const { return Export<decltype(SimDrv_BlockedPolls)>("SimDrv_BlockedPolls")(); }

    std::vector<simdrv::LogEntry> Log() const;
    // The log's entries for one function, in call order.
    std::vector<simdrv::LogEntry> Calls(simdrv::Function function) const;
    int Count(simdrv::Function function) const { return static_cast<int>(Calls(function).size()); }
    // The log as a string of letters, V I D P, one per call.
    std::string Sequence() const;
    // The threads that polled.
    std::set<DWORD> PollThreads() const;

private:
    // The control export `name`, found when called (Attach found them all).
    template <class F>
    F* Export(const char* name) const {
        return linked_ ? reinterpret_cast<F*>(LinkedControl(name)) : Proc<F*>(module_, name);
    }
    static void* LinkedControl(const char* name);

    HMODULE module_ = nullptr;
    bool linked_ = false;
};

// The log's clock, QueryPerformanceCounter: now, its ticks per second, and
// milliseconds between two of its times.
std::int64_t PerformanceNow();
std::int64_t PerformanceFrequency();
double MsBetween(std::int64_t earlier, std::int64_t later);

}  // namespace ovtest
