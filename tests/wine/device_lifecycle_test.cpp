// Opening and closing as the driver sees it, the reader's life, delivery
// during CloseDevice, unloading, and a driver whose record outgrew its room.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DialogWatcher.h"
#include "tests/support/DeviceTest.h"

namespace ovtest {
namespace {

constexpr char kSyncWindowClass[] = "Orvale8SyncWindow";

// The host's DLL of tests/wine/wrapper: opens the device through its export,
// closes it in its entry routine and leaves the result and time here.
struct WrapperClose {
    std::int32_t Result;
    LARGE_INTEGER Returned;
};
using WrapperOpen = std::int32_t (*)(HostCallback, WrapperClose*);
const char kWrapperExitVariable[] = "OV_WRAPPER_EXIT";
constexpr int kWrapperHostPumpMs = 3 * kCycleMs, kWrapperHostPauseMs = 2 * kCycleMs;

std::string WrapperPath() { return platform::ExecutableDirectory() + "host_wrapper.dll"; }

// In the copy of this program started with OV_WRAPPER_EXIT: a host whose
// main returns with its DLL still loaded and the device open, the reader
// waiting in a marshalled call.
const bool wrapperHostRan = [] {
    if (!std::getenv(kWrapperExitVariable)) return false;
    static WrapperClose closed{};
    const auto open = Proc<WrapperOpen>(LoadLibraryA(WrapperPath().c_str()), "WrapperOpen");
    if (!open || open(recorder::First, &closed) != OV_TRUE) std::exit(2);
    PumpFor(kWrapperHostPumpMs);
    Sleep(kWrapperHostPauseMs);
    SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, std::getenv(kWrapperExitVariable)));
    std::exit(0);
}();

// The driver calls without the polls, as letters V I D.
std::string OpenCloseSequence(const SimDriver& sim) {
    std::string sequence = sim.Sequence();
    sequence.erase(std::remove(sequence.begin(), sequence.end(), 'P'), sequence.end());
    return sequence;
}

std::int64_t LatestPollTime(const SimDriver& sim) {
    const std::vector<simdrv::LogEntry> polls = sim.Calls(simdrv::fnGetEvent);
    return polls.empty() ? 0 : polls.back().Time;
}

std::vector<simdrv::LogEntry> PollsAfterDisable(const SimDriver& sim) {
    std::vector<simdrv::LogEntry> after;
    bool disabled = false;
    for (const simdrv::LogEntry& entry : sim.Log()) {
        if (entry.Function == simdrv::fnDisable) disabled = true;
        if (disabled && entry.Function == simdrv::fnGetEvent) after.push_back(entry);
    }
    return after;
}

// This process's hidden window, message-only or not; other processes on
// the same Wine server (tests run in parallel) have theirs.
HWND FindSyncWindow() {
    for (HWND parent : {HWND_MESSAGE, HWND(nullptr)}) {
        for (HWND w = nullptr; (w = FindWindowExA(parent, w, kSyncWindowClass, nullptr)) != nullptr;) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == GetCurrentProcessId()) return w;
        }
    }
    return nullptr;
}

using LifecycleTest = DeviceTest;

TEST_F(LifecycleTest, TwoOpensAndOneCloseRunOneReaderThatStopsPollingOnClose) {
    OpenDevice();
    EXPECT_EQ(OV_TRUE, Device().InitDevice());
    ASSERT_TRUE(PumpUntilPolls(4));
    const DWORD started = GetTickCount();
    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    EXPECT_LT(GetTickCount() - started, 5u * kCycleMs) << "CloseDevice waits longer than a cycle";
    const std::int64_t closed = PerformanceNow();
    const int polls = sim.Count(simdrv::fnGetEvent);
    PumpFor(3 * kCycleMs);

    EXPECT_EQ("VIVID", OpenCloseSequence(sim));
    EXPECT_EQ(polls, sim.Count(simdrv::fnGetEvent)) << "polled after CloseDevice returned";
    EXPECT_LT(LatestPollTime(sim), closed);
    const std::set<DWORD> readers = sim.PollThreads();
    ASSERT_EQ(1u, readers.size());
    EXPECT_TRUE(!kDriverInProcess || ThreadEnded(*readers.begin()));
    // The host's calls reach the driver on the host's thread; on x64 on the
    // companion's thread for them, not the polls'.
    const DWORD hostCalls = kDriverInProcess ? GetCurrentThreadId() : sim.Calls(simdrv::fnVersion).at(0).ThreadId;
    EXPECT_EQ(0u, readers.count(hostCalls));
    for (const simdrv::LogEntry& entry : sim.Log())
        EXPECT_TRUE(entry.Function == simdrv::fnGetEvent || entry.ThreadId == hostCalls);
    // A pause before every poll: the reader never spins.
    const std::vector<simdrv::LogEntry> log = sim.Calls(simdrv::fnGetEvent);
    for (std::size_t i = 1; i < log.size(); ++i) EXPECT_GE(MsBetween(log[i - 1].Time, log[i].Time), 180.0);
}

