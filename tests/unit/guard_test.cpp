// The guard around every entry point from outside.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/Guard.h"

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
