// GCC for 32-bit Windows has no __try, so the guard links a structured
// exception registration record of its own into the thread's chain (fs:0)
// around a C++ try block. Its handler lets the frames above it unwind (so a
// host's own handlers and cleanups run), unlinks the record and jumps back.
// A discarded call, and one that returned with the floating-point state
// changed, hands the host back its floating-point settings.
#include <windows.h>

#include <cstdint>

#include "platform/runtime/Guard.h"

namespace platform {
namespace {

// The caller's floating-point settings, taken before the guarded call.
struct FloatSettings {
    WORD x87Control;
    DWORD mxcsr;
};

struct GuardFrame {
    GuardFrame* prev;  // the layout of EXCEPTION_REGISTRATION_RECORD
    void* handler;
    void* jump[5];     // for __builtin_setjmp
    DWORD code;        // what was discarded
    FloatSettings floats;
};

GuardFrame* ChainHead() {
    GuardFrame* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(GuardFrame* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                     void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    RtlUnwind(frame, nullptr, record, nullptr);
    auto* guard = static_cast<GuardFrame*>(frame);
    guard->code = record->ExceptionCode;
    SetChainHead(guard->prev);
    __builtin_longjmp(guard->jump, 1);
}

// A stack overflow used up the stack's guard page: without a new one the next
// overflow on this thread runs off the stack's end and the process dies
// without a word. Once unwound, a guard page goes back just below the page
// we stand on, and the pages below it are given back, so the stack grows
// again on demand and overflows again where it did before (what the C
// runtime's _resetstkoflw does, which older systems' msvcrt lacks).
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
    VirtualFree(base, std::size_t(guard - base), MEM_DECOMMIT);
    DWORD old = 0;
    return VirtualProtect(guard, page, PAGE_READWRITE | PAGE_GUARD, &old) != 0;
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
    WORD env[14];  // the 32-bit layout: control, status and tag words at 0, 2 and 4
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
    GuardFrame frame;
    frame.prev = ChainHead();
    frame.handler = reinterpret_cast<void*>(&GuardHandler);
    frame.code = 0;
    frame.floats = SaveFloatSettings();
    if (__builtin_setjmp(frame.jump)) {  // back from the handler
        RestoreFloatSettings(frame.floats);
        if (frame.code == DWORD(STATUS_STACK_OVERFLOW)) RestoreStackGuard();
        return false;
    }
    SetChainHead(&frame);
    bool ok = true;
    try {
        fn(arg);
    } catch (...) {
        ok = false;
        RestoreFloatSettings(frame.floats);
    }
    SetChainHead(frame.prev);
    if (ok && !LeftAsFound(frame.floats)) RestoreFloatSettings(frame.floats);
    return ok;
}

}  // namespace platform
