// Windows XP has no GetTickCount64, and its loader refuses a binary that
// imports a function its system DLLs lack. The posix thread model's static
// winpthreads imports it, through the import pointer named below. This
// object, linked into every shipped binary, defines that pointer itself: an
// object on the link line wins over kernel32's import library, so the binary
// no longer imports the function. The pointer leads to a stand-in that calls
// the system's GetTickCount64 where there is one and otherwise extends
// GetTickCount across its wraps. (winpthreads measures waits with it: only
// differences matter.)
#include <windows.h>

#include <cstdint>

#include "platform/runtime/SystemFunctions_win32.h"
#include "platform/runtime/TickCount64.h"

namespace platform {
namespace {

// The newest extended count handed out, read and written with cmpxchg8b only
// (a plain 64-bit atomic load may use the x87 unit, whose state is the host's).
std::uint64_t g_newest = 0;

ULONGLONG WINAPI TickCount64() {
    if (const auto system = DynGetTickCount64()) return system();
    for (;;) {
        const std::uint64_t newest = __sync_val_compare_and_swap(&g_newest, 0, 0);
        const std::uint64_t next = ExtendTickCount(newest, GetTickCount());
        if (__sync_bool_compare_and_swap(&g_newest, newest, next)) return next;
    }
}

}  // namespace
}  // namespace platform

// The import pointer's own name: on 32-bit with the C prefix and stdcall
// decoration, on x64 (one calling convention, no prefix) the bare name.
#ifdef _WIN64
#define OV_TICK_COUNT64_IMPORT "__imp_GetTickCount64"
#else
#define OV_TICK_COUNT64_IMPORT "__imp__GetTickCount64@0"
#endif
extern "C" ULONGLONG(WINAPI* const g_tickCount64Import)() asm(OV_TICK_COUNT64_IMPORT);
extern "C" ULONGLONG(WINAPI* const g_tickCount64Import)() = &platform::TickCount64;
