// The benchmark's measuring machinery under Wine: the bare hop against the
// simulated driver, the dialog probe, child processes, the processor meters.
#include <gtest/gtest.h>

#include <windows.h>

#include "bench/perf/Clock_win32.h"
#include "bench/perf/CpuMeter_win32.h"
#include "bench/perf/Events.h"
#include "bench/perf/FloorDialog_win32.h"
#include "bench/perf/FloorHop_win32.h"
#include "bench/perf/PaintProbe_win32.h"
#include "bench/perf/Pump_win32.h"
#include "bench/perf/Samples.h"
#include "bench/perf/SimDriver_win32.h"
#include "bench/perf/Workspace_win32.h"

namespace perf {
namespace {

struct Driver {
    SimDriver Sim;
    DriverCalls Calls;
    bool Load() {
        const HMODULE module = LoadLibraryA((ProgramDirectory() + "TmA4Drv.dll").c_str());
        return Sim.Attach(module) && Calls.Find(module);
    }
};

TEST(FloorHop, DeliversEveryEventAndWaitsForEachToRun) {
    Driver d;
    ASSERT_TRUE(d.Load());
    d.Sim.Reset();
    for (int i = 0; i < 3; ++i) d.Sim.QueueEvent(kRingCode, EventText(i));
    d.Calls.Initialize();
    FloorHop hop(d.Calls, 3);
    ASSERT_TRUE(hop.Ready());
    hop.Start();
    EXPECT_TRUE(RunUntilQuit(10000));
    hop.Stop();
    const Pairing p = PairArrivals(d.Sim.Polls(), hop.Arrivals(), TicksPerSecond());
    EXPECT_EQ(p.LatenciesUs.size(), 3u);
    EXPECT_EQ(p.Unanswered + p.Inconsistent, 0);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_GE(hop.Returns()[k], hop.Arrivals()[k]) << k;
}

TEST(FloorHop, StopEndsAWorkerBlockedOnAPostNoOneHasRun) {
    Driver d;
    ASSERT_TRUE(d.Load());
    d.Sim.Reset();
    FloorHop hop(d.Calls, 0);
    ASSERT_TRUE(hop.Ready());
    hop.Start();
    Sleep(450);  // not pumping: the worker's second post waits
    const std::int64_t start = Now();
    hop.Stop();
    EXPECT_LT(MicrosBetween(start, Now()), 2e6);
    EXPECT_EQ(d.Sim.Polls().size(), 1u);  // it polled once, posted, and ended
}

bool HaveDisplay() {
    HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (probe) DestroyWindow(probe);
    return probe != nullptr;
}

TEST(PaintProbe, TimesTheDialogsFirstPaintAndClosesIt) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display: run under xvfb-run";
    FirstPaintProbe probe;
    ASSERT_TRUE(probe.Installed());
    for (int call = 0; call < 2; ++call) {
        probe.Arm();
        // A top-level window without a title bar, as a tool tip, is not the dialog.
        HWND tip = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
        const std::int64_t called = Now();
        EXPECT_EQ(ShowFloorDialog(), IDCANCEL) << call;  // closed by the probe's WM_CLOSE
        EXPECT_GT(probe.PaintedAt(), called) << call;
        if (tip) DestroyWindow(tip);
    }
}

TEST(Workspace, ChildrenReportTheirSamplesAndFailures) {
    ChildReport report;
    std::string path;
    {
        PrivateDir dir("test");
        ASSERT_TRUE(dir.CopyIn(ProgramDirectory(), {"ovperf.exe", "perf_empty.dll"}));
        path = dir.Path();
        const ChildRun ok = RunChild(dir.Path(), "ovperf.exe", "load perf_empty.dll empty_us", 60000);
        EXPECT_TRUE(ok.Started);
        EXPECT_FALSE(ok.TimedOut);
        EXPECT_EQ(ok.ExitCode, 0u);
        ParseReport(ok.Output, report);
        const ChildRun missing = RunChild(dir.Path(), "ovperf.exe", "load none.dll none_us", 60000);
        EXPECT_EQ(missing.ExitCode, 1u);
        ParseReport(missing.Output, report);
    }
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);  // removed with its files
    ASSERT_EQ(report.Of("empty_us").size(), 1u);
    EXPECT_GT(report.Of("empty_us")[0], 0);
    EXPECT_TRUE(report.Of("none_us").empty());
    ASSERT_EQ(report.Errors.size(), 1u);
    EXPECT_NE(report.Errors[0].find("none.dll"), std::string::npos);
}

TEST(Workspace, AChildThatOverrunsIsKilled) {
    PrivateDir dir("slow");
    ASSERT_TRUE(dir.CopyIn(ProgramDirectory(), {"ovperf.exe", "TmA4Drv.dll"}));
    const std::int64_t start = Now();
    const ChildRun run = RunChild(dir.Path(), "ovperf.exe", "idle-floor 600", 1500);  // ten minutes
    EXPECT_TRUE(run.TimedOut);
    EXPECT_LT(MicrosBetween(start, Now()), 30e6);
}

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TEST(CpuMeter, CountsThisProcessFinerThanSchedulerTicks) {
    const double start = ReadCpu().ProcessUs;
    double spent = 0;
    const std::int64_t deadline = Now() + 5 * TicksPerSecond();
    while ((spent = ReadCpu().ProcessUs - start) < 2000 && Now() < deadline) {
    }
    // A meter that moved in 10 ms ticks would jump from 0 straight past 10 ms.
    EXPECT_GE(spent, 2000);
    EXPECT_LT(spent, 9000);
}

TEST(CpuMeter, CountsTheThreadsBeingSwitchedOut) {
    if (!UnderWine()) GTEST_SKIP() << "not under Wine";
    const double before = ReadCpu().Switches;
    ASSERT_GE(before, 0);
    for (int i = 0; i < 20; ++i) Sleep(1);  // each sleep gives the processor up
    EXPECT_GE(ReadCpu().Switches - before, 20);
}

TEST(CpuMeter, ReadsTheWineServersTime) {
    if (!UnderWine()) GTEST_SKIP() << "not under Wine";
    const double before = ReadCpu().ServerUs;
    ASSERT_GE(before, 0);
    UniqueHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    for (int i = 0; i < 2000; ++i) SetEvent(event.Get());  // each a request the server carries out
    EXPECT_GT(ReadCpu().ServerUs, before);
}

}  // namespace
}  // namespace perf
