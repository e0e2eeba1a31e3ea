// Faults on either side of the reader: callbacks that crash or raise, polls
// that crash. The host's thread and the reader both carry on.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/runtime/Guard.h"
#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Companions.h"
#include "tests/support/DeviceTest.h"
#include "tests/support/ImportPatch_win32.h"
#include "tools/simdrv/BoxWire.h"
#include "tests/support/StackProbe.h"

namespace ovtest {
namespace {

volatile bool g_bottomless = true;

// A callback that calls itself by mistake.
__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[256];
    frame[0] = char(depth);
    return g_bottomless ? Recurse(depth + 1) + frame[0] : 0;
}

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
    } else if (text == "stack overflow") {
        Recurse(0);
    } else if (text == "divide by zero") {
        // In assembly: a division by zero the compiler can see is dropped.
        int dividend = 1;
        asm volatile("cltd\n\tidivl %1" : "+a"(dividend) : "r"(0) : "edx", "cc");
    } else if (text == "x87 divide by zero") {
        // Under unmasked exceptions the store traps, its operand still stacked.
        volatile double zero = 0.0, quotient = 1.0 / zero;
        (void)quotient;
    }
}

using FaultsTest = DeviceTest;

TEST_F(FaultsTest, CallbacksThatFaultOrRaiseAreContainedAndTheNextRingArrives) {
    // Each fault twice: a second stack overflow needs the guard page back.
    const std::vector<std::string> faults = {"null write", "RaiseException", "C++ throw", "Delphi raise",
                                             "divide by zero", "stack overflow"};
    for (int round = 0; round < 2; ++round)
        for (const std::string& fault : faults) sim.Queue(round ? 32 : 30, fault);
    sim.Queue(30, "still here");
    recorder::SetAction([](const RecordedCall& call) { Misbehave(call.Text); });
    OpenDevice();
    const void* chainBefore = ExceptionChainHead();
    ASSERT_TRUE(PumpUntilCalls(2 * faults.size() + 1, kPatienceMs + 14 * kCycleMs));
    // A handler record left linked would point into a stack frame long gone.
    EXPECT_EQ(chainBefore, ExceptionChainHead());

    std::vector<std::string> expected = faults;
    expected.insert(expected.end(), faults.begin(), faults.end());
    expected.push_back("still here");
    EXPECT_EQ(expected, recorder::Texts());
    for (const RecordedCall& call : recorder::Calls()) EXPECT_EQ(GetCurrentThreadId(), call.ThreadId);
    EXPECT_EQ(1u, sim.PollThreads().size()) << "the reader was replaced";
}

struct X87State {
    WORD control, status, tags;
    DWORD mxcsr;
    // Exceptions that trap at the next instruction: the summary bit and any
    // flag whose mask is off. (Masked flags, such as the host's own inexact
    // results, are harmless.)
    WORD Pending() const { return status & (0x80 | (0x3F & ~control)); }
    int StackTop() const { return (status >> 11) & 7; }
};

// Reads without waiting, so a pending exception is seen, not raised.
X87State ReadX87() {
    WORD env[14];  // the 32-bit layout: control, status and tag words at 0, 2, 4
    DWORD mxcsr = 0;
    asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    return {env[0], env[2], env[4], mxcsr};
}

void SetX87Control(WORD control) { asm volatile("fninit\n\tfldcw %0" : : "m"(control)); }

// What Delphi and Free Pascal hosts run with: zero-divide, overflow and
// invalid operation unmasked.
constexpr WORD kDelphiControlWord = 0x1372;

// A callback that returns normally, as foreign code can, with another SSE
// rounding mode and a division of 1 by 0 pending over three stacked values.
void __stdcall RecordAndLeaveFloatingPointDirty(OV_DATA data, const char* text, const char* event) {
    recorder::First(data, text, event);
    const DWORD roundTowardZero = 0x7F80;
    asm volatile("ldmxcsr %0" : : "m"(roundTowardZero));
    asm volatile(".intel_syntax noprefix\n\tfld1\n\tfld1\n\tfldz\n\tfdivp\n\t.att_syntax prefix");
}

