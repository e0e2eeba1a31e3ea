// GCC for 32-bit Windows has no __try, so the guard links a structured
// exception registration record of its own into the thread's chain (fs:0)
// around a C++ try block. Its handler lets the frames above it unwind (so a
// host's own handlers and cleanups run), unlinks the record and jumps back.
#include "platform/runtime/GuardTrap.h"

namespace platform {
namespace {

struct TrapFrame {
    TrapFrame* prev;  // the layout of EXCEPTION_REGISTRATION_RECORD
    void* handler;
    void* jump[5];    // for __builtin_setjmp
    DWORD code;       // what was discarded
};

TrapFrame* ChainHead() {
    TrapFrame* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(TrapFrame* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                     void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    RtlUnwind(frame, nullptr, record, nullptr);
    auto* trap = static_cast<TrapFrame*>(frame);
    trap->code = record->ExceptionCode;
    SetChainHead(trap->prev);
    __builtin_longjmp(trap->jump, 1);
}

}  // namespace

TrapResult CallTrapping(void (*fn)(void*), void* arg) noexcept {
    TrapFrame frame;
    frame.prev = ChainHead();
    frame.handler = reinterpret_cast<void*>(&GuardHandler);
    frame.code = 0;
    if (__builtin_setjmp(frame.jump)) return {false, frame.code};  // back from the handler
    SetChainHead(&frame);
    bool returned = true;
    try {
        fn(arg);
    } catch (...) {
        returned = false;
    }
    SetChainHead(frame.prev);
    return {returned, 0};
}

}  // namespace platform
