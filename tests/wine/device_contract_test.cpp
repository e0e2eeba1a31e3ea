// The host contract: every export, and FreeLibrary of the plug-in, in every
// state a host may call it in, one row per cell of the host guide's table.
// Each cell sets its state up, makes the call, and checks the result, the
// last-error text, whether a dialog showed, and what the device and the
// module do afterwards. A hang ends the program through the fixture's
// watchdog, a crash ends it outright: either fails the whole group.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "platform/runtime/Paths.h"
#include "tests/support/DeviceTest.h"

namespace ovtest {
namespace {

enum class State { Closed, Open, InCallback, InCloseWait, DialogUp, AfterDriverFault, AfterPollFault, DriverStuck, OtherThread, LoadingThreadEnded };
enum class Call { InitCallbackEx, InitDevice, CloseDevice, ShowProperties, LastError, FreeLibrary };

// What the device and the module do once the cell's call is made.
enum class After {
    Open,        // polls and relays, one reader
    Closed,      // never polls
    KeptOpen,    // after FreeLibrary: still loaded, still polling and relaying
    Unloaded,    // after FreeLibrary: gone
    LeftBehind,  // a stuck poll given up on: it never calls back or polls again
};

constexpr std::int32_t T = OV_TRUE, F = OV_FALSE;
const char* const kThreadRule = "on a thread that did not load Orvale8.dll";
const char* const kEndedRule = "the thread that loaded Orvale8.dll has ended";
const char* const kCallbackRule = "inside a callback call only InitCallbackEx, InitDevice";
const char* const kStuck = "TmA4Drv.dll did not return from a poll";

struct Cell {
    State state;
    Call call;
    std::int32_t result;  // the last-error function: T when its text is at the fixed address
    const char* error;    // a part of the last-error text afterwards; nullptr: not asked
    bool dialog;          // the dialog showed
    After after;
};

// A cell's expectations. The dialog shows exactly where ShowProperties
// succeeds.
struct Expect {
    std::int32_t result;
    const char* error;
    After after;
};
constexpr Expect Ok(After after) { return {T, nullptr, after}; }
constexpr Expect Says(const char* error, After after) { return {T, error, after}; }
constexpr Expect No(const char* rule, After after) { return {F, rule, after}; }

// One row a state, its cells in the order of Call: InitCallbackEx,
// InitDevice, CloseDevice, ShowProperties, LastError, FreeLibrary.
struct Row {
    State state;
    Expect cells[6];
};

using S = State;
using A = After;
const Row kRows[] = {
    {S::Closed, {Ok(A::Closed), Ok(A::Open), Ok(A::Closed), Ok(A::Closed), Ok(A::Closed), Ok(A::Unloaded)}},
    {S::Open, {Ok(A::Open), Ok(A::Open), Ok(A::Closed), Ok(A::Open), Ok(A::Open), Ok(A::KeptOpen)}},
    {S::InCallback, {Ok(A::Open), Ok(A::Open), No(kCallbackRule, A::Open), No(kCallbackRule, A::Open),
                     Ok(A::Open), Ok(A::KeptOpen)}},
    {S::InCloseWait, {Ok(A::Closed), Ok(A::Open), Ok(A::Closed), Ok(A::Closed), Ok(A::Closed), Ok(A::Unloaded)}},
    // The device was open when the dialog came up.
    {S::DialogUp, {Ok(A::Open), Ok(A::Open), Ok(A::Closed), Ok(A::Open), Ok(A::Open), Ok(A::KeptOpen)}},
    // CloseDevice met a fault in TV_Disable.
    {S::AfterDriverFault, {Ok(A::Closed), Ok(A::Open), Ok(A::Closed), Ok(A::Closed),
                           Says("faulted in TV_Disable", A::Closed), Ok(A::Unloaded)}},
    // A poll wrote past the room given for the driver's record.
    {S::AfterPollFault, {Ok(A::Closed), Ok(A::Open), Ok(A::Closed), Ok(A::Closed),
                         Says("faulted in TV_GetEvent", A::Closed), Ok(A::Unloaded)}},
    // The device open, its reader in a poll that TV_Disable does not end.
    {S::DriverStuck, {Ok(A::Open), Ok(A::Open), No(kStuck, A::LeftBehind), No(kStuck, A::LeftBehind),
                      Ok(A::Open), Ok(A::KeptOpen)}},
    // The device open; the loading thread pumps meanwhile.
    {S::OtherThread, {Ok(A::Open), No(kThreadRule, A::Open), No(kThreadRule, A::Open), No(kThreadRule, A::Open),
                      Ok(A::Open), Ok(A::KeptOpen)}},
    {S::LoadingThreadEnded, {Ok(A::Closed), No(kEndedRule, A::Closed), No(kEndedRule, A::Closed),
                             No(kEndedRule, A::Closed), Ok(A::Closed), Ok(A::Unloaded)}},
};

std::vector<Cell> Cells() {
    std::vector<Cell> cells;
    for (const Row& row : kRows)
        for (int c = 0; c < 6; ++c) {
            const Expect& e = row.cells[c];
            const Call call = Call(c);
            cells.push_back({row.state, call, e.result, e.error, call == Call::ShowProperties && e.result == T, e.after});
        }
    return cells;
}

const char* Name(State s) {
    static const char* const names[] = {"Closed",      "Open",           "InCallback",  "InCloseWait",
                                        "DialogUp",    "AfterDriverFault", "AfterPollFault", "DriverStuck",
                                        "OtherThread", "LoadingThreadEnded"};
    return names[int(s)];
}

const char* Name(Call c) {
    static const char* const names[] = {"InitCallbackEx", "InitDevice", "CloseDevice",
                                        "ShowProperties", "LastError",  "FreeLibrary"};
    return names[int(c)];
}

void PrintTo(const Cell& cell, std::ostream* os) { *os << Name(cell.state) << " x " << Name(cell.call); }

std::string CellName(const ::testing::TestParamInfo<Cell>& info) {
    return std::string(Name(info.param.state)) + "_" + Name(info.param.call);
}

// Presses OK on every enabled dialog of this process while armed, except
// the one spared (a dialog the cell keeps up itself).
class DialogCloser {
public:
    DialogCloser() : thread_([this] { Run(); }) {}
    ~DialogCloser() {
        stop_ = true;
        thread_.join();
    }
    DialogCloser(const DialogCloser&) = delete;
    DialogCloser& operator=(const DialogCloser&) = delete;

