// GCC for 32-bit Windows has no __try, so the guard links a structured
// exception registration record of its own into the thread's chain (fs:0)
// around a C++ try block. Its handler lets the frames above it unwind (so a
// host's own handlers and cleanups run), unlinks the record and jumps back.
#include <windows.h>

#include "platform/Guard.h"

namespace platform {
namespace {

struct GuardFrame {
    GuardFrame* prev;  // the layout of EXCEPTION_REGISTRATION_RECORD
    void* handler;
    void* jump[5];     // for __builtin_setjmp
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
    SetChainHead(guard->prev);
    __builtin_longjmp(guard->jump, 1);
}

}  // namespace

bool GuardedCall(void (*fn)(void*), void* arg) noexcept {
    GuardFrame frame;
    frame.prev = ChainHead();
    frame.handler = reinterpret_cast<void*>(&GuardHandler);
    if (__builtin_setjmp(frame.jump)) return false;  // back from the handler
    SetChainHead(&frame);
    bool ok = true;
    try {
        fn(arg);
    } catch (...) {
        ok = false;
    }
    SetChainHead(frame.prev);
    return ok;
}

}  // namespace platform
