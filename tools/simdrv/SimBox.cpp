#include "tools/simdrv/SimBox.h"

#include "tools/simdrv/ScenarioLoad.h"

static_assert(simdrv::kLongestProblemReport < sizeof simdrv::ScenarioInfo::Report,
              "every problem the reader keeps reaches the host bench");
static_assert(simdrv::kLongestTimeMs <= INT32_MAX, "a repeat period travels as 32 bits");

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace simdrv {
namespace {

// The log stops growing here, so a demo left running for days stays small.
constexpr std::size_t kLogCapacity = 1 << 16;
// A blocked poll gives up after this long, so a test that forgot to release
// it fails instead of hanging.
constexpr auto kLongestBlock = std::chrono::seconds(20);

std::int64_t Now() {
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    return ticks.QuadPart;
}

std::int64_t MsSince(std::int64_t start) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (Now() - start) * 1000 / frequency.QuadPart;
}

}  // namespace

// The log's whole room is taken at once: grown on demand, it would add to
// the commit charge of a host left running for days until it was full.
SimBox::SimBox() { log_.reserve(kLogCapacity); }

SimBox& SimBox::Instance() {
    static SimBox box;
    return box;
}

LogEntry* SimBox::Log(const LogEntry& call) {
    if (log_.size() >= kLogCapacity) return nullptr;
    log_.push_back(call);
    return &log_.back();
}

BoxAnswer SimBox::Answer(const LogEntry& call) {
    switch (call.Function) {
    case fnVersion:
        Version(call);
        break;
    case fnInitialize:
        Initialize(call);
        break;
    case fnDisable:
        return Disable(call);
    case fnGetEvent:
        return Poll(call);
    }
    return BoxAnswer{Act::Return, 1, 0, {}};
}

void SimBox::Version(const LogEntry& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    Log(call);
}

void SimBox::Initialize(const LogEntry& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    Log(call);
    enabled_ = true;
    if (!scenarioChosen_ && !besideChecked_) {
        besideChecked_ = true;
        Scenario beside;
        std::string why;
        if (LoadScenarioFile(ScenarioBesideDriver(), beside, why)) script_.Load(std::move(beside));
    }
    if (script_.Loaded()) StartScript();
}

BoxAnswer SimBox::Disable(const LogEntry& call) {
    std::unique_lock<std::mutex> lock(mutex_);
    LogEntry* logged = Log(call);
    if (blockMode_ == bmDisablesToo) WaitWhileBlocked(lock);
    if (disableFaults_ > 0) {
        --disableFaults_;
        if (logged) logged->Faulted = 1;
        return BoxAnswer{Act::Fault, 0, 0, {}};
    }
    enabled_ = false;
    ++disables_;
    wake_.notify_all();
    return BoxAnswer{Act::Return, 1, 0, {}};
}

void SimBox::StartScript() {
    scriptStart_ = Now();
    script_.Restart();
}

BoxAnswer SimBox::Poll(const LogEntry& call) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::size_t index = log_.size();
    const bool logged = Log(call) != nullptr;
    if (faults_ > 0 || crashes_ > 0) {
        const Act act = faults_ > 0 ? Act::Fault : Act::Crash;
        --(faults_ > 0 ? faults_ : crashes_);
        if (logged) log_[index].Faulted = 1;
        return BoxAnswer{act, 0, 0, {}};
    }
    WaitWhileBlocked(lock);
    Prepared next;
    if (!TakeNext(next)) return BoxAnswer{Act::Return, 0, 0, {}};
    if (logged) log_[index].Result = next.Result;
    return BoxAnswer{Act::Store, next.Result, static_cast<std::int32_t>(recordSize_), next.Record};
}

void SimBox::WaitWhileBlocked(std::unique_lock<std::mutex>& lock) {
    if (blockMode_ == bmOff) return;
    const int mode = blockMode_;
    const unsigned releases = releases_, disables = disables_;
    ++blocked_;
    wake_.wait_for(lock, kLongestBlock, [&] {
        return releases_ != releases || (mode == bmUntilDisable && disables_ != disables);
    });
    --blocked_;
}

bool SimBox::TakeNext(Prepared& next) {
    if (!queue_.empty()) {
        next = queue_.front();
        queue_.pop_front();
        return true;
    }
    if (!script_.Loaded() || !enabled_) return false;
    const ScriptedEvent* event = script_.Due(MsSince(scriptStart_));
    if (!event) return false;
    next = Prepared{event->Record, event->Result};
    return true;
}

void SimBox::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
    log_.clear();
    faults_ = 0;
    crashes_ = 0;
    disableFaults_ = 0;
    recordSize_ = sizeof(TDriverEvent);
    blockMode_ = bmOff;
    ++releases_;
    script_.Clear();
    scenarioChosen_ = false;
    besideChecked_ = false;
    wake_.notify_all();
}

void SimBox::Queue(const TDriverEvent& record, std::int32_t result) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Prepared{record, result});
}

int SimBox::Pending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(queue_.size());
}

void SimBox::FaultPolls(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = count > 0 ? count : 0;
}

void SimBox::CrashPolls(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    crashes_ = count > 0 ? count : 0;
}

void SimBox::FaultDisables(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    disableFaults_ = count > 0 ? count : 0;
}

void SimBox::RecordSize(int size) {
    std::lock_guard<std::mutex> lock(mutex_);
    recordSize_ = std::max<std::size_t>(sizeof(TDriverEvent), size > 0 ? std::size_t(size) : 0);
}

void SimBox::BlockPolls(int mode) {
    std::lock_guard<std::mutex> lock(mutex_);
    blockMode_ = (mode == bmUntilRelease || mode == bmUntilDisable || mode == bmDisablesToo) ? mode : bmOff;
    if (blockMode_ == bmOff) {
        ++releases_;
        wake_.notify_all();
    }
}

void SimBox::ReleasePolls() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++releases_;
    wake_.notify_all();
}

int SimBox::BlockedPolls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocked_;
}

int SimBox::LogCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(log_.size());
}

bool SimBox::LogAt(int index, LogEntry& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= log_.size()) return false;
    entry = log_[index];
    return true;
}

void SimBox::PlayScenario(const std::string& path, ScenarioInfo& info) {
    Scenario scenario;
    std::string report;
    info = ScenarioInfo{};
    if (!LoadScenarioFile(path, scenario, report)) {
        info.Events = -1;
    } else {
        info.Events = static_cast<std::int32_t>(scenario.Events.size());
        info.Problems = scenario.ProblemCount;
        info.FromTrace = scenario.FromTrace ? 1 : 0;
        info.RepeatMs = static_cast<std::int32_t>(scenario.RepeatMs);
        info.LastEventMs = scenario.Events.empty() ? 0 : scenario.Events.back().AtMs;
        std::string(EncodingName(scenario.Encoding)).copy(info.Encoding, sizeof info.Encoding - 1);
        report = ProblemReport(scenario);
    }
    report.copy(info.Report, sizeof info.Report - 1);
    std::lock_guard<std::mutex> lock(mutex_);
    script_.Load(std::move(scenario));
    scenarioChosen_ = true;
    if (enabled_) StartScript();
}

}  // namespace simdrv
