// What the guard does the same way on every Windows processor, around the
// call it has GuardTrap.h make: a discarded call, and one that returned with
// the floating-point state changed, hands the host back its floating-point
// settings; a discarded stack overflow gets the stack its guard page back.
#include <windows.h>

#include <cstdint>

#include "platform/runtime/Guard.h"
#include "platform/runtime/GuardTrap.h"

namespace platform {
namespace {

// The caller's floating-point settings, taken before the guarded call.
struct FloatSettings {
    WORD x87Control;
    DWORD mxcsr;
};

#if defined(__x86_64__)
// The thread's own block (its first part is NT_TIB), read as the system's
// code does: the header's NtCurrentTeb trips GCC's bounds warning.
NT_TIB* ThreadBlock() {
    NT_TIB* block;
    asm("movq %%gs:0x30, %0" : "=r"(block));
    return block;
}
#endif

// A stack overflow used up the stack's guard page: without a new one the next
// overflow on this thread runs off the stack's end and the process dies
// without a word. Once unwound, a guard page goes back just below the page
// we stand on, and the pages below it are given back, so the stack grows
// again on demand and overflows again where it did before (what the C
// runtime's _resetstkoflw does, which older systems' msvcrt lacks). On x64
// the pages below stay committed: Wine's own 64-bit code can reach below the
// guard page without touching it first, and must find memory there; the
// guard page moves down as the stack grows all the same.
__attribute__((noinline)) bool RestoreStackGuard() noexcept {
    volatile char here = 0;
    BYTE* sp = const_cast<BYTE*>(reinterpret_cast<volatile BYTE*>(&here));
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQuery(sp, &info, sizeof info)) return false;
    BYTE* base = static_cast<BYTE*>(info.AllocationBase);
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::uintptr_t page = system.dwPageSize;
    BYTE* guard = reinterpret_cast<BYTE*>((reinterpret_cast<std::uintptr_t>(sp) & ~(page - 1)) - page);
    // The lowest pages stay reserved: room the system needs to report the
    // overflow at all.
    constexpr std::uintptr_t kReservedPages = 2;
    if (guard < base + kReservedPages * page) return false;
#if defined(__i386__)
    VirtualFree(base, std::size_t(guard - base), MEM_DECOMMIT);
#endif
    DWORD old = 0;
    if (!VirtualProtect(guard, page, PAGE_READWRITE | PAGE_GUARD, &old)) return false;
#if defined(__x86_64__)
    // The stack's limit as the system keeps it: the page above its guard page.
    ThreadBlock()->StackLimit = guard + page;
#endif
    return true;
}

// Reporting an overflow takes stack below the overflowing frame: less than a
// page for 32-bit code, more for x64, whose exception frame holds a context
// record and the vector registers' state. Wine commits a 64-bit thread's
// whole stack at its start, down to one guard page a page above the end:
// the first overflow there has no room to be reported and the thread dies.
// Such a stack gets its guard page where a stack that grows on demand has
// it, so the system raises the overflow while there is room.
void MakeRoomToReportOverflow() noexcept {
#if defined(__x86_64__)
    constexpr std::size_t kTebReservationBase = 0x1478;  // DeallocationStack, from XP x64 to 11 and under Wine
    constexpr std::uintptr_t kRoom = 16 * 1024;
    const NT_TIB* tib = ThreadBlock();
    const auto limit = reinterpret_cast<std::uintptr_t>(tib->StackLimit);
    const char* block = reinterpret_cast<const char*>(tib);
    const auto base = *reinterpret_cast<const std::uintptr_t*>(block + kTebReservationBase);
    if (limit - base < kRoom) RestoreStackGuard();
#endif
}

// MXCSR exists only where the processor and the system support SSE; XP runs
// on processors without it. Asked once: every ring passes several guards.
bool HasMxcsr() noexcept {
    static const bool has = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != 0;
    return has;
}

FloatSettings SaveFloatSettings() noexcept {
    FloatSettings settings{0x037F, 0x1F80};
    asm volatile("fnstcw %0" : "=m"(settings.x87Control));
    if (HasMxcsr()) asm volatile("stmxcsr %0" : "=m"(settings.mxcsr));
    return settings;
}

// A fault taken mid-arithmetic leaves its exception pending and operands on
// the x87 register stack. A Delphi host runs with zero-divide, overflow and
// invalid operation unmasked, so its next floating-point instruction, far
// from the faulty call, would trap. fninit clears the pending state and
// empties the stack without waiting on it; then the caller's settings go
// back, with the SSE exception flags cleared.
void RestoreFloatSettings(const FloatSettings& settings) noexcept {
    constexpr DWORD kMxcsrExceptionFlags = 0x3F;
    asm volatile("fninit\n\tfldcw %0" : : "m"(settings.x87Control));
    if (!HasMxcsr()) return;
    const DWORD mxcsr = settings.mxcsr & ~kMxcsrExceptionFlags;
    asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

// Whether a call that returned normally left the floating-point state as the
// calling convention says it must: the x87 register stack empty, no exception
// pending that the caller's control word lets trap, the control word and
// MXCSR's control bits as they were. Foreign code does not always, and its
// leftovers would trap in the host's own arithmetic. Read without waiting:
// fnstenv masks every exception, so the control word goes back at once.
bool LeftAsFound(const FloatSettings& before) noexcept {
    constexpr WORD kAllEmpty = 0xFFFF;
    constexpr WORD kErrorSummary = 0x80;
    constexpr WORD kExceptionFlags = 0x3F;
    constexpr DWORD kMxcsrExceptionFlags = 0x3F;
    WORD env[14];  // control, status and tag words at 0, 2 and 4, in 32- and 64-bit mode alike
    asm volatile("fnstenv %0\n\tfldcw %0" : "=m"(env));
    const WORD control = env[0], status = env[2], tags = env[4];
    if (control != before.x87Control || tags != kAllEmpty) return false;
    if (status & (kErrorSummary | (kExceptionFlags & ~control))) return false;
    if (!HasMxcsr()) return true;
    DWORD mxcsr;
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    return ((mxcsr ^ before.mxcsr) & ~kMxcsrExceptionFlags) == 0;
}

}  // namespace

bool GuardedCall(void (*fn)(void*), void* arg) noexcept {
    MakeRoomToReportOverflow();
    const FloatSettings floats = SaveFloatSettings();
    const TrapResult result = CallTrapping(fn, arg);
    if (result.returned) {
        if (!LeftAsFound(floats)) RestoreFloatSettings(floats);
        return true;
    }
    RestoreFloatSettings(floats);
    if (result.code == DWORD(STATUS_STACK_OVERFLOW)) RestoreStackGuard();
    return false;
}

}  // namespace platform