TEST_F(LifecycleTest, CloseWithoutOpenStillDisablesTheDriverAndStartsNothing) {
    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    PumpFor(2 * kCycleMs);
    // The x64 plug-in starts no companion, so loads no driver, before an open.
    EXPECT_EQ(kDriverInProcess ? "DD" : "", sim.Sequence());
}

TEST_F(LifecycleTest, TheReaderStallsWhileTheHostThreadDoesNotPump) {
    OpenDevice();
    ASSERT_TRUE(PumpUntilPolls(2));
    sim.Queue(30, "held back");
    const int before = sim.Count(simdrv::fnGetEvent);
    Sleep(6 * kCycleMs);  // a host busy with something else
    EXPECT_LE(sim.Count(simdrv::fnGetEvent) - before, 1);
    EXPECT_EQ(0u, recorder::Count()) << "called back while the host thread was busy";
    ASSERT_TRUE(PumpUntilCalls(1));
    EXPECT_EQ(GetCurrentThreadId(), recorder::Calls()[0].ThreadId);
    EXPECT_TRUE(PumpUntilPolls(sim.Count(simdrv::fnGetEvent) + 2)) << "polling did not resume";
}

// Notes whether each callback ran inside CloseDevice.
struct CloseWatch {
    bool inside = false;
    std::vector<bool> seenInside;
    void Install() {
        recorder::SetAction([this](const RecordedCall&) { seenInside.push_back(inside); });
    }
};

TEST_F(LifecycleTest, ARingFromAPollThatReturnsAfterDisableIsDeliveredDuringCloseHoweverSlowTheCallback) {
    // The callback outlasts the close's bound, and the reader then takes a
    // moment to end, as on a busy machine: the bound starts again after it.
    CloseWatch watch;
    std::thread resumer;
    recorder::SetAction([&](const RecordedCall&) {
        watch.seenInside.push_back(watch.inside);
        Sleep(OV_CLOSE_WAIT_MS + 500);
        const HANDLE reader = OpenThread(THREAD_SUSPEND_RESUME, FALSE, *sim.PollThreads().begin());
        SuspendThread(reader);
        resumer = std::thread([reader] { Sleep(2 * kCycleMs); ResumeThread(reader); CloseHandle(reader); });
    });
    OpenDevice();
    sim.BlockPolls(simdrv::bmUntilDisable);
    ASSERT_TRUE(PumpUntil([&] { return sim.BlockedPolls() == 1; }, kPatienceMs));
    sim.Queue(30, "last ring");
    watch.inside = true;
    EXPECT_EQ(OV_TRUE, Device().CloseDevice()) << Device().GetLastError();
    watch.inside = false;
    if (resumer.joinable()) resumer.join();

    ASSERT_EQ((std::vector<std::string>{"last ring"}), recorder::Texts());
    EXPECT_EQ(std::vector<bool>{true}, watch.seenInside);
    EXPECT_EQ(GetCurrentThreadId(), recorder::Calls()[0].ThreadId);
    PumpFor(2 * kCycleMs);
    EXPECT_EQ(1u, recorder::Count());
    recorder::SetAction(nullptr);
    sim.BlockPolls(simdrv::bmOff);
    EXPECT_EQ(OV_TRUE, Device().InitDevice()) << Device().GetLastError();
}

TEST_F(LifecycleTest, ARingFromAPollMadeAfterDisableIsDeliveredDuringClose) {
    // Close must land while the reader pauses, so that its cycle polls after
    // TV_Disable; a few tries make that certain on a busy machine.
    CloseWatch watch;
    watch.Install();
    std::vector<simdrv::LogEntry> late;
    for (int attempt = 0; attempt < 4 && late.empty(); ++attempt) {
        sim.Reset();
        recorder::Clear();
        watch.seenInside.clear();
        watch.Install();
        OpenDevice();
        ASSERT_TRUE(PumpUntilPolls(2));
        PumpFor(40);  // the poll's notification runs; the reader pauses again
        sim.Queue(30, "after disable");
        watch.inside = true;
        EXPECT_EQ(OV_TRUE, Device().CloseDevice());
        watch.inside = false;
        late = PollsAfterDisable(sim);
    }
    ASSERT_EQ(1u, late.size()) << "the reader never polled after TV_Disable";
    EXPECT_EQ(1, late[0].Result);
    EXPECT_EQ((std::vector<std::string>{"after disable"}), recorder::Texts());
    EXPECT_EQ(std::vector<bool>{true}, watch.seenInside);
}

