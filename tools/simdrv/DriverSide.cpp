#include "tools/simdrv/DriverSide.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "tools/simdrv/SimBox.h"

namespace simdrv {
namespace {

constexpr std::size_t kVersionScanLimit = 256;

bool IsWritable(DWORD protect) {
    return (protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE |
                       PAGE_EXECUTE_WRITECOPY)) != 0;
}

// A real processor fault, as a driver with a bad pointer would raise it. The
// target must be volatile too, or the compiler drops the store as undefined.
void RaiseAccessViolation() {
    volatile int* volatile target = nullptr;
    *target = 0x5AD;
}

DWORD WINAPI FaultingThread(void*) {
    RaiseAccessViolation();
    return 0;
}

// A fault no guard around the call can catch: on a thread the driver
// started, which ends the process; the calling thread waits for that.
[[noreturn]] void CrashProcess() {
    if (HANDLE thread = CreateThread(nullptr, 0, &FaultingThread, nullptr, 0, nullptr)) CloseHandle(thread);
    for (;;) Sleep(INFINITE);
}

}  // namespace

LogEntry CallHere(Function function) {
    LogEntry call{};
    call.Function = function;
    call.ThreadId = GetCurrentThreadId();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    call.Time = now.QuadPart;
    return call;
}

void ReadVersionText(const char* text, LogEntry& call) {
    call.TextLength = -1;
    if (!text) return;
    MEMORY_BASIC_INFORMATION region{};
    if (!VirtualQuery(text, &region, sizeof region) || region.State != MEM_COMMIT ||
        (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)))
        return;
    call.TextWritable = IsWritable(region.Protect) ? 1 : 0;
    const char* end = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    std::size_t length = 0;
    while (length < kVersionScanLimit && text + length < end && text[length]) ++length;
    call.TextLength = static_cast<std::int32_t>(length);
    std::memcpy(call.Text, text, length < sizeof call.Text ? length : sizeof call.Text - 1);
}

BoxAnswer Ask(const LogEntry& call) {
    static const std::string pipe = [] {
        char name[MAX_PATH] = "";
        const DWORD length = GetEnvironmentVariableA(kBoxPipeVariable, name, sizeof name);
        return std::string(length < sizeof name ? name : "");
    }();
    return pipe.empty() ? SimBox::Instance().Answer(call) : AskOverPipe(pipe, call);
}

std::int32_t Carry(const BoxAnswer& answer, TDriverEvent* record) {
    switch (answer.Action) {
    case Act::Fault:
        RaiseAccessViolation();
        return 0;
    case Act::Crash:
        CrashProcess();
    case Act::Store: {
        const std::size_t size = std::max<std::size_t>(sizeof answer.Record, answer.Size > 0 ? answer.Size : 0);
        std::memcpy(record, &answer.Record, sizeof answer.Record);
        std::memset(reinterpret_cast<char*>(record) + sizeof answer.Record, 0xEE, size - sizeof answer.Record);
        return answer.Result;
    }
    case Act::Return:
        break;
    }
    return answer.Result;
}

}  // namespace simdrv
