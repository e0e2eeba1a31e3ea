#include <windows.h>

#include "platform/runtime/LoaderState.h"
#include "platform/runtime/Module_win32.h"

namespace platform {
namespace {

// The process environment block points at the loader lock, a critical
// section, from Windows XP to 11 and under Wine: at offset 0xA0 of the
// 32-bit block (at fs:[0x30]), 0x110 of the 64-bit one (at gs:[0x60]). The
// critical section's own layout is the system's type for this processor.
#if defined(__x86_64__)
constexpr unsigned kProcessBlockLoaderLock = 0x110;

const char* ProcessBlock() {
    const char* block = nullptr;
    asm("movq %%gs:0x60, %0" : "=r"(block));
    return block;
}
#elif defined(__i386__)
constexpr unsigned kProcessBlockLoaderLock = 0xA0;

const char* ProcessBlock() {
    const char* block = nullptr;
    asm("movl %%fs:0x30, %0" : "=r"(block));
    return block;
}
#else
#error "the process block's layout is known for x86 and x64 only"
#endif

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