    void Arm(bool on) { armed_ = on; }
    void Spare(HWND dialog) { spared_ = dialog; }
    int Closed() const { return closed_; }

private:
    static BOOL CALLBACK Each(HWND window, LPARAM param) {
        auto* self = reinterpret_cast<DialogCloser*>(param);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char cls[16] = "";
        GetClassNameA(window, cls, sizeof cls);
        if (process != GetCurrentProcessId() || std::strcmp(cls, "OvForm") != 0 || !IsWindowVisible(window) ||
            !IsWindowEnabled(window) || window == self->spared_ || self->pressed_.count(window))
            return TRUE;
        if (HWND button = FindWindowExA(window, nullptr, "Button", nullptr)) {
            PostMessageA(button, BM_CLICK, 0, 0);
            self->pressed_.insert(window);
            ++self->closed_;
        }
        return TRUE;
    }
    void Run() {
        while (!stop_) {
            if (armed_) EnumWindows(&Each, reinterpret_cast<LPARAM>(this));
            Sleep(20);
        }
    }

    std::atomic<bool> stop_{false}, armed_{false};
    std::atomic<HWND> spared_{nullptr};
    std::atomic<int> closed_{0};
    std::set<HWND> pressed_;  // the closer's thread only
    std::thread thread_;
};

struct Outcome {
    bool made = false;
    std::int32_t result = 0;
    std::string error;  // the last-error text right after, on the calling thread
    DWORD ms = 0;
};

DWORD WINAPI RunBody(void* body) {
    (*static_cast<const std::function<void()>*>(body))();
    return 0;
}

// Runs `body` on a thread of its own while this thread pumps.
void OnOtherThread(const std::function<void()>& body) {
    const HANDLE thread = CreateThread(nullptr, 0, &RunBody, const_cast<std::function<void()>*>(&body), 0, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitPumping(thread);
    CloseHandle(thread);
}

std::function<void()> g_onTimer;
void CALLBACK TimerThunk(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_onTimer) std::exchange(g_onTimer, nullptr)();
}

BOOL CALLBACK TakeDialog(HWND window, LPARAM found) {
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "OvForm") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The plug-in's dialog on this thread, if one shows.
HWND FindOwnDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &TakeDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

class ContractTest : public DeviceTest, public ::testing::WithParamInterface<Cell> {
protected:
    Outcome MakeCall(Call call);
    void SetUpStateAndCall(const Cell& cell, Outcome& out);
    void LoadOnEndedThread();
    void CheckAfter(const Cell& cell, const Outcome& out);
    void CheckLeftBehind(const Outcome& out);
    void CheckRelaying(const char* what);
    void CheckStoppedByFault(const char* fault);
    bool HasText(const std::string& text) const;

