// The simulated voice box behind the four driver functions: a queue of
// records the tests prepared, a log of every call, injected faults and
// blocked polls. The box decides what a call does; the driver acts on it
// (writes the record, raises the fault), so the box serves a driver in its
// own process or, over a pipe, one in another. Polls come from the plug-in's
// reader thread, controls from the test thread, so every member is guarded
// by one mutex, never held while a caller waits on anything but a release.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "device/usbid.h"
#include "tools/simdrv/BoxWire.h"
#include "tools/simdrv/Scenario.h"
#include "tools/simdrv/SimDrvControl.h"

namespace simdrv {

class SimBox {
public:
    static SimBox& Instance();

    // The driver's side: `call` names the function, the calling thread, its
    // entry time and, for the version call, what the driver saw of the text.
    BoxAnswer Answer(const LogEntry& call);

    // The test's side.
    void Reset();
    void Queue(const TDriverEvent& record, std::int32_t result);
    int Pending();
    void FaultPolls(int count);
    void CrashPolls(int count);
    void FaultDisables(int count);
    void RecordSize(int size);
    void BlockPolls(int mode);
    void ReleasePolls();
    int BlockedPolls();
    int LogCount();
    bool LogAt(int index, LogEntry& entry);
    void PlayScenario(const std::string& path, ScenarioInfo& info);

private:
    SimBox();

    struct Prepared {
        TDriverEvent Record;
        std::int32_t Result;
    };

    void Version(const LogEntry& call);
    void Initialize(const LogEntry& call);
    BoxAnswer Disable(const LogEntry& call);
    BoxAnswer Poll(const LogEntry& call);
    LogEntry* Log(const LogEntry& call);
    void WaitWhileBlocked(std::unique_lock<std::mutex>& lock);
    bool TakeNext(Prepared& next);
    void StartScript();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Prepared> queue_;
    std::vector<LogEntry> log_;
    int faults_ = 0;
    int crashes_ = 0;
    int disableFaults_ = 0;
    std::size_t recordSize_ = sizeof(TDriverEvent);
    int blockMode_ = bmOff;
    int blocked_ = 0;
    unsigned releases_ = 0;
    unsigned disables_ = 0;
    bool enabled_ = false;
    bool scenarioChosen_ = false;  // by PlayScenario since the last Reset
    bool besideChecked_ = false;   // TmA4Drv.scenario looked for
    std::int64_t scriptStart_ = 0;
    ScriptPlayer script_;
};

}  // namespace simdrv
