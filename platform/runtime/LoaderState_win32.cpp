#include <windows.h>

#include "platform/runtime/LoaderState.h"
#include "platform/runtime/SystemFunctions_win32.h"

namespace platform {

// The process environment block points at the loader lock, a critical
// section, from Windows XP to 11 and under Wine: at offset 0xA0 of the
// 32-bit block (at fs:[0x30]), 0x110 of the 64-bit one (at gs:[0x60]). The
// critical section's own layout is the system's type for this processor.
#if defined(__x86_64__)
#define OV_READ_PROCESS_BLOCK "movq %%gs:0x60, %0"
constexpr unsigned kProcessBlockLoaderLock = 0x110;
#elif defined(__i386__)
#define OV_READ_PROCESS_BLOCK "movl %%fs:0x30, %0"
constexpr unsigned kProcessBlockLoaderLock = 0xA0;
#else
#error "the process block's layout is known for x86 and x64 only"
#endif

bool InsideLoaderLock() {
    const char* block = nullptr;
    asm(OV_READ_PROCESS_BLOCK : "=r"(block));
    const auto* lock = block ? *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(block + kProcessBlockLoaderLock)
                             : nullptr;
    return lock && lock->OwningThread == reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
}

bool ProcessExiting() {
    const auto inProgress = DynRtlDllShutdownInProgress();
    return inProgress && inProgress();
}

}  // namespace platform