// A trap in the host's own code after a callback ends the process at once,
// with a word, instead of waiting for a debugger.
LONG WINAPI ReportStrayTrap(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "exception %08lX in the host's own code at %p\n", info->ExceptionRecord->ExceptionCode,
                 info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}

// A callback that faults mid-division, and one that returns with the
// division pending: the host's next callback and its own arithmetic find
// its floating-point state as it was.
TEST_F(FaultsTest, ACallbackThatDividesByZeroLeavesTheHostsFloatingPointAsItWas) {
    constexpr int kRounds = 8;
    std::vector<X87State> seenByNext;
    recorder::SetAction([&seenByNext](const RecordedCall& call) {
        if (call.Text == "next")
            seenByNext.push_back(ReadX87());
        else
            Misbehave(call.Text);
    });
    const LPTOP_LEVEL_EXCEPTION_FILTER crtFilter = SetUnhandledExceptionFilter(&ReportStrayTrap);
    const X87State host = ReadX87();
    SetX87Control(kDelphiControlWord);
    ASSERT_EQ(-1, Device().InitDevice());
    volatile double two = 2.0, root = 0.0;
    std::vector<bool> arithmeticRan;
    for (const auto& [callback, text] : {std::pair<HostCallback, const char*>{recorder::First, "x87 divide by zero"},
                                         {RecordAndLeaveFloatingPointDirty, "returns dirty"}}) {
        ASSERT_EQ(-1, Device().InitCallbackEx(kHostData, callback));
        for (int i = 0; i < kRounds; ++i) {
            sim.Queue(30, text);
            sim.Queue(32, "next");
            if (!PumpUntilCalls(recorder::Count() + 2, kPatienceMs)) break;
            // The host's own arithmetic, in its main code after the callbacks.
            arithmeticRan.push_back(platform::Guarded([&] { root = __builtin_sqrt(two) * two; }));
        }
    }
    SetX87Control(host.control);
    SetUnhandledExceptionFilter(crtFilter);

    ASSERT_EQ(std::size_t(2 * kRounds), seenByNext.size());
    for (int i = 0; i < 2 * kRounds; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kDelphiControlWord, seenByNext[i].control);
        EXPECT_EQ(0, seenByNext[i].Pending()) << std::hex << "x87 status " << seenByNext[i].status;
        EXPECT_EQ(0, seenByNext[i].StackTop()) << std::hex << "x87 status " << seenByNext[i].status;
        EXPECT_EQ(0xFFFF, seenByNext[i].tags) << std::hex << "x87 tags " << seenByNext[i].tags;
        // MXCSR's exception flags only report, they never trap (and on x64
        // the host's own SSE arithmetic sets them); its modes must come back.
        constexpr DWORD kMxcsrFlags = 0x3F;
        EXPECT_EQ(host.mxcsr & ~kMxcsrFlags, seenByNext[i].mxcsr & ~kMxcsrFlags)
            << std::hex << "MXCSR " << seenByNext[i].mxcsr;
        EXPECT_TRUE(arithmeticRan[i]) << "sqrt(2) trapped in the host's main code";
    }
    EXPECT_NEAR(2.828427, root, 1e-6);
    EXPECT_EQ(-1, Device().CloseDevice());
}

TEST_F(FaultsTest, PollsThatFaultAreContainedAndPollingGoesOn) {
    const std::set<DWORD> threads = ProcessThreads();
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
    // The x64 plug-in's reader is not the thread that polled, in its companion.
    EXPECT_TRUE(sizeof(void*) == 8 ? ProcessThreads() == threads : ThreadEnded(*sim.PollThreads().begin()));
}

// The machine has no event left to give the plug-in.
HANDLE WINAPI NoEvent(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR) {
    SetLastError(ERROR_NO_SYSTEM_RESOURCES);
    return nullptr;
}

