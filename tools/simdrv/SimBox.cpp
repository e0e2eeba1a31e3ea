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
constexpr std::size_t kVersionScanLimit = 256;

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

bool IsWritable(DWORD protect) {
    return (protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE |
                       PAGE_EXECUTE_WRITECOPY)) != 0;
}

// Reads the version text without trusting it: never past its NUL, past
// kVersionScanLimit bytes or past the readable memory it starts in.
void RecordVersionText(const char* text, LogEntry& entry) {
    entry.TextLength = -1;
    if (!text) return;
    MEMORY_BASIC_INFORMATION region{};
    if (!VirtualQuery(text, &region, sizeof region) || region.State != MEM_COMMIT ||
        (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)))
        return;
    entry.TextWritable = IsWritable(region.Protect) ? 1 : 0;
    const char* end = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    std::size_t length = 0;
    while (length < kVersionScanLimit && text + length < end && text[length]) ++length;
    entry.TextLength = static_cast<std::int32_t>(length);
    std::memcpy(entry.Text, text, length < sizeof entry.Text ? length : sizeof entry.Text - 1);
}

// A real processor fault, as a driver with a bad pointer would raise it. The
// target must be volatile too, or the compiler drops the store as undefined.
void RaiseAccessViolation() {
    volatile int* volatile target = nullptr;
    *target = 0x5AD;
}

}  // namespace

// The log's whole room is taken at once: grown on demand, it would add to
// the commit charge of a host left running for days until it was full.
SimBox::SimBox() { log_.reserve(kLogCapacity); }

SimBox& SimBox::Instance() {
    static SimBox box;
    return box;
}

LogEntry* SimBox::Log(Function function) {
    if (log_.size() >= kLogCapacity) return nullptr;
    LogEntry entry{};
    entry.Function = function;
    entry.ThreadId = GetCurrentThreadId();
    entry.Time = Now();
    log_.push_back(entry);
    return &log_.back();
}

void SimBox::Version(const char* text) {
    LogEntry entry{};
    RecordVersionText(text, entry);
    std::lock_guard<std::mutex> lock(mutex_);
    if (LogEntry* logged = Log(fnVersion)) {
        logged->TextLength = entry.TextLength;
        logged->TextWritable = entry.TextWritable;
        std::memcpy(logged->Text, entry.Text, sizeof entry.Text);
    }
}

void SimBox::Initialize() {
    std::lock_guard<std::mutex> lock(mutex_);
    Log(fnInitialize);
    enabled_ = true;
    if (!scenarioChosen_ && !besideChecked_) {
        besideChecked_ = true;
        Scenario beside;
        std::string why;
        if (LoadScenarioFile(ScenarioBesideDriver(), beside, why)) script_.Load(std::move(beside));
    }
    if (script_.Loaded()) StartScript();
}

void SimBox::Disable() {
    std::unique_lock<std::mutex> lock(mutex_);
    LogEntry* logged = Log(fnDisable);
    if (disableFaults_ > 0) {
        --disableFaults_;
        if (logged) logged->Faulted = 1;
        lock.unlock();
        RaiseAccessViolation();
        return;
    }
    enabled_ = false;
    ++disables_;
    wake_.notify_all();
}

void SimBox::StartScript() {
    scriptStart_ = Now();
    script_.Restart();
}

std::int32_t SimBox::Poll(TDriverEvent* record) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::size_t index = log_.size();
    const bool logged = Log(fnGetEvent) != nullptr;
    if (faults_ > 0) {
        --faults_;
        if (logged) log_[index].Faulted = 1;
        lock.unlock();
        RaiseAccessViolation();
        return 0;
    }
    WaitWhileBlocked(lock);
    Prepared next;
    if (!TakeNext(next)) return 0;
    if (logged) log_[index].Result = next.Result;
    const std::size_t size = recordSize_;
    lock.unlock();
    std::memcpy(record, &next.Record, sizeof next.Record);
    std::memset(reinterpret_cast<char*>(record) + sizeof next.Record, 0xEE, size - sizeof next.Record);
    return next.Result;
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
    blockMode_ = (mode == bmUntilRelease || mode == bmUntilDisable) ? mode : bmOff;
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
