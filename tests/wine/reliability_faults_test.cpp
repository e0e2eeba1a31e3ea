// Faulty peers on both sides of the plug-in while rings flow: host callbacks
// that fault or raise in the ways real hosts do, a driver that faults or
// hands back garbage, and a host that swaps or clears its callback between
// rings. The reader goes on, and nothing reaches the host that should not.
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "tests/support/RelDevice.h"
#include "tests/support/RelExceptions.h"
#include "tests/support/RelHost.h"
#include "tests/support/StackProbe.h"

namespace ovtest {
namespace {

constexpr std::int32_t kData = 0x0BADCA11;

// ---- Host callbacks that do not return normally -------------------------
//
// A host raises through the plug-in the way its compiler raises: Visual C++
// `throw` is RaiseException with code 0xE06D7363 and the thrown object and
// its type description as arguments; Delphi's `raise` is RaiseException with
// 0x0EEDFADE. Both are structured exceptions, which any module's handlers
// see. A GCC `throw` from this test program is not what any host does to the
// plug-in: this program and the plug-in each link their own static copy of
// libgcc, each of which knows the unwind tables of its own module only, so
// the program's unwinder stops at the plug-in's first frame and calls
// std::terminate; no code in the plug-in runs or could change that. A GCC
// host throwing and catching inside its callback is covered instead.

enum class Misdeed { Nothing, NullWrite, DivideByZero, RaiseContinuable, VisualCppThrow, DelphiRaise,
                     OwnThrowCaught, FaultUnderOwnHandler };
constexpr int kMisdeeds = 8;

// Both volatile: with only the pointer so, GCC drops the store.
void NullWrite() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

// Visual C++'s ThrowInfo on x86: what _CxxThrowException hands the system.
struct VisualCppThrowInfo {
    unsigned Attributes;
    void* Destructor;
    void* ForwardCompat;
    void* CatchableTypes;
};

void ThrowAsVisualCpp() {
    static const VisualCppThrowInfo info = {0, nullptr, nullptr, nullptr};
    static int thrown = 42;
    const ULONG_PTR args[3] = {0x19930520, reinterpret_cast<ULONG_PTR>(&thrown), reinterpret_cast<ULONG_PTR>(&info)};
    RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, args);
}

void RaiseAsDelphi() {
    static int exceptionObject = 7;
    // Delphi passes the raise address and the exception object first.
    const ULONG_PTR args[7] = {reinterpret_cast<ULONG_PTR>(&RaiseAsDelphi),
                               reinterpret_cast<ULONG_PTR>(&exceptionObject)};
    RaiseException(0x0EEDFADE, EXCEPTION_NONCONTINUABLE, 7, args);
}

// A host frame with a structured handler of its own, as Visual C++ builds
// for a function with objects to destroy: when the plug-in's guard takes
// the fault, that frame must get its unwind call (where the destructors run).
struct HostFrame {
    HostFrame* Prev;
    void* Handler;
};
int g_hostFramesUnwound = 0;
int g_ownThrowsCaught = 0;

extern "C" EXCEPTION_DISPOSITION __cdecl HostFrameHandler(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    if (record->ExceptionFlags & EXCEPTION_UNWINDING) ++g_hostFramesUnwound;
    return ExceptionContinueSearch;
}

__attribute__((noinline)) void FaultUnderOwnHandler() {
    HostFrame frame{nullptr, reinterpret_cast<void*>(&HostFrameHandler)};
    asm volatile("movl %%fs:0, %0" : "=r"(frame.Prev) : : "memory");
    asm volatile("movl %0, %%fs:0" : : "r"(&frame) : "memory");
    NullWrite();
    asm volatile("movl %0, %%fs:0" : : "r"(frame.Prev) : "memory");  // not reached
}

void Commit(Misdeed misdeed) {
    switch (misdeed) {
    case Misdeed::Nothing:
        break;
    case Misdeed::NullWrite:
        NullWrite();
        break;
    case Misdeed::DivideByZero: {
        // In assembly: GCC may drop a division it can see is by zero.
        int dividend = 1;
        asm volatile("cltd\n\tidivl %1" : "+a"(dividend) : "r"(0) : "edx", "cc");
        break;
    }
    case Misdeed::RaiseContinuable:
        RaiseException(0xE0000001, 0, 0, nullptr);
        break;
    case Misdeed::VisualCppThrow:
        ThrowAsVisualCpp();
        break;
    case Misdeed::DelphiRaise:
        RaiseAsDelphi();
        break;
    case Misdeed::OwnThrowCaught:
        try {
            throw std::runtime_error("the host's own");
        } catch (const std::exception&) {
            ++g_ownThrowsCaught;
        }
        break;
    case Misdeed::FaultUnderOwnHandler:
        FaultUnderOwnHandler();
        break;
    }
}

class Faults : public RelDeviceTest {
protected:
    void Open(HostCallback callback = recorder::First) {
        ASSERT_EQ(-1, Device().InitCallbackEx(kData, callback));
        ASSERT_EQ(-1, Device().InitDevice());
    }
    std::vector<std::string> Texts() const { return recorder::Texts(); }
};

TEST_F(Faults, CallbacksThatFaultRaiseOrThrowInEveryWayLoseNoRing) {
    constexpr int kRounds = 3, kRings = kRounds * kMisdeeds + 1;
    QueueNumberedRings(sim, 0, kRings);
    g_hostFramesUnwound = g_ownThrowsCaught = 0;
    recorder::SetAction([](const RecordedCall& call) { Commit(Misdeed(SequenceOf(call.Text) % kMisdeeds)); });
    const void* chainBefore = ExceptionChainHead();
    const ExceptionCounter raised;
    Open();
    ASSERT_TRUE(PumpUntilCalls(kRings, kRings));
    ASSERT_EQ(-1, Device().CloseDevice());

    // Each misdeed happened, on the host's thread, as often as asked.
    const struct {
        DWORD Code;
        int Times;
    } misdeeds[] = {{EXCEPTION_ACCESS_VIOLATION, 2 * kRounds}, {EXCEPTION_INT_DIVIDE_BY_ZERO, kRounds},
                    {0xE0000001, kRounds}, {0xE06D7363, kRounds}, {0x0EEDFADE, kRounds}};
    for (const auto& m : misdeeds) EXPECT_EQ(m.Times, raised.OnThread(m.Code, LoadingThread())) << std::hex << m.Code;

    std::vector<std::string> expected;
    for (int i = 0; i < kRings; ++i) expected.push_back(NumberedRing(i, i % 3 ? 20 : 46));
    EXPECT_EQ(expected, Texts());
    for (const RecordedCall& call : recorder::Calls()) ASSERT_EQ(LoadingThread(), call.ThreadId);
    // A handler record left linked would point into a stack frame long gone.
    EXPECT_EQ(chainBefore, ExceptionChainHead());
    EXPECT_EQ(kRounds, g_hostFramesUnwound) << "the host's frames did not get their unwind call";
    EXPECT_EQ(kRounds, g_ownThrowsCaught);
    EXPECT_EQ(1u, sim.PollThreads().size()) << "the reader was replaced";
}

// ---- A driver that faults or hands back garbage --------------------------

struct Poll {
    TDriverEvent Record;
    std::int32_t Result;
};

// What a host may see of a poll: a ring only with a positive result, code 30
// or 32 and a text, which is the field's bytes up to the first NUL.
bool Relayed(const Poll& p, std::string* text) {
    if (p.Result <= 0 || (p.Record.Code != 30 && p.Record.Code != 32)) return false;
    *text = std::string(p.Record.Text, strnlen(p.Record.Text, sizeof p.Record.Text));
    return !text->empty();
}

Poll GarbagePoll(std::mt19937& random) {
    const auto pick = [&](std::initializer_list<std::int32_t> values) {
        return values.begin()[random() % values.size()];
    };
    Poll p;
    auto* bytes = reinterpret_cast<unsigned char*>(&p.Record);
    for (std::size_t i = 0; i < sizeof p.Record; ++i) bytes[i] = static_cast<unsigned char>(random());
    p.Record.Code = pick({30, 32, 31, 30, 32, static_cast<std::int32_t>(random())});
    p.Result = pick({1, 0, -1, INT_MIN, INT_MAX, 2, 1000, static_cast<std::int32_t>(random())});
    switch (random() % 4) {
    case 0:  // a NUL somewhere in the field
        p.Record.Text[random() % sizeof p.Record.Text] = 0;
        break;
    case 1:  // none at all: all 46 bytes are text
        for (char& c : p.Record.Text) c = c ? c : 'x';
        break;
    case 2:  // empty
        p.Record.Text[0] = 0;
        break;
    default:  // left as the garbage came
        break;
    }
    return p;
}

TEST_F(Faults, ADriverThatFaultsOrReturnsGarbageMakesTheHostSeeOnlyRealRings) {
    constexpr int kPolls = 60;
    const unsigned seed = TestSeed();
    std::mt19937 random(seed);
    std::vector<std::string> expected;
    for (int i = 0; i < kPolls; ++i) {
        const Poll p = GarbagePoll(random);
        sim.QueueRecord(p.Record, p.Result);
        std::string text;
        if (Relayed(p, &text)) expected.push_back(text);
    }
    const std::string last = NumberedRing(kPolls);
    sim.Queue(30, last);
    expected.push_back(last);
    // Every third ring makes the next one to three polls fault.
    int faultsAsked = 0;
    recorder::SetAction([&](const RecordedCall& call) {
        if (recorder::Count() % 3 != 0 || call.Text == last) return;
        const int faults = 1 + int(recorder::Count() / 3 % 3);
        sim.FaultPolls(faults);
        faultsAsked += faults;
    });
    const ExceptionCounter raised;
    Open();
    ASSERT_TRUE(PumpUntilCalls(expected.size(), kPolls + 30)) << "seed " << seed;
    ASSERT_EQ(-1, Device().CloseDevice());
    // The box's faults were real processor faults, on the reader's thread.
    EXPECT_EQ(faultsAsked, raised.OffThread(EXCEPTION_ACCESS_VIOLATION, LoadingThread()))
        << "the simulated driver's polls did not fault";

    EXPECT_EQ(expected, Texts()) << "seed " << seed;
    for (const std::string& text : Texts()) EXPECT_LE(text.size(), 46u);
    int faulted = 0;
    for (const simdrv::LogEntry& poll : sim.Calls(simdrv::fnGetEvent)) faulted += poll.Faulted;
    EXPECT_EQ(faultsAsked, faulted) << "seed " << seed;
    EXPECT_GT(faulted, 0);
    EXPECT_EQ(1u, sim.PollThreads().size()) << "the reader was replaced";
    std::printf("[faults] seed %u: %d garbage polls, %zu rings relayed, %d faulting polls\n", seed, kPolls,
                expected.size(), faulted);
}

// ---- A callback replaced or cleared while rings flow ---------------------

struct Delivery {
    int Sequence;
    int Callback;
    std::int32_t Data;
    bool operator==(const Delivery& o) const {
        return Sequence == o.Sequence && Callback == o.Callback && Data == o.Data;
    }
};

void PrintTo(const Delivery& d, std::ostream* out) {
    *out << "{ring " << d.Sequence << ", callback " << d.Callback << ", data " << d.Data << "}";
}

// The first ring at or after `from` in `calls` (by sequence), -1 if none.
int FirstDeliveredFrom(const std::vector<Delivery>& calls, int from) {
    for (const Delivery& d : calls)
        if (d.Sequence >= from) return d.Sequence;
    return -1;
}

void Expect(std::vector<Delivery>& out, int first, int end, int callback, std::int32_t data) {
    for (int s = first; s < end; ++s) out.push_back({s, callback, data});
}

TEST_F(Faults, ACallbackReplacedOrClearedWhileRingsFlowGetsTheRingsOfItsTimeOnly) {
    constexpr int kRings = 60;
    QueueNumberedRings(sim, 0, kRings);
    // Changes made inside a callback take effect with the very next ring:
    // the reader waits for the callback to return.
    recorder::SetAction([this](const RecordedCall& call) {
        const int sequence = SequenceOf(call.Text);
        if (sequence == 9) Device().InitCallbackEx(2, recorder::Second);
        if (sequence == 19) Device().InitCallbackEx(3, nullptr);
        if (sequence == 44) Device().InitCallbackEx(5, nullptr);
    });
    ASSERT_EQ(-1, Device().InitCallbackEx(1, recorder::First));
    ASSERT_EQ(-1, Device().InitDevice());
    // Changes made between pumps meet the ring in flight, if any: the one
    // polled last may still be waiting for the host's thread.
    const auto changeAtPoll = [this](int polls, std::int32_t data, HostCallback callback) {
        EXPECT_TRUE(PumpUntilPolls(polls));
        const int consumed = sim.Count(simdrv::fnGetEvent);
        Device().InitCallbackEx(data, callback);
        return consumed;
    };
    const int c1 = changeAtPoll(26, 4, recorder::First);
    const int c2 = changeAtPoll(35, 6, recorder::Second);
    const int c3 = changeAtPoll(50, 7, recorder::First);
    ASSERT_TRUE(PumpUntil([] { return !recorder::Calls().empty() && SequenceOf(recorder::Calls().back().Text) ==
                                                                         kRings - 1; },
                          5000 + 2 * kRings * kPollMs));
    ASSERT_EQ(-1, Device().CloseDevice());

    std::vector<Delivery> seen;
    for (const RecordedCall& call : recorder::Calls()) seen.push_back({SequenceOf(call.Text), call.Callback, call.Data});
    const int s1 = FirstDeliveredFrom(seen, 20);
    int s2 = -1;
    for (const Delivery& d : seen)
        if (d.Sequence >= s1 && d.Callback == 2) {
            s2 = d.Sequence;
            break;
        }
    const int s3 = FirstDeliveredFrom(seen, 45);
    EXPECT_TRUE(s1 == c1 - 1 || s1 == c1) << "back on at poll " << c1 << ", first ring " << s1;
    EXPECT_TRUE(s2 == c2 - 1 || s2 == c2) << "swapped at poll " << c2 << ", first ring " << s2;
    EXPECT_TRUE(s3 == c3 - 1 || s3 == c3) << "back on at poll " << c3 << ", first ring " << s3;

    std::vector<Delivery> expected;
    Expect(expected, 0, 10, 1, 1);
    Expect(expected, 10, 20, 2, 2);
    Expect(expected, s1, s2, 1, 4);
    Expect(expected, s2, 45, 2, 6);
    Expect(expected, s3, kRings, 1, 7);
    EXPECT_EQ(expected, seen);
    for (const RecordedCall& call : recorder::Calls()) ASSERT_EQ(LoadingThread(), call.ThreadId);
}

// The system ends the other threads before it tells the plug-in the process
// is exiting; the reader may have been inside the wake hook, holding its lock.
TEST(ProcessExit, AHostExitingWithTheReaderInsideTheWakeHookEndsPromptly) {
    RelHostDir host;
    ASSERT_TRUE(host.Ready());
    const DWORD start = GetTickCount();
    const DialogShown run = host.RunHost("exit", 20000);
    const DWORD took = GetTickCount() - start;
    std::printf("[exit] host with the reader in the wake hook ended in %lu ms, exit code %lu\n", took, run.ExitCode);
    EXPECT_TRUE(run.Ran) << "exit code " << run.ExitCode << " after " << took << " ms";
}

}  // namespace
}  // namespace ovtest