TEST_F(FaultsTest, WithoutEventsOpenFailsWithATextAndLeavesTheDriverDisabled) {
    ASSERT_EQ(-1, Device().InitCallbackEx(kHostData, recorder::First));
    {
        ImportPatch patch(LoadedPlugin().Module(), "kernel32.dll", "CreateEventA", reinterpret_cast<void*>(&NoEvent));
        ASSERT_TRUE(patch.Applied());
        EXPECT_EQ(0, Device().InitDevice());
    }
    EXPECT_STRNE("", Device().GetLastError());
    EXPECT_EQ("VID", sim.Sequence()) << "the driver was left enabled";
    PumpFor(2 * kCycleMs);
    EXPECT_EQ(0, sim.Count(simdrv::fnGetEvent)) << "a reader polls although the open failed";
    // Once events can be had again, the device opens as ever.
    sim.Queue(30, "after the shortage");
    ASSERT_EQ(-1, Device().InitDevice());
    ASSERT_TRUE(PumpUntilCalls(1));
    EXPECT_EQ((std::vector<std::string>{"after the shortage"}), recorder::Texts());
}

// The host's queue is full for the first few wake posts.
std::atomic<int> g_failedPosts{0};
const void* g_postMessage = nullptr;
BOOL WINAPI FullQueuePost(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (g_failedPosts.fetch_sub(1) > 0) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    return reinterpret_cast<decltype(&PostMessageA)>(g_postMessage)(window, message, wp, lp);
}

TEST_F(FaultsTest, AWakeLostToAFullHostQueueIsPostedAgain) {
    ImportPatch patch(LoadedPlugin().Module(), "user32.dll", "PostMessageA", reinterpret_cast<void*>(&FullQueuePost));
    ASSERT_TRUE(patch.Applied());
    g_postMessage = patch.Original();
    g_failedPosts = 3;
    sim.Queue(30, "through a full queue");
    OpenDevice();
    EXPECT_TRUE(PumpUntilCalls(1));
    EXPECT_EQ((std::vector<std::string>{"through a full queue"}), recorder::Texts());
    EXPECT_LT(g_failedPosts.load(), 0) << "the failing posts were never made";
    EXPECT_EQ(-1, Device().CloseDevice());
}

// A host that destroys every window of its thread takes the hidden one too;
// it stands here for a hidden window that could not be made.
TEST_F(FaultsTest, WithoutTheHiddenWindowOpenFailsWithATextAndNoDriverCall) {
    HWND hidden = FindWindowExA(HWND_MESSAGE, nullptr, "Orvale8SyncWindow", nullptr);
    ASSERT_NE(nullptr, hidden);
    ASSERT_TRUE(DestroyWindow(hidden));
    ASSERT_EQ(-1, Device().InitCallbackEx(kHostData, recorder::First));
    EXPECT_EQ(0, Device().InitDevice());
    EXPECT_NE(nullptr, std::strstr(Device().GetLastError(), "hidden window")) << Device().GetLastError();
    EXPECT_EQ("", sim.Sequence());
}

