// x64 Windows has no chain of handler records: the system finds a frame's
// handler in the unwind tables beside its code. So the call goes through a
// small frame of our own, written in assembly for its table entry to name
// ov_GuardHandler. Frames inside see an exception first (a C++ exception is
// caught by the try block there, as GCC's own tables say); whatever passes
// them reaches the handler, which unwinds them (their unwind handlers run: a
// host's __finally blocks and cleanups) and resumes our frame just after the
// call, with the exception's code as the call's result.
#include <cstdint>

#include "platform/runtime/GuardTrap.h"

namespace platform {
namespace {

constexpr std::uint64_t kReturned = 0, kThrew = 1, kFaulted = std::uint64_t(1) << 32;

struct Call {
    void (*fn)(void*);
    void* arg;
};

std::uint64_t CallCatching(void* call) {
    const auto* c = static_cast<const Call*>(call);
    try {
        c->fn(c->arg);
        return kReturned;
    } catch (...) {
        return kThrew;
    }
}

}  // namespace

// Calls call(context) in a frame whose exception handler is ov_GuardHandler;
// ov_GuardResume is where an unwind to that frame goes on.
extern "C" std::uint64_t ov_GuardFrame(std::uint64_t (*call)(void*), void* context);
extern "C" const char ov_GuardResume[];

// The 40 bytes keep the stack aligned to 16 and give the callee its 32 bytes
// of home space. The nop keeps the return address off the epilogue, where
// the system would take this frame for one already leaving.
asm(R"(
    .text
    .p2align 4
    .def ov_GuardFrame; .scl 3; .type 32; .endef
ov_GuardFrame:
    .seh_proc ov_GuardFrame
    .seh_handler ov_GuardHandler, @except
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
ov_GuardResume:
    addq $40, %rsp
    ret
    .seh_endproc
)");

// Runs on the search pass, once every frame inside has declined the
// exception. RtlUnwindEx does not come back: it unwinds those frames and
// resumes ov_GuardFrame with its return value in rax.
extern "C" EXCEPTION_DISPOSITION ov_GuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                DISPATCHER_CONTEXT* dispatch) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    const std::uint64_t result = kFaulted | record->ExceptionCode;
    RtlUnwindEx(frame, const_cast<char*>(ov_GuardResume), record, reinterpret_cast<void*>(result), context,
                dispatch->HistoryTable);
    return ExceptionContinueSearch;
}

TrapResult CallTrapping(void (*fn)(void*), void* arg) noexcept {
    Call call{fn, arg};
    const std::uint64_t result = ov_GuardFrame(&CallCatching, &call);
    if (result & kFaulted) return {false, DWORD(result)};
    return {result == kReturned, 0};
}

}  // namespace platform
