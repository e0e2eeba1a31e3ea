#include <windows.h>

#include "platform/runtime/LoaderState.h"
#include "platform/runtime/Module.h"

namespace platform {
namespace {

static_assert(sizeof(void*) == 4, "the process block's layout below is the 32-bit one");
// The process environment block (at fs:[0x30]) points at the loader lock,
// a critical section, at offset 0xA0 from Windows XP to 11 and under Wine.
constexpr unsigned kProcessBlockLoaderLock = 0xA0;

const char* ProcessBlock() {
    const char* block = nullptr;
    asm("movl %%fs:0x30, %0" : "=r"(block));
    return block;
}

}  // namespace

bool InsideLoaderLock() {
    const char* block = ProcessBlock();
    const auto* lock = block ? *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(block + kProcessBlockLoaderLock)
                             : nullptr;
    return lock && lock->OwningThread == reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
}

bool ProcessExiting() {
    using ShutdownInProgress = BOOLEAN(NTAPI*)();
    // Looked up on each call: a killed thread may hold a lock that a
    // function-local static's first use would wait on.
    const auto inProgress = SystemFunction<ShutdownInProgress>(L"ntdll.dll", "RtlDllShutdownInProgress");
    return inProgress && inProgress();
}

}  // namespace platform
