#include "tests/support/SimDriver_win32.h"

#include <cstring>

#include "tests/support/SimBoxServer_win32.h"
#include "tools/simdrv/BoxWire.h"

namespace ovtest {
namespace {

struct Control {
    const char* name;
    void* function;
};

template <class F>
void* AsProc(F* function) {
    return reinterpret_cast<void*>(function);
}

// The controls the client calls, linked in for a box kept here: each by the
// name it is exported under.
#define OV_LINKED(control) {#control, AsProc(&control)}
const Control kLinked[] = {
    OV_LINKED(SimDrv_Reset), OV_LINKED(SimDrv_QueueEvent), OV_LINKED(SimDrv_QueueRecord),
    OV_LINKED(SimDrv_PendingEvents), OV_LINKED(SimDrv_FaultPolls), OV_LINKED(SimDrv_CrashPolls),
    OV_LINKED(SimDrv_FaultDisables), OV_LINKED(SimDrv_RecordSize), OV_LINKED(SimDrv_BlockPolls),
    OV_LINKED(SimDrv_ReleasePolls), OV_LINKED(SimDrv_BlockedPolls), OV_LINKED(SimDrv_LogCount),
    OV_LINKED(SimDrv_LogEntry),
};
#undef OV_LINKED

bool BoxKeptHere() { return sizeof(void*) == 8 || GetEnvironmentVariableA("OV_SIMBOX_FORWARD", nullptr, 0) != 0; }

}  // namespace

void* SimDriver::LinkedControl(const char* name) {
    for (const Control& control : kLinked)
        if (std::strcmp(control.name, name) == 0) return control.function;
    return nullptr;
}

bool SimDriver::Attach() {
    linked_ = BoxKeptHere();
    if (linked_) {
        module_ = GetModuleHandleA(nullptr);
        return SetEnvironmentVariableA(simdrv::kBoxPipeVariable, ServeSimBox().c_str()) != FALSE;
    }
    module_ = GetModuleHandleA("TmA4Drv.dll");
    for (const Control& control : kLinked)
        if (!Proc<FARPROC>(module_, control.name)) return false;
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
