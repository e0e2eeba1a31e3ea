// The benchmark's arithmetic: report lines, figures and verdicts, arrivals
// matched with the driver's log, options, and samples turned into figures.
#include <gtest/gtest.h>

#include <sstream>

#include "bench/perf/Figures.h"
#include "bench/perf/Options.h"
#include "bench/perf/Timeline.h"

namespace perf {
namespace {

ChildReport Report(const std::string& lines) {
    ChildReport r;
    ParseReport(lines, r);
    return r;
}

const Figure& Named(const std::vector<Figure>& figures, const std::string& name) {
    for (const Figure& f : figures)
        if (f.Name == name) return f;
    static const Figure none;
    ADD_FAILURE() << "no figure " << name;
    return none;
}

TEST(Report, ReadsSamplesAmongOtherOutputAndAnUnreadableOneIsAnError) {
    const ChildReport r = Report("fixme:ntdll:x\r\nsample hop_us 61.25\r\nsample hop_us 70\nerror it broke\n" +
                                 SampleLine("x", 1234.56789012345678) + "samples are not this\n");
    EXPECT_EQ(r.Of("hop_us"), (std::vector<double>{61.25, 70}));
    EXPECT_EQ(r.Of("x"), std::vector<double>{1234.56789012345678});  // read back exactly
    EXPECT_EQ(r.Errors, std::vector<std::string>{"it broke"});
    const ChildReport bad = Report("sample hop_us\nsample hop_us 12abc\nsample  5\nsample hop_us nan\n");
    EXPECT_TRUE(bad.Samples.empty());
    EXPECT_EQ(bad.Errors.size(), 4u);
}

TEST(Report, FigureLinesAndVerdictsCarryOnlyWhatTheFigureHas) {
    EXPECT_EQ(FigureLine(Figure{"ring_median_us", "", "us", 66}.WithFloor(55).WithGoal(1.2)),
              "figure ring_median_us value=66 floor=55 ratio=1.200 goal=1.200\n");
    EXPECT_EQ(FigureLine(Figure{"close_max_ms", "", "ms", 212.5}), "figure close_max_ms value=212.5\n");
    // No ratio against a floor of zero, and then no goal to judge by either.
    EXPECT_EQ(FigureLine(Figure{"x", "", "", 3}.WithFloor(0).WithGoal(1.1)), "figure x value=3 floor=0\n");
    const auto verdict = [](double value, double goal) { return Figure{"a", "", "", value}.WithFloor(10).WithGoal(goal).Verdict(); };
    EXPECT_EQ(verdict(12.004, 1.2), "meets");  // prints 1.200
    EXPECT_EQ(verdict(12.01, 1.2), "MISSES");
    EXPECT_EQ((Figure{"a", "", "", 50}.WithFloor(10).Verdict()), "");
    EXPECT_EQ(FormatNumber(123456.78), "123456.8");
    EXPECT_EQ(FormatNumber(0.0004), "0.000");  // never exponents
}

TEST(Report, MediansInterpolateAndTheTableRightAlignsItsNumbers) {
    EXPECT_DOUBLE_EQ(Median({4, 1, 3, 2}), 2.5);
    EXPECT_NEAR(Quantile({5, 1, 9}, 0.99), 8.92, 1e-9);
    EXPECT_DOUBLE_EQ(Median({}), 0);
    std::istringstream table(FormatTable({Figure{"a", "short", "us", 5}.WithFloor(4).WithGoal(1.2),
                                          Figure{"b", "a much longer label", "ms", 123.5}}));
    std::string head, first, second;
    std::getline(table, head), std::getline(table, first), std::getline(table, second);
    EXPECT_NE(first.find("1.25  1.200  MISSES"), std::string::npos) << first;
    EXPECT_EQ(first.find("5 us") + 4, second.find("123.5 ms") + 8);
}

TEST(Timeline, ArrivalsPairWithThePollsThatHandedOutEventsAndMismatchesAreCounted) {
    // 10 MHz: 10 ticks a microsecond. Polls without an event are skipped.
    const std::vector<PollRecord> polls = {{1000, 0}, {2000, 1}, {3000, 0}, {4000, 1}, {5000, 1}};
    EXPECT_EQ(PairArrivals(polls, {2500, 4100, 5020}, 10000000).LatenciesUs, (std::vector<double>{50, 10, 2}));
    // Event 1 never came; event 2 "came" before its poll; event 3 was never polled.
    const Pairing p = PairArrivals({{2000, 1}, {4000, 1}, {6000, 1}}, {2100, -1, 5000, 7000}, 10000000);
    EXPECT_EQ(p.LatenciesUs, std::vector<double>{10});
    EXPECT_EQ(p.Unanswered, 1);
    EXPECT_EQ(p.Inconsistent, 2);
}

TEST(Timeline, CloseSplitsIntoThePauseAndWhatFollowsAtDelaysSpreadOverTwoCycles) {
    const CloseSplit waited = SplitClose(1000000, 1800000, 1810000, 10000000);
    EXPECT_TRUE(waited.PauseUs == 80000 && waited.TailUs == 1000) << waited.PauseUs << " " << waited.TailUs;
    EXPECT_DOUBLE_EQ(SplitClose(1000000, 900000, 1005000, 10000000).PauseUs, 0);  // it had polled already
    int bands[4] = {0, 0, 0, 0};
    for (int trial = 0; trial < 40; ++trial) {
        const int delay = CloseDelayMs(trial);
        ASSERT_TRUE(delay >= 100 && delay < 500) << delay;
        ++bands[(delay - 100) / 100];
    }
    for (int band : bands) EXPECT_GE(band, 8);
}

TEST(Options, QuickAndOverridesApplyInOrderAndBadOnesAreRefused) {
    BenchOptions o;
    std::string error;
    ASSERT_TRUE(ParseOptions({"--quick", "--events=100", "--only=ring,idle"}, o, error));
    EXPECT_EQ(o.events, 100);
    EXPECT_EQ(o.idleSeconds, 10);
    EXPECT_TRUE(o.Wants("ring") && !o.Wants("dialog") && BenchOptions{}.Wants("dialog"));
    for (const char* bad : {"--events=0", "--events=-5", "--events=1x", "--events=", "--idle-seconds=99999",
                            "--only=ring,speed", "--only=ring idle", "--only=", "--frobnicate", "events=5"}) {
        EXPECT_FALSE(ParseOptions({bad}, o, error)) << bad;
    }
    EXPECT_EQ(SplitIntoRounds(61, 10), (std::vector<int>{9, 9, 9, 9, 9, 8, 8}));
    EXPECT_TRUE(SplitIntoRounds(0, 10).empty());
}

TEST(Figures, CloseIsJudgedAgainstThePauseItCameIntoPlusOneHop) {
    // One close came 150 ms before the reader's next poll, one just after a
    // poll; the marshalled call costs 200 us.
    const ChildReport product = Report(
        "sample close_us 150500\nsample close_pause_us 150000\nsample close_tail_us 500\n"
        "sample close_us 700\nsample close_pause_us 0\nsample close_tail_us 700\n");
    const std::vector<Figure> f =
        CloseFigures(product, Report("sample close_tail_us 400\nsample close_tail_us 600\n"), 200);
    EXPECT_DOUBLE_EQ(Named(f, "close_max_ms").Value, 150.5);
    EXPECT_DOUBLE_EQ(Named(f, "close_max_ms").Floor, 150.2);
    EXPECT_DOUBLE_EQ(Named(f, "close_median_ms").Floor, 75.2);
    EXPECT_DOUBLE_EQ(Named(f, "close_tail_median_us").Floor, 500);
}

TEST(Figures, IdleRatesAreMediansOfWindowsSkippingUnreadableOnesButProcessTimesArePooled) {
    // Three windows; the server's time and the switches of the second could
    // not be read; GetProcessTimes moved one 10 ms step in the second.
    const ChildReport product = Report(
        "sample idle_wall_us 10000000\nsample idle_cpu_us 10000\nsample idle_server_us 20000\n"
        "sample idle_ptimes_us 0\nsample idle_switches 750\nsample idle_polls 50\n"
        "sample idle_wall_us 10000000\nsample idle_cpu_us 90000\nsample idle_server_us -1\n"
        "sample idle_ptimes_us 10000\nsample idle_switches -1\nsample idle_polls 50\n"
        "sample idle_wall_us 20000000\nsample idle_cpu_us 24000\nsample idle_server_us 50000\n"
        "sample idle_ptimes_us 0\nsample idle_switches 520\nsample idle_polls 40\n");
    const std::vector<Figure> f = IdleFigures(product, product);
    EXPECT_DOUBLE_EQ(Named(f, "idle_cpu_ms_per_min").Value, 72);  // the second window's burst does not carry it
    EXPECT_EQ(Named(f, "idle_cpu_ms_per_min").Verdict(), "meets");
    EXPECT_DOUBLE_EQ(Named(f, "idle_server_ms_per_min").Value, 135);
    EXPECT_NEAR(Named(f, "idle_ptimes_ms_per_min").Value, 15, 1e-9);  // not the median window's 0
    EXPECT_DOUBLE_EQ(Named(f, "idle_switches_per_poll").Value, 14);   // 15 and 13
}

TEST(Figures, StartUpSizeAndMemoryStandAgainstTheEmptyDll) {
    const ChildReport loads = Report(
        "sample load_plain_us 22000\nsample load_lang_us 23000\nsample load_floor_us 2000\n"
        "sample load_window_us 18000\nsample load_plain_bytes 8192\nsample load_floor_bytes 4096\n"
        "sample load_plain_open_bytes 1069056\n");
    const std::vector<Figure> f = StartupFigures(loads, DllSizes{400000, 900000, 10000, 20000});
    EXPECT_DOUBLE_EQ(Named(f, "startup_us").Ratio(), 11);
    EXPECT_DOUBLE_EQ(Named(f, "dll_bytes").Ratio(), 40);
    EXPECT_DOUBLE_EQ(Named(f, "dll_file_bytes").Ratio(), 45);
    EXPECT_DOUBLE_EQ(Named(f, "memory_load_bytes").Ratio(), 2);
    EXPECT_DOUBLE_EQ(Named(f, "memory_open_bytes").Value, 1069056);
    EXPECT_DOUBLE_EQ(Named(f, "memory_open_bytes").Floor, 4096);
}

// The 64-bit plug-in's idle time counts its companion's, window by window,
// and its start-up is the load plus the first InitDevice (which starts the
// companion), each against the 32-bit plug-in's of the same run.
TEST(Figures, X64FiguresCountTheCompanionAndTheFirstInitDevice) {
    const ChildReport x86 = Report(
        "sample hop_us 200\nsample hop_us 300\nsample hop_us 250\nsample idle_wall_us 10000000\n"
        "sample idle_host_us 20000\nsample idle_companion_us 0\nsample start_us 40000\nsample start_init_us 1000\n");
    const ChildReport x64 = Report(
        "sample hop_us 280\nsample hop_us 260\nsample hop_us 900\nsample idle_wall_us 10000000\n"
        "sample idle_host_us 20000\nsample idle_companion_us 10000\nsample start_us 41000\nsample start_init_us 30000\n");
    const std::vector<Figure> f = X64Figures(x86, x64);
    EXPECT_DOUBLE_EQ(Named(f, "x64_ring_median_us").Ratio(), 280.0 / 250);
    EXPECT_DOUBLE_EQ(Named(f, "x64_idle_ms_per_min").Value, 180);  // 20 + 10 ms in 10 s
    EXPECT_EQ(Named(f, "x64_idle_ms_per_min").Verdict(), "meets");  // 1.5 times, the most allowed
    EXPECT_DOUBLE_EQ(Named(f, "x64_startup_us").Value, 71000);
    EXPECT_DOUBLE_EQ(Named(f, "x64_startup_us").Floor, 41000);
}

}  // namespace
}  // namespace perf