// The x64 plug-in's companion, where the driver runs, ending under a poll
// or stuck in one: the device closes with a text, the reader ends, nothing of
// the companion is left, and the next open starts a fresh one.
TEST_F(FaultsTest, ACompanionEndedOrStuckInAPollIsReplacedAtTheNextOpen) {
    if (sizeof(void*) == 4) GTEST_SKIP() << "the 32-bit plug-in runs the driver in the host's process";
    enum How { CrashInPoll, KilledInPoll, PollNeverReturns, DisableNeverReturns };
    const struct {
        How how;
        const char* text;  // how the last-error text starts
        const char* exit;  // the companion's exit code in it
        int closeMs;       // how long CloseDevice waits for the driver
    } cases[] = {
        {CrashInPoll, "TmA4Drv.dll crashed in TV_GetEvent: Orvale8Drv32.exe", "exit code 0xC0000005", 0},
        {KilledInPoll, "TmA4Drv.dll crashed in TV_GetEvent: Orvale8Drv32.exe", "exit code 0x00000009", 0},
        {PollNeverReturns, "TmA4Drv.dll did not return from a poll (TV_GetEvent) within 2000 ms", "", OV_CLOSE_WAIT_MS},
        {DisableNeverReturns, "TmA4Drv.dll did not return from TV_Disable within 10000 ms", "", 10000},
    };
    const DWORD self = GetCurrentProcessId();
    const auto lastError = [this] { return std::string(Device().GetLastError()); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        sim.Reset();
        recorder::Clear();
        const std::set<DWORD> threads = ProcessThreads();
        sim.BlockPolls(c.how == DisableNeverReturns ? simdrv::bmDisablesToo : simdrv::bmUntilRelease);
        OpenDevice();
        ASSERT_TRUE(PumpUntil([&] { return sim.BlockedPolls() == 1; }, kPatienceMs));
        const std::vector<DWORD> first = CompanionsOf(self);
        ASSERT_EQ(1u, first.size());
        if (c.how == CrashInPoll) {
            sim.CrashPolls(1);
            sim.BlockPolls(simdrv::bmOff);  // the next poll crashes
        } else if (c.how == KilledInPoll) {
            ASSERT_TRUE(KillCompanion(first[0]));
        } else {
            const DWORD start = GetTickCount();
            EXPECT_EQ(OV_FALSE, Device().CloseDevice());
            EXPECT_NEAR(c.closeMs, double(GetTickCount() - start), 500.0);
        }
        if (c.closeMs == 0) {
            ASSERT_TRUE(PumpUntilCalls(1));
            EXPECT_EQ(OV_EVENT_ERROR, recorder::Calls()[0].Event);
            EXPECT_EQ(recorder::Texts()[0], lastError());
        }
        EXPECT_EQ(0u, lastError().rfind(c.text, 0)) << lastError();
        EXPECT_NE(std::string::npos, lastError().find(c.exit)) << lastError();
        EXPECT_TRUE(CompanionsGoneWithin(self, 1000)) << "the companion lives on";
        EXPECT_TRUE(PumpUntil([&] { return ProcessThreads() == threads; }, kPatienceMs)) << "a reader lives on";

        sim.BlockPolls(simdrv::bmOff);
        ASSERT_TRUE(PumpUntil([&] { return sim.BlockedPolls() == 0; }, kPatienceMs));
        sim.Queue(30, "fresh");
        EXPECT_EQ(OV_TRUE, Device().InitDevice()) << lastError();
        EXPECT_TRUE(PumpUntil([] { return recorder::Count() && recorder::Texts().back() == "fresh"; }, kPatienceMs));
        const std::vector<DWORD> fresh = CompanionsOf(self);
        EXPECT_TRUE(fresh.size() == 1 && fresh[0] != first[0]) << "no fresh companion";
        EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    }
}

// A copy of this program started with OV_HOST_OPEN: a host that opens the
// device, inside a job object of its own for "job", and waits to be killed.
[[noreturn]] void HoldDeviceOpen(const std::string& mode) {
    SetEnvironmentVariableA(simdrv::kBoxPipeVariable, nullptr);  // its companion keeps the box
    const platform::UniqueHandle job(mode == "job" ? CreateJobObjectA(nullptr, nullptr) : nullptr);
    if (mode == "job" && !AssignProcessToJobObject(job.Get(), GetCurrentProcess())) ExitProcess(20);
    Plugin plugin;
    if (!plugin.Load() || plugin.Device().InitDevice() != OV_TRUE) ExitProcess(21);
    for (;;) Sleep(INFINITE);
}

const bool hostRan = [] {
    char mode[8] = "";
    const DWORD length = GetEnvironmentVariableA("OV_HOST_OPEN", mode, sizeof mode);
    if (length && length < sizeof mode) HoldDeviceOpen(mode);
    return false;
}();

TEST(CompanionOfAKilledHost, EndsWithinTwoSecondsInAJobOrNot) {
    if (sizeof(void*) == 4) GTEST_SKIP() << "the 32-bit plug-in has no companion";
    (void)hostRan;
    for (const std::string mode : {"alone", "job"}) {
        SCOPED_TRACE(mode);
        ChildProcess host(platform::ExecutableDirectory() + ProgramName(), {"OV_HOST_OPEN=" + mode});
        ASSERT_TRUE(host.Started());
        ASSERT_TRUE(PumpUntil([&] { return CompanionsOf(host.Id()).size() == 1; }, kPatienceMs)) << host.Wait(0);
        host.Kill();
        EXPECT_TRUE(CompanionsGoneWithin(host.Id(), 2000));
    }
}

}  // namespace
}  // namespace ovtest