TEST_F(LifecycleTest, InitDeviceFromACallbackDuringCloseOpensAgainWithANewReader) {
    std::int32_t reopened = 0;
    recorder::SetAction([&](const RecordedCall& call) {
        if (call.Text != "reopen") return;
        sim.BlockPolls(simdrv::bmOff);
        reopened = Device().InitDevice();
    });
    OpenDevice();
    sim.BlockPolls(simdrv::bmUntilDisable);
    ASSERT_TRUE(PumpUntil([&] { return sim.BlockedPolls() == 1; }, kPatienceMs));
    const DWORD firstReader = *sim.PollThreads().begin();
    sim.Queue(30, "reopen");
    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    EXPECT_EQ(OV_TRUE, reopened);

    // The device is open again: a second reader polls and relays (on x64
    // through the companion's one thread for polls).
    ASSERT_TRUE(PumpUntil([&] { return sim.PollThreads().size() == (kDriverInProcess ? 2u : 1u); }, kPatienceMs));
    sim.Queue(32, "new reader");
    ASSERT_TRUE(PumpUntilCalls(2));
    EXPECT_EQ("new reader", recorder::Texts().back());
    EXPECT_TRUE(PumpUntil([&] { return !kDriverInProcess || ThreadEnded(firstReader); }, kPatienceMs));

    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    const int polls = sim.Count(simdrv::fnGetEvent);
    PumpFor(2 * kCycleMs);
    EXPECT_EQ(polls, sim.Count(simdrv::fnGetEvent));
    EXPECT_EQ("VIDVID", OpenCloseSequence(sim));
    for (DWORD reader : sim.PollThreads()) EXPECT_TRUE(!kDriverInProcess || ThreadEnded(reader));
}

// A newer driver whose record grew: the plug-in's own state stays intact, and
// a record larger than the page given for it faults, which closes the device.
// (Not beside the callback faults: a stack overflow contained on the host
// thread and a dialog shown in one process end it under Wine 8, a Unix
// segfault, which would hide what this test checks.)
TEST_F(LifecycleTest, ALargerDriverRecordNeverReachesThePluginsStateAndOnePastItsRoomClosesTheDevice) {
    const struct {
        int size;
        bool fits;
    } cases[] = {{72, true}, {128, true}, {256, true}, {1024, true}, {4096, true}, {8192, false}};
    const std::string overrun = "TmA4Drv.dll faulted in TV_GetEvent";
    ASSERT_EQ(-1, Device().InitCallbackEx(kHostData, recorder::First));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        sim.Reset();
        recorder::Clear();
        sim.RecordSize(c.size);
        sim.Queue(30, "12345");
        ASSERT_EQ(-1, Device().InitDevice()) << Device().GetLastError();
        ASSERT_TRUE(PumpUntilCalls(1));
        const RecordedCall call = recorder::Calls()[0];
        EXPECT_EQ(kHostData, call.Data);
        if (c.fits) {
            EXPECT_EQ("12345", call.Text);
            EXPECT_EQ(OV_EVENT_RING, call.Event);
            EXPECT_STREQ("", Device().GetLastError());
        } else {
            EXPECT_EQ(0u, call.Text.rfind(overrun, 0)) << call.Text;
            EXPECT_EQ(OV_EVENT_ERROR, call.Event);
            EXPECT_EQ(call.Text, Device().GetLastError());
            const int polls = sim.Count(simdrv::fnGetEvent);
            PumpFor(2 * kCycleMs);
            EXPECT_EQ(polls, sim.Count(simdrv::fnGetEvent)) << "the reader polls on past the overrun";
            EXPECT_EQ("VIPD", sim.Sequence());
            sim.RecordSize(sizeof(TDriverEvent));
            EXPECT_EQ(-1, Device().InitDevice()) << Device().GetLastError();
        }
        // The calls the plug-in's own state serves work as ever.
        DialogWatcher dialog(GetCurrentThreadId(), DialogAction::Escape);
        EXPECT_EQ(-1, Device().ShowProperties(nullptr));
        EXPECT_TRUE(dialog.View().Found);
        EXPECT_EQ(-1, Device().CloseDevice()) << Device().GetLastError();
    }
}

