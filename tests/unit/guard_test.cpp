// The guard around every entry point from outside.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/runtime/Guard.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using platform::Guarded;

namespace {

TEST(Guard, ReportsWhetherTheCallRaised) {
    int ran = 0;
    EXPECT_TRUE(Guarded([&] { ++ran; }));
    EXPECT_FALSE(Guarded([&] {
        ++ran;
        throw 42;
    }));
    EXPECT_FALSE(Guarded([] { throw std::runtime_error("x"); }));
    EXPECT_EQ(ran, 2);
}

TEST(Guard, NestedGuardsCatchAtTheInnermost) {
    bool innerCaught = false;
    EXPECT_TRUE(Guarded([&] { innerCaught = !Guarded([] { throw 1; }); }));
    EXPECT_TRUE(innerCaught);
}

#if defined(_WIN32)

volatile int* volatile g_null = nullptr;

void WriteThroughNull() { *g_null = 1; }

// What a host written in another language does to raise its exceptions.
void RaiseForeign() {
    ULONG_PTR args[1] = {0};
    RaiseException(0x0EEDFADE, 0, 1, args);
}

void RaiseMsvcStyleThrow() { RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr); }

TEST(Guard, DiscardsProcessorFaultsAndStructuredExceptionsRepeatedly) {
    for (int i = 0; i < 3000; ++i) {
        ASSERT_FALSE(Guarded(WriteThroughNull)) << i;
        ASSERT_FALSE(Guarded(RaiseForeign)) << i;
        ASSERT_FALSE(Guarded(RaiseMsvcStyleThrow)) << i;
        ASSERT_FALSE(Guarded([] { throw std::runtime_error("c++"); })) << i;
        ASSERT_TRUE(Guarded([] {})) << i;
    }
}


volatile bool g_bottomless = true;

// Runaway recursion, as in a host callback that calls itself by mistake.
__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[256];
    frame[0] = char(depth);
    return g_bottomless ? Recurse(depth + 1) + frame[0] : 0;
}

void OverflowTheStack() { Recurse(0); }

// Each overflow uses up the stack's guard page; unless it is put back, the
// next one ends the process.
TEST(Guard, ContainsStackOverflowsTenInARowAndTheStackStillGrows) {
    for (int i = 0; i < 10; ++i) {
        ASSERT_FALSE(Guarded(OverflowTheStack)) << "overflow " << i;
        ASSERT_TRUE(Guarded([] {})) << i;
    }
    EXPECT_TRUE(Guarded([] {
        volatile char deep[256 * 1024];
        for (std::size_t i = 0; i < sizeof deep; i += 4096) deep[i] = 1;
    }));
}

#if defined(__i386__)
// x64 has no such chain: its handlers are found through tables.
TEST(Guard, LeavesTheExceptionChainAsItFoundIt) {
    void* before;
    asm volatile("movl %%fs:0, %0" : "=r"(before));
    Guarded(WriteThroughNull);
    Guarded([] { throw 1; });
    Guarded([] {});
    void* after;
    asm volatile("movl %%fs:0, %0" : "=r"(after));
    EXPECT_EQ(before, after);
}
#endif

// The host's floating-point state as a fault may leave it behind.
struct FloatState {
    unsigned short control, status, tags;
    unsigned mxcsr;
};

FloatState ReadFloatState() {
    unsigned short env[14];  // control, status, tags at 0, 2, 4 (the 32-bit layout, in 64-bit mode too)
    unsigned mxcsr = 0;
    asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    return {env[0], env[2], env[4], mxcsr};
}

// What a Delphi host runs with: zero-divide, overflow and invalid operation
// unmasked; and an SSE mode of its own, with its exception flags clean.
constexpr unsigned short kDelphiControl = 0x1372;
constexpr unsigned kHostMxcsr = 0x1F80 & ~0x0200u;  // zero-divide unmasked, round to nearest

