// Faults on either side of the reader: callbacks that crash or raise, polls
// that crash. The host's thread and the reader both carry on.
#include <windows.h>

#include "tests/wine/support/DeviceTest.h"
#include "tests/wine/support/StackProbe.h"

namespace ovtest {
namespace {

// What a host's callback may do instead of returning, keyed by ring text.
// A C++ exception from a host built with Visual C++ and a Delphi exception
// are both structured exceptions with their compilers' codes.
void Misbehave(const std::string& text) {
    if (text == "null write") {
        // The target volatile too, or the compiler drops the store.
        volatile int* volatile target = nullptr;
        *target = 1;
    } else if (text == "RaiseException") {
        RaiseException(0xE0000001, 0, 0, nullptr);
    } else if (text == "C++ throw") {
        const ULONG_PTR args[3] = {0x19930520, 0, 0};
        RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, args);
    } else if (text == "Delphi raise") {
        const ULONG_PTR args[7] = {};
        RaiseException(0x0EEDFADE, EXCEPTION_NONCONTINUABLE, 7, args);
    } else if (text == "divide by zero") {
        // In assembly: a division by zero the compiler can see is dropped.
        int dividend = 1;
        asm volatile("cltd\n\tidivl %1" : "+a"(dividend) : "r"(0) : "edx", "cc");
    }
}

using FaultsTest = DeviceTest;

TEST_F(FaultsTest, CallbacksThatFaultOrRaiseAreContainedAndTheNextRingArrives) {
    const std::vector<std::string> faults = {"null write", "RaiseException", "C++ throw", "Delphi raise",
                                             "divide by zero"};
    for (int round = 0; round < 2; ++round)
        for (const std::string& fault : faults) sim.Queue(round ? 32 : 30, fault);
    sim.Queue(30, "still here");
    recorder::SetAction([](const RecordedCall& call) { Misbehave(call.Text); });
    OpenDevice();
    const void* chainBefore = ExceptionChainHead();
    ASSERT_TRUE(PumpUntilCalls(2 * faults.size() + 1, kPatienceMs + 12 * kCycleMs));
    // A handler record left linked would point into a stack frame long gone.
    EXPECT_EQ(chainBefore, ExceptionChainHead());

    std::vector<std::string> expected = faults;
    expected.insert(expected.end(), faults.begin(), faults.end());
    expected.push_back("still here");
    EXPECT_EQ(expected, recorder::Texts());
    for (const RecordedCall& call : recorder::Calls()) EXPECT_EQ(GetCurrentThreadId(), call.ThreadId);
    EXPECT_EQ(1u, sim.PollThreads().size()) << "the reader was replaced";
}

TEST_F(FaultsTest, PollsThatFaultAreContainedAndPollingGoesOn) {
    sim.FaultPolls(5);
    sim.Queue(30, "after the faults");
    OpenDevice();
    ASSERT_TRUE(PumpUntilCalls(1, kPatienceMs + 5 * kCycleMs));
    EXPECT_EQ((std::vector<std::string>{"after the faults"}), recorder::Texts());

    const std::vector<simdrv::LogEntry> polls = sim.Calls(simdrv::fnGetEvent);
    ASSERT_GE(polls.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(1, polls[i].Faulted) << "poll " << i;
    EXPECT_EQ(0, polls[5].Faulted);
    EXPECT_EQ(1, polls[5].Result);
    EXPECT_EQ(1u, sim.PollThreads().size()) << "the reader was replaced";
    // A fault does not cut the pause short.
    for (std::size_t i = 1; i < 6; ++i) EXPECT_GE(MsBetween(polls[i - 1].Time, polls[i].Time), 180.0);

    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    EXPECT_TRUE(ThreadEnded(*sim.PollThreads().begin()));
}

}  // namespace
}  // namespace ovtest