TEST_F(LifecycleTest, UnloadingAfterCloseLeavesNoThreadWindowOrClassAndLoadingAgainWorks) {
    UnloadPlugin();
    // GoogleTest starts a watcher thread the first time a thread uses a
    // trace, so one is opened before the threads are counted.
    SCOPED_TRACE("unload and load again");
    const std::set<DWORD> baseline = ProcessThreads();
    ASSERT_EQ(nullptr, GetModuleHandleA("Orvale8.dll"));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_NO_FATAL_FAILURE(LoadPlugin());
        const HMODULE module = LoadedPlugin().Module();
        WNDCLASSEXA info{};
        info.cbSize = sizeof info;
        EXPECT_TRUE(GetClassInfoExA(module, kSyncWindowClass, &info));
        const HWND window = FindSyncWindow();
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(window, nullptr));

        recorder::Clear();
        sim.Queue(30, "ring " + std::to_string(round));
        OpenDevice();
        ASSERT_TRUE(PumpUntilCalls(1));
        EXPECT_EQ("ring " + std::to_string(round), recorder::Texts()[0]);
        EXPECT_EQ(OV_TRUE, Device().CloseDevice());
        const std::set<DWORD> readers = sim.PollThreads();
        UnloadPlugin();

        EXPECT_EQ(nullptr, GetModuleHandleA("Orvale8.dll"));
        EXPECT_EQ(nullptr, GetModuleHandleA("TmA4Drv.dll"));
        EXPECT_FALSE(GetClassInfoExA(module, kSyncWindowClass, &info)) << "window class left registered";
        EXPECT_EQ(nullptr, FindSyncWindow()) << "hidden window left behind";
        for (DWORD reader : readers) EXPECT_TRUE(ThreadEnded(reader));
        const std::set<DWORD> threads = ProcessThreads();
        EXPECT_EQ(baseline, threads) << "outlived the plug-in:" << DescribeNewThreads(baseline, threads);
    }
}

TEST_F(LifecycleTest, UnloadedByAReaderLeftBehindItLeavesNoWindowOnceTheHostPumps) {
    OpenDevice();
    sim.BlockPolls(simdrv::bmUntilRelease);
    ASSERT_TRUE(PumpUntil([&] { return sim.BlockedPolls() == 1; }, kPatienceMs));
    EXPECT_EQ(OV_FALSE, Device().CloseDevice());
    const SimDriver driver = sim;
    const DWORD reader = *driver.PollThreads().begin();
    EXPECT_TRUE(FreeLibrary(LoadedPlugin().Module()));
    ForgetPlugin();
    driver.ReleasePolls();  // the reader drops the last reference on its own thread
    EXPECT_TRUE(PumpUntil([] { return GetModuleHandleA("Orvale8.dll") == nullptr; }, kPatienceMs));
    EXPECT_TRUE(PumpUntil([&] { return ThreadEnded(reader); }, kPatienceMs));
    PumpFor(3 * kCycleMs);
    EXPECT_EQ(nullptr, FindSyncWindow()) << "hidden window left behind";
}

TEST_F(LifecycleTest, AHostDllClosingInItsEntryRoutineUnloadsAtOnceAndTheDeviceOpensAgain) {
    const HMODULE wrapper = LoadLibraryA(WrapperPath().c_str());
    const auto open = Proc<WrapperOpen>(wrapper, "WrapperOpen");
    ASSERT_NE(nullptr, open);
    WrapperClose closed{OV_FALSE, {}};
    ASSERT_EQ(OV_TRUE, open(recorder::First, &closed));
    ASSERT_TRUE(PumpUntilPolls(2));
    const DWORD started = GetTickCount();
    EXPECT_TRUE(FreeLibrary(wrapper));  // the loader lock held while it closes
    EXPECT_LT(GetTickCount() - started, DWORD(OV_CLOSE_WAIT_MS));
    EXPECT_EQ(OV_TRUE, closed.Result);
    PumpFor(3 * kCycleMs);
    EXPECT_LT(LatestPollTime(sim), closed.Returned.QuadPart) << "polled after CloseDevice returned";
    for (DWORD reader : sim.PollThreads())
        EXPECT_TRUE(PumpUntil([&] { return !kDriverInProcess || ThreadEnded(reader); }, kPatienceMs));

    sim.Queue(30, "again");
    OpenDevice();
    ASSERT_TRUE(PumpUntilCalls(1));
    EXPECT_EQ("again", recorder::Texts()[0]);
    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
}

TEST(ProcessExitTest, AHostWhoseMainReturnsWithItsDllStillLoadedEnds) {
    (void)wrapperHostRan;
    // The host names this event when its main returns; timed from there, the
    // exit is not blurred by how long the process took to start.
    const std::string exiting = "OvWrapperHostExiting" + std::to_string(GetCurrentProcessId());
    const platform::UniqueHandle exitingEvent(CreateEventA(nullptr, TRUE, FALSE, exiting.c_str()));
    ChildProcess host(platform::ExecutableDirectory() + ProgramName(),
                      {std::string(kWrapperExitVariable) + "=" + exiting});
    ASSERT_TRUE(host.Started());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(exitingEvent.Get(), kPatienceMs)) << "the host did not get to its exit";
    const DWORD returned = GetTickCount();
    EXPECT_EQ(0, host.Wait(kPatienceMs)) << "-1: still running";
    // Its exit waits for no thread: well within the close's bound.
    EXPECT_LT(GetTickCount() - returned, DWORD(OV_CLOSE_WAIT_MS / 2));
}

}  // namespace
}  // namespace ovtest