void SetFloatMode(unsigned short control, unsigned mxcsr) {
    asm volatile("fninit\n\tfldcw %0" : : "m"(control));
    asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

// long double: x87 arithmetic on x64 too, where double is SSE's.
volatile long double g_zero = 0.0;
volatile long double g_quotient;
volatile float g_zeroSingle = 0.0f;
volatile float g_quotientSingle;

// The x87 division leaves its operand on the stack when the store after it
// traps; the SSE one, masked here, only sets its flag before the fault.
void DivideByZero() { g_quotient = 1.0L / g_zero; }
__attribute__((target("sse"))) void DivideByZeroInSseThenFault() {
    unsigned mxcsr = kHostMxcsr | 0x0200;  // zero-divide masked: a flag, no trap
    asm volatile("ldmxcsr %0" : : "m"(mxcsr));
    float one = 1.0f, zero = g_zeroSingle;
    asm volatile("divss %1, %0" : "+x"(one) : "x"(zero));
    g_quotientSingle = one;
    WriteThroughNull();
}

// A fault discarded by the guard must hand the host back its own
// floating-point state: otherwise the pending exception traps in the host's
// next arithmetic, far from the callback that caused it.
TEST(Guard, DiscardedFaultsLeaveTheHostsFloatingPointStateAsItWas) {
    const FloatState saved = ReadFloatState();
    SetFloatMode(kDelphiControl, kHostMxcsr);
    volatile double two = 2.0, root = 0.0;
    for (int i = 0; i < 500 && !HasFailure(); ++i) {
        SCOPED_TRACE(i);
        root = 0.0;
        ASSERT_FALSE(Guarded(DivideByZero));
        // Nothing but reads of the state until the host's own arithmetic,
        // under its unmasked exceptions: a pending one traps at the first.
        const FloatState x87 = ReadFloatState();
        const bool arithmeticRan = Guarded([&] { root = __builtin_sqrt(two) * two; });
        ASSERT_FALSE(Guarded(DivideByZeroInSseThenFault));
        const FloatState sse = ReadFloatState();
        SetFloatMode(kDelphiControl, kHostMxcsr);  // the checks below must not trap themselves
        EXPECT_EQ(kDelphiControl, x87.control);
        EXPECT_EQ(0, x87.status) << std::hex << "x87 status " << x87.status;
        EXPECT_EQ(0xFFFF, x87.tags) << std::hex << "x87 tags " << x87.tags;
        EXPECT_TRUE(arithmeticRan) << "sqrt(2) trapped in the host's own code";
        EXPECT_EQ(kHostMxcsr, sse.mxcsr) << std::hex << "MXCSR " << sse.mxcsr;
        EXPECT_EQ(kDelphiControl, sse.control);
    }
    SetFloatMode(saved.control, saved.mxcsr);
    EXPECT_NEAR(2.828427, root, 1e-6);
}

// Callees that return normally but break the calling convention, as
// hand-written or foreign code can (Intel syntax: its fdivp divides 1 by 0).
#if defined(__x86_64__)
#define OV_SP "rsp"
#define OV_AX "rax"
#else
#define OV_SP "esp"
#define OV_AX "eax"
#endif
extern "C" void LeaveZeroDividePending() asm("ov_LeaveZeroDividePending");
extern "C" void LeaveAValueStacked() asm("ov_LeaveAValueStacked");
extern "C" void LeaveOtherControlWord() asm("ov_LeaveOtherControlWord");
extern "C" void LeaveOtherRounding() asm("ov_LeaveOtherRounding");
asm(".text\n.intel_syntax noprefix\n"
    "ov_LeaveZeroDividePending: fld1; fld1; fldz; fdivp; ret\n"
    "ov_LeaveAValueStacked: fld1; ret\n"
    "ov_LeaveOtherControlWord: push 0x027F; fldcw [" OV_SP "]; pop " OV_AX "; ret\n"
    "ov_LeaveOtherRounding: push 0x7F80; ldmxcsr [" OV_SP "]; pop " OV_AX "; ret\n"
    ".att_syntax prefix\n");

TEST(Guard, CallsThatReturnWithTheFloatingPointStateChangedHandTheHostItsOwnBack) {
    const FloatState saved = ReadFloatState();
    for (void (*callee)() : {LeaveZeroDividePending, LeaveAValueStacked, LeaveOtherControlWord, LeaveOtherRounding}) {
        SCOPED_TRACE(reinterpret_cast<void*>(callee));
        SetFloatMode(kDelphiControl, kHostMxcsr);
        EXPECT_TRUE(Guarded(callee));
        const FloatState after = ReadFloatState();  // without waiting: a pending exception is seen, not raised
        SetFloatMode(saved.control, saved.mxcsr);
        EXPECT_EQ(kDelphiControl, after.control);
        EXPECT_EQ(0, after.status) << std::hex << "x87 status " << after.status;
        EXPECT_EQ(0xFFFF, after.tags) << std::hex << "x87 tags " << after.tags;
        EXPECT_EQ(kHostMxcsr, after.mxcsr) << std::hex << "MXCSR " << after.mxcsr;
    }
}

#if defined(__x86_64__)
// Code between the guard and a fault, with a handler for the unwind pass
// only, as a host's __finally block or C++ cleanup has on x64.
int g_unwound = 0;

extern "C" EXCEPTION_DISPOSITION ov_CountUnwind(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    if (record->ExceptionFlags & EXCEPTION_UNWINDING) ++g_unwound;
    return ExceptionContinueSearch;
}

extern "C" void CallWithCleanup(void (*fn)()) asm("ov_CallWithCleanup");
asm(".text\n"
    "ov_CallWithCleanup: .seh_proc ov_CallWithCleanup\n"
    ".seh_handler ov_CountUnwind, @unwind\n"
    "subq $40, %rsp; .seh_stackalloc 40; .seh_endprologue\n"
    "callq *%rcx; nop; addq $40, %rsp; ret\n"
    ".seh_endproc\n");

TEST(Guard, FramesBetweenTheGuardAndAFaultUnwindFirst) {
    g_unwound = 0;
    EXPECT_FALSE(Guarded([] { CallWithCleanup(WriteThroughNull); }));
    EXPECT_FALSE(Guarded([] { CallWithCleanup(RaiseForeign); }));
    EXPECT_EQ(2, g_unwound);
}
#endif

TEST(Guard, FaultInsideNestedGuardLeavesOuterGuardWorking) {
    bool innerFailed = false;
    EXPECT_TRUE(Guarded([&] { innerFailed = !Guarded(WriteThroughNull); }));
    EXPECT_TRUE(innerFailed);
    EXPECT_FALSE(Guarded([&] {
        Guarded(RaiseForeign);
        WriteThroughNull();
    }));
}

#endif

}  // namespace