    const PluginFunctions* dev_ = nullptr;
    HMODULE module_ = nullptr;
    const char* fixedText_ = nullptr;
    Plugin orphan_;  // loaded by a thread that has ended
    DialogCloser closer_;
};

Outcome ContractTest::MakeCall(Call call) {
    Outcome out;
    const DWORD start = GetTickCount();
    switch (call) {
    case Call::InitCallbackEx:
        out.result = dev_->InitCallbackEx(kHostData, recorder::First);
        break;
    case Call::InitDevice:
        out.result = dev_->InitDevice();
        break;
    case Call::CloseDevice:
        out.result = dev_->CloseDevice();
        break;
    case Call::ShowProperties:
        closer_.Arm(true);
        out.result = dev_->ShowProperties(nullptr);
        closer_.Arm(false);
        break;
    case Call::LastError:
        out.result = dev_->GetLastError() == fixedText_ ? T : F;
        break;
    case Call::FreeLibrary:
        out.result = ::FreeLibrary(module_) ? T : F;
        break;
    }
    out.ms = GetTickCount() - start;
    if (call != Call::FreeLibrary) out.error = dev_->GetLastError();
    out.made = true;
    return out;
}

void ContractTest::LoadOnEndedThread() {
    UnloadPlugin();
    bool loaded = false;
    OnOtherThread([&] { loaded = orphan_.Load(); });
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(sim.Attach());
    sim.Reset();
    dev_ = &orphan_.Device();
    module_ = orphan_.Module();
    fixedText_ = dev_->GetLastError();
}

bool ContractTest::HasText(const std::string& text) const {
    for (const std::string& t : recorder::Texts())
        if (t == text) return true;
    return false;
}

void ContractTest::SetUpStateAndCall(const Cell& cell, Outcome& out) {
    dev_ = &Device();
    module_ = LoadedPlugin().Module();
    fixedText_ = dev_->GetLastError();
    const Call call = cell.call;
    const auto inCallback = [&](bool unblock) {
        recorder::SetAction([&, unblock](const RecordedCall& rc) {
            if (rc.Text != "call" || out.made) return;
            if (unblock) sim.BlockPolls(simdrv::bmOff);  // so that a new reader is not held
            out = MakeCall(call);
        });
        sim.Queue(30, "call");
    };
    switch (cell.state) {
    case State::Closed:
        ASSERT_EQ(T, dev_->InitCallbackEx(kHostData, recorder::First));
        out = MakeCall(call);
        break;
    case State::Open:
        OpenDevice();
        ASSERT_TRUE(PumpUntilPolls(1));
        out = MakeCall(call);
        break;
    case State::InCallback:
        OpenDevice();
        inCallback(false);
        ASSERT_TRUE(PumpUntil([&] { return out.made; }, kPatienceMs));
        break;
    case State::InCloseWait:
        OpenDevice();
        sim.BlockPolls(simdrv::bmUntilDisable);
        ASSERT_TRUE(PumpUntil([&] { return sim.BlockedPolls() == 1; }, kPatienceMs));
        inCallback(true);
        EXPECT_EQ(T, dev_->CloseDevice()) << "the CloseDevice whose wait delivered the callback";
        ASSERT_TRUE(out.made) << "no callback during CloseDevice's wait";
        break;
    case State::DialogUp: {
        OpenDevice();
        ASSERT_TRUE(PumpUntilPolls(1));
        g_onTimer = [&] {
            const HWND outer = FindOwnDialog();
            closer_.Spare(outer);
            out = MakeCall(call);
            if (outer) PostMessageA(FindWindowExA(outer, nullptr, "Button", nullptr), BM_CLICK, 0, 0);
        };
        SetTimer(nullptr, 0, 3 * kCycleMs, &TimerThunk);
        EXPECT_EQ(T, dev_->ShowProperties(nullptr)) << "the dialog the call was made under";
        ASSERT_TRUE(out.made) << "no timer ran while the dialog was up";
        break;
    }
    case State::AfterDriverFault:
        OpenDevice();
        ASSERT_TRUE(PumpUntilPolls(1));
        sim.FaultDisables(1);
        ASSERT_EQ(F, dev_->CloseDevice());
        ASSERT_NO_FATAL_FAILURE(CheckStoppedByFault("faulted in TV_Disable"));
        out = MakeCall(call);
        break;
    case State::AfterPollFault:
        sim.RecordSize(8192);
        sim.Queue(30, "past the room");
        OpenDevice();
        ASSERT_TRUE(PumpUntilCalls(1));
        sim.RecordSize(sizeof(TDriverEvent));
        ASSERT_NO_FATAL_FAILURE(CheckStoppedByFault("faulted in TV_GetEvent"));
        out = MakeCall(call);
        break;
    case State::DriverStuck:
        OpenDevice();
        sim.BlockPolls(simdrv::bmUntilRelease);
        ASSERT_TRUE(PumpUntil([&] { return sim.BlockedPolls() == 1; }, kPatienceMs));
        out = MakeCall(call);
        break;
    case State::OtherThread:
        OpenDevice();
        ASSERT_TRUE(PumpUntilPolls(1));
        OnOtherThread([&] { out = MakeCall(call); });
        break;
    case State::LoadingThreadEnded:
        ASSERT_NO_FATAL_FAILURE(LoadOnEndedThread());
        out = MakeCall(call);
        break;
    }
}

// A ring queued now reaches the host, through one reader.
void ContractTest::CheckRelaying(const char* what) {
    recorder::SetAction(nullptr);
    const std::size_t polls = sim.Calls(simdrv::fnGetEvent).size();
    sim.Queue(30, "after");
    EXPECT_TRUE(PumpUntil([&] { return HasText("after"); }, kPatienceMs)) << what << ": no ring relayed";
    std::set<DWORD> readers;
    const std::vector<simdrv::LogEntry> log = sim.Calls(simdrv::fnGetEvent);
    for (std::size_t i = polls; i < log.size(); ++i) readers.insert(log[i].ThreadId);
    EXPECT_EQ(1u, readers.size()) << what << ": polled by " << readers.size() << " threads";
}

// The poll given up on returns with a ring: nobody hears of it, and its
// thread ends without polling again. Until it has, InitDevice says why it
// cannot open; afterwards it opens with a new reader.
void ContractTest::CheckLeftBehind(const Outcome& out) {
    EXPECT_GE(out.ms, DWORD(OV_CLOSE_WAIT_MS - 100));
    EXPECT_LT(out.ms, DWORD(OV_CLOSE_WAIT_MS + 1500));
    const std::set<DWORD> stuck = sim.PollThreads();
    ASSERT_EQ(1u, stuck.size());
    if (sizeof(void*) == 8) {
        // The x64 plug-in ended the companion that ran the poll: nothing is
        // left behind, so it opens again at once.
        sim.BlockPolls(simdrv::bmOff);
        ASSERT_TRUE(PumpUntil([&] { return sim.BlockedPolls() == 0; }, kPatienceMs));
        EXPECT_EQ(T, dev_->InitDevice()) << dev_->GetLastError();
        CheckRelaying("opened at once");
        EXPECT_EQ(T, dev_->CloseDevice());
        return;
    }
    EXPECT_EQ(F, dev_->InitDevice()) << "a second poll beside the stuck one";
    EXPECT_NE(nullptr, std::strstr(dev_->GetLastError(), "not yet returned")) << dev_->GetLastError();
    sim.Queue(30, "late");
    const int polls = sim.Count(simdrv::fnGetEvent);
    sim.BlockPolls(simdrv::bmOff);
    EXPECT_TRUE(PumpUntil([&] { return ThreadEnded(*stuck.begin()); }, kPatienceMs)) << "the stuck reader lives on";
    PumpFor(2 * kCycleMs);
    EXPECT_EQ(polls, sim.Count(simdrv::fnGetEvent)) << "polled again after it was given up on";
    EXPECT_FALSE(HasText("late")) << "called back after it was given up on";
    EXPECT_EQ(0, sim.Pending()) << "the stuck poll never returned";
    EXPECT_EQ(T, dev_->InitDevice()) << dev_->GetLastError();
    CheckRelaying("opened again");
    EXPECT_EQ(T, dev_->CloseDevice());
}

// A fault stops the reader for good, and the last-error text names it.
void ContractTest::CheckStoppedByFault(const char* fault) {
    const int polls = sim.Count(simdrv::fnGetEvent);
    PumpFor(2 * kCycleMs);
    ASSERT_EQ(polls, sim.Count(simdrv::fnGetEvent)) << "the reader polls on after: " << fault;
    ASSERT_NE(nullptr, std::strstr(dev_->GetLastError(), fault)) << dev_->GetLastError();
}

void ContractTest::CheckAfter(const Cell& cell, const Outcome& out) {
    if (cell.state == State::DriverStuck && cell.after != After::LeftBehind) {
        // The stuck poll returns; the next one shows the reader goes on.
        const int polls = sim.Count(simdrv::fnGetEvent);
        sim.BlockPolls(simdrv::bmOff);
        ASSERT_TRUE(PumpUntilPolls(polls + 1)) << "the reader did not go on after its poll returned";
    }
    switch (cell.after) {
    case After::Open:
        CheckRelaying("open");
        break;
    case After::Closed: {
        const int polls = sim.Count(simdrv::fnGetEvent);
        PumpFor(3 * kCycleMs);
        EXPECT_EQ(polls, sim.Count(simdrv::fnGetEvent)) << "polled while closed";
        break;
    }
    case After::KeptOpen: {
        ASSERT_EQ(module_, GetModuleHandleA("Orvale8.dll")) << "unloaded under a running reader";
        CheckRelaying("kept loaded");
        // The fixture's reference back, as a host loading it again would.
        EXPECT_EQ(module_, LoadLibraryA((platform::ExecutableDirectory() + "Orvale8.dll").c_str()));
        break;
    }
    case After::Unloaded:
        EXPECT_TRUE(PumpUntil([] { return GetModuleHandleA("Orvale8.dll") == nullptr; }, kPatienceMs))
            << "still loaded";
        PumpFor(2 * kCycleMs);  // whatever it left in this thread's queue
        if (cell.state == State::LoadingThreadEnded) {
            orphan_.Forget();
            sim = SimDriver();
        } else {
            ForgetPlugin();
        }
        break;
    case After::LeftBehind:
        CheckLeftBehind(out);
        break;
    }
}

TEST_P(ContractTest, HoldsInThisState) {
    const Cell& cell = GetParam();
    Outcome out;
    const int dialogsBefore = closer_.Closed();
    ASSERT_NO_FATAL_FAILURE(SetUpStateAndCall(cell, out));
    ASSERT_TRUE(out.made);
    EXPECT_EQ(cell.result, out.result) << out.error;
    if (cell.error) {
        EXPECT_NE(std::string::npos, out.error.find(cell.error)) << out.error;
    }
    EXPECT_EQ(cell.dialog ? 1 : 0, closer_.Closed() - dialogsBefore) << "dialogs shown";
    CheckAfter(cell, out);
}

INSTANTIATE_TEST_SUITE_P(Cells, ContractTest, ::testing::ValuesIn(Cells()), CellName);

}  // namespace
}  // namespace ovtest
