// The benchmark's measuring machinery under Wine: the floors' measuring
// processes run as the orchestrator runs them, and the processor meters.
#include <gtest/gtest.h>

#include <windows.h>

#include "bench/perf/Figures.h"
#include "bench/perf/Measure_win32.h"
#include "platform/runtime/Handles_win32.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/SimDriver_win32.h"

namespace perf {
namespace {

// What `ovperf.exe arguments` reported from a host directory of its own.
ChildReport Floor(const std::string& arguments, int timeoutMs = 60000) {
    ovtest::ScratchDir dir;
    for (const char* file : {"ovperf.exe", "TmA4Drv.dll", "perf_empty.dll", "Orvale8.dll"})
        EXPECT_TRUE(dir.CopyFromBin(file)) << file;
    const ovtest::ProgramRun run = ovtest::RunProgram("\"" + dir.File("ovperf.exe") + "\" " + arguments, dir.Path(),
                                                      timeoutMs);
    EXPECT_TRUE(run.Started && !run.TimedOut) << arguments;
    ChildReport report;
    ParseReport(run.Output, report);
    if (run.ExitCode != 0) report.Errors.push_back("exit code " + std::to_string(run.ExitCode));
    return report;
}

TEST(FloorModes, TheBareHopDeliversEveryEventAndWaitsForEachToRun) {
    const ChildReport r = Floor("ring-floor 4");
    EXPECT_TRUE(r.Errors.empty()) << r.Errors[0];
    ASSERT_EQ(r.Of("hop_us").size(), 3u);  // the first, cold, is left out
    ASSERT_EQ(r.Of("roundtrip_us").size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_GE(r.Of("roundtrip_us")[k], r.Of("hop_us")[k]) << k;
}

TEST(FloorModes, TheBareWorkerStopsWithinOneCycleAtAnyMoment) {
    const ChildReport r = Floor("close-floor 3", 20000);
    EXPECT_TRUE(r.Errors.empty()) << r.Errors[0];
    ASSERT_EQ(r.Of("close_us").size(), 3u);
    for (double us : r.Of("close_us")) EXPECT_LT(us, 250000);  // a 200 ms pause and one hop
}

TEST(FloorModes, LoadingTimesTheLoadAndWeighsWhatTheDllAndItsOpenDeviceAdd) {
    const ChildReport empty = Floor("load perf_empty.dll e");
    ASSERT_EQ(empty.Of("e_us").size(), 1u);
    EXPECT_GT(empty.Of("e_us")[0], 0);
    EXPECT_TRUE(empty.Of("e_open_bytes").empty());  // it has no InitDevice
    const ChildReport plugin = Floor("load Orvale8.dll p");
    EXPECT_TRUE(plugin.Errors.empty()) << plugin.Errors[0];
    ASSERT_EQ(plugin.Of("p_open_bytes").size(), 1u);
    EXPECT_GT(plugin.Of("p_open_bytes")[0], plugin.Of("p_bytes")[0]);  // the reader's stack at least
    EXPECT_FALSE(Floor("load none.dll n").Errors.empty());
}

TEST(FloorModes, TheDialogProbeTimesEachDialogsFirstPaintAndClosesIt) {
    const platform::UniqueWindow probe(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0));
    if (!probe) GTEST_SKIP() << "no display: run under xvfb-run";
    const ChildReport r = Floor("dialog-floor 2");
    EXPECT_TRUE(r.Errors.empty()) << r.Errors[0];
    EXPECT_EQ(r.Of("dialog_cold_us").size(), 1u);
    EXPECT_EQ(r.Of("dialog_warm_us").size(), 2u);
}

TEST(CpuMeter, CountsTheProcessFinerThanSchedulerTicksItsSwitchesAndTheWineServersTime) {  // under Wine only
    const CpuReading before = ReadCpu();
    ASSERT_TRUE(before.Switches >= 0 && before.ServerUs >= 0);
    double spent = 0;
    const std::int64_t deadline = ovtest::PerformanceNow() + 5 * ovtest::PerformanceFrequency();
    while ((spent = ReadCpu().ProcessUs - before.ProcessUs) < 2000 && ovtest::PerformanceNow() < deadline) {
    }
    EXPECT_TRUE(spent >= 2000 && spent < 9000) << spent;  // in 10 ms ticks it would jump from 0 past 10 ms
    for (int i = 0; i < 20; ++i) Sleep(1);                 // each sleep gives the processor up
    const platform::UniqueHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    for (int i = 0; i < 2000; ++i) SetEvent(event.Get());  // each a request the server carries out
    const CpuReading after = ReadCpu();
    EXPECT_GE(after.Switches - before.Switches, 20);
    EXPECT_GT(after.ServerUs, before.ServerUs);
}

}  // namespace
}  // namespace perf
