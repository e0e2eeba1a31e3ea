// The benchmark's arithmetic and bookkeeping: statistics, the children's
// report lines, figure lines, matching arrivals with the driver's log,
// options, the size of a PE file without debug sections, event texts.
#include <gtest/gtest.h>

#include <cstring>

#include "bench/perf/Events.h"
#include "bench/perf/Figures.h"
#include "bench/perf/Options.h"
#include "bench/perf/PeSize.h"
#include "bench/perf/Report.h"
#include "bench/perf/Samples.h"
#include "bench/perf/Stats.h"
#include "bench/perf/Timeline.h"

namespace perf {
namespace {

TEST(Stats, QuantilesInterpolateBetweenRanksOfUnsortedValues) {
    EXPECT_DOUBLE_EQ(Quantile({4, 1, 3, 2}, 0.5), 2.5);
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) hundred.push_back(i);
    EXPECT_NEAR(Quantile(hundred, 0.99), 99.01, 1e-9);
    EXPECT_DOUBLE_EQ(Quantile(hundred, 0), 1);
    EXPECT_DOUBLE_EQ(Quantile(hundred, 1), 100);
    const Summary s = Summarize({5, 1, 9});
    EXPECT_EQ(s.Count, 3u);
    EXPECT_DOUBLE_EQ(s.Median, 5);
    EXPECT_DOUBLE_EQ(s.Min, 1);
    EXPECT_DOUBLE_EQ(s.Max, 9);
    EXPECT_DOUBLE_EQ(s.Mean, 5);
    EXPECT_NEAR(s.P99, 8.92, 1e-9);
}

TEST(Stats, EmptyAndSingleSets) {
    EXPECT_EQ(Summarize({}).Count, 0u);
    EXPECT_DOUBLE_EQ(Summarize({}).Median, 0);
    EXPECT_DOUBLE_EQ(Quantile({}, 0.5), 0);
    const Summary one = Summarize({7.5});
    EXPECT_DOUBLE_EQ(one.Median, 7.5);
    EXPECT_DOUBLE_EQ(one.P99, 7.5);
}

TEST(Samples, ReadsSamplesNotesAndErrorsAmongOtherOutput) {
    ChildReport r;
    ParseReport("fixme:ntdll:something\r\nsample hop_us 61.25\r\nnote hello there\nsample hop_us 70\n"
                "error it broke\nsample close_us 3\nsamples are not this\n",
                r);
    EXPECT_EQ(r.Of("hop_us"), (std::vector<double>{61.25, 70}));
    EXPECT_EQ(r.Of("close_us"), std::vector<double>{3});
    EXPECT_TRUE(r.Of("missing").empty());
    EXPECT_EQ(r.Notes, std::vector<std::string>{"hello there"});
    EXPECT_EQ(r.Errors, std::vector<std::string>{"it broke"});
}

TEST(Samples, AnUnreadableSampleIsAnErrorNotASilentGap) {
    ChildReport r;
    ParseReport("sample hop_us\nsample hop_us 12abc\nsample  5\nsample hop_us nan\n", r);
    EXPECT_TRUE(r.Samples.empty());
    EXPECT_EQ(r.Errors.size(), 4u);
}

TEST(Samples, LinesReadBackExactly) {
    ChildReport r;
    const double value = 1234.56789012345678;
    ParseReport(SampleLine("x", value) + SampleLine("x", -0.001), r);
    EXPECT_EQ(r.Of("x"), (std::vector<double>{value, -0.001}));
}

TEST(Report, FigureLinesCarryOnlyWhatTheFigureHas) {
    EXPECT_EQ(FigureLine(MakeFigure("ring_median_us", "", "us", 66).WithFloor(55).WithGoal(1.2)),
              "figure ring_median_us value=66 floor=55 ratio=1.200 goal=1.200\n");
    EXPECT_EQ(FigureLine(MakeFigure("close_max_ms", "", "ms", 212.5)), "figure close_max_ms value=212.5\n");
    // No ratio against a floor of zero, and then no goal to judge by either.
    EXPECT_EQ(FigureLine(MakeFigure("x", "", "", 3).WithFloor(0).WithGoal(1.1)), "figure x value=3 floor=0\n");
}

TEST(Report, VerdictsAtAndAcrossTheGoal) {
    EXPECT_EQ(MakeFigure("a", "", "", 12).WithFloor(10).WithGoal(1.2).Verdict(), "meets");
    EXPECT_EQ(MakeFigure("a", "", "", 12.004).WithFloor(10).WithGoal(1.2).Verdict(), "meets");  // prints 1.200
    EXPECT_EQ(MakeFigure("a", "", "", 12.01).WithFloor(10).WithGoal(1.2).Verdict(), "MISSES");
    EXPECT_EQ(MakeFigure("a", "", "", 50).WithFloor(10).Verdict(), "");
    EXPECT_EQ(MakeFigure("a", "", "", 50).WithGoal(1.2).Verdict(), "");
}

TEST(Report, NumbersNeverUseExponents) {
    EXPECT_EQ(FormatNumber(4278264), "4278264");
    EXPECT_EQ(FormatNumber(123456.78), "123456.8");
    EXPECT_EQ(FormatNumber(61.234), "61.23");
    EXPECT_EQ(FormatNumber(0.0004), "0.000");
    EXPECT_EQ(FormatNumber(-2.5), "-2.500");
}

TEST(Report, TableAlignsItsColumns) {
    const std::string table = FormatTable({MakeFigure("a", "short", "us", 5).WithFloor(4).WithGoal(1.2),
                                           MakeFigure("b", "a much longer label", "ms", 123.5)});
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = table.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(table.substr(at, end - at));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find("1.25"), std::string::npos);
    EXPECT_NE(lines[1].find("MISSES"), std::string::npos);
    // Values are right-aligned: their last characters share a column.
    const std::size_t first = lines[1].find("5 us") + 4, second = lines[2].find("123.5 ms") + 8;
    EXPECT_EQ(first, second);
}

TEST(Timeline, ArrivalsPairWithThePollsThatHandedOutEvents) {
    // 10 MHz: 10 ticks a microsecond. Polls without an event are skipped.
    const std::vector<PollRecord> polls = {{1000, 0}, {2000, 1}, {3000, 0}, {4000, 1}, {5000, 1}};
    const Pairing p = PairArrivals(polls, {2500, 4100, 5020}, 10000000);
    EXPECT_EQ(p.LatenciesUs, (std::vector<double>{50, 10, 2}));
    EXPECT_EQ(p.Unanswered, 0);
    EXPECT_EQ(p.Inconsistent, 0);
}

TEST(Timeline, MissingAndImpossibleArrivalsAreCounted) {
    const std::vector<PollRecord> polls = {{2000, 1}, {4000, 1}, {6000, 1}};
    // Event 1 never came; event 2 "came" before its poll; event 3 was never polled.
    const Pairing p = PairArrivals(polls, {2100, -1, 5000, 7000}, 10000000);
    EXPECT_EQ(p.LatenciesUs, std::vector<double>{10});
    EXPECT_EQ(p.Unanswered, 1);
    EXPECT_EQ(p.Inconsistent, 2);
}

TEST(Timeline, CloseSplitsIntoThePauseAndWhatFollows) {
    const CloseSplit waited = SplitClose(1000000, 1800000, 1810000, 10000000);
    EXPECT_DOUBLE_EQ(waited.PauseUs, 80000);
    EXPECT_DOUBLE_EQ(waited.TailUs, 1000);
    // The reader had polled before the call: no pause to sit out.
    const CloseSplit none = SplitClose(1000000, 900000, 1005000, 10000000);
    EXPECT_DOUBLE_EQ(none.PauseUs, 0);
    EXPECT_DOUBLE_EQ(none.TailUs, 500);
}

TEST(Timeline, CloseDelaysSpreadOverTwoPollCycles) {
    int bands[4] = {0, 0, 0, 0};
    for (int trial = 0; trial < 40; ++trial) {
        const int delay = CloseDelayMs(trial);
        ASSERT_GE(delay, 100);
        ASSERT_LT(delay, 500);
        ++bands[(delay - 100) / 100];
    }
    for (int band : bands) EXPECT_GE(band, 8);
}

TEST(Options, DefaultsQuickAndOverridesInOrder) {
    BenchOptions o;
    std::string error;
    ASSERT_TRUE(ParseOptions({}, o, error));
    EXPECT_EQ(o.Events, 300);
    EXPECT_EQ(o.IdleSeconds, 60);
    ASSERT_TRUE(ParseOptions({"--quick", "--events=100", "--only=ring,idle"}, o, error));
    EXPECT_EQ(o.Events, 100);
    EXPECT_EQ(o.IdleSeconds, 10);
    EXPECT_TRUE(Wants(o, "ring"));
    EXPECT_FALSE(Wants(o, "dialog"));
    EXPECT_TRUE(Wants(BenchOptions{}, "dialog"));
}

TEST(Options, RejectsWhatItCannotUse) {
    for (const char* bad : {"--events=0", "--events=-5", "--events=1x", "--events=", "--idle-seconds=99999",
                            "--only=ring,speed", "--only=", "--frobnicate", "events=5"}) {
        BenchOptions o;
        std::string error;
        EXPECT_FALSE(ParseOptions({bad}, o, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(Options, RoundsAddUpAndStayWithinTheirSize) {
    EXPECT_EQ(SplitIntoRounds(300, 50), std::vector<int>(6, 50));
    EXPECT_EQ(SplitIntoRounds(61, 10), (std::vector<int>{9, 9, 9, 9, 9, 8, 8}));
    EXPECT_EQ(SplitIntoRounds(7, 10), std::vector<int>{7});
    EXPECT_TRUE(SplitIntoRounds(0, 10).empty());
}

// A PE file of `headers` bytes of headers and the given sections, with a COFF
// string table holding the long names.
std::string MakePe(std::uint32_t headers, const std::vector<std::pair<std::string, std::uint32_t>>& sections) {
    auto put = [](std::string& s, std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    const std::size_t pe = 0x80, coff = pe + 4, optional = 0xE0, table = coff + 20 + optional;
    std::string image(table + 40 * sections.size(), '\0');
    image[0] = 'M', image[1] = 'Z';
    put(image, 0x3C, pe, 4);
    image.replace(pe, 4, std::string("PE\0\0", 4));
    put(image, coff + 2, std::uint32_t(sections.size()), 2);
    put(image, coff + 16, optional, 2);
    put(image, coff + 20 + 60, headers, 4);
    std::string strings(4, '\0');
    for (std::size_t i = 0; i < sections.size(); ++i) {
        std::string name = sections[i].first;
        if (name.size() > 8) {
            const std::size_t offset = strings.size();
            strings += name + '\0';
            name = "/" + std::to_string(offset);
        }
        image.replace(table + 40 * i, name.size(), name);
        put(image, table + 40 * i + 16, sections[i].second, 4);
    }
    put(image, coff + 8, std::uint32_t(image.size()), 4);  // no symbols: the strings follow at once
    return image + strings;
}

TEST(PeSize, LeavesOutDebugSectionsFoundUnderShortOrLongNames) {
    const std::string image = MakePe(0x400, {{".text", 0x200},
                                             {".debug_info", 0x1000},
                                             {".rdata_runtime_pseudo_reloc", 0x300},
                                             {".debug", 0x80},
                                             {".reloc", 0x40}});
    EXPECT_EQ(SizeWithoutDebugInfo(image), std::size_t(0x400 + 0x200 + 0x300 + 0x40));
}

TEST(PeSize, ZeroForWhatIsNotAPeFile) {
    EXPECT_EQ(SizeWithoutDebugInfo(""), 0u);
    EXPECT_EQ(SizeWithoutDebugInfo(std::string(512, 'M')), 0u);
    const std::string image = MakePe(0x400, {{".text", 0x200}, {".data", 0x200}});
    EXPECT_EQ(SizeWithoutDebugInfo(image.substr(0, image.size() - 60)), 0u);  // section table cut short
}

TEST(Events, TextsAndTheirNumbers) {
    EXPECT_EQ(EventText(42), "PERF00042");
    const std::string text = EventText(12345);
    EXPECT_EQ(EventIndex(text.c_str(), text.size() + 1), 12345);
    // The driver's field need not end in a NUL when the text fills it.
    EXPECT_EQ(EventIndex(text.data(), 9), 12345);
    char field[46];
    std::memset(field, 0, sizeof field);
    std::memcpy(field, "PERF00007", 9);
    EXPECT_EQ(EventIndex(field, sizeof field), 7);
    for (const char* other : {"PERF0007", "PERF000071", "PERF0a007", "perf00007", "RING00007", ""})
        EXPECT_EQ(EventIndex(other, std::strlen(other) + 1), -1) << other;
    EXPECT_EQ(EventIndex(nullptr, 46), -1);
}

ChildReport Report(const std::string& lines) {
    ChildReport r;
    ParseReport(lines, r);
    return r;
}

const Figure& Named(const std::vector<Figure>& figures, const std::string& name) {
    for (const Figure& f : figures) {
        if (f.Name == name) return f;
    }
    static const Figure none;
    ADD_FAILURE() << "no figure " << name;
    return none;
}

TEST(Figures, CloseIsJudgedAgainstThePauseItCameIntoPlusOneHop) {
    // Two closes: one came 150 ms before the reader's next poll, one just
    // after a poll; the marshalled call costs 200 us.
    const ChildReport product = Report(
        "sample close_us 150500\nsample close_pause_us 150000\nsample close_tail_us 500\n"
        "sample close_us 700\nsample close_pause_us 0\nsample close_tail_us 700\n");
    const ChildReport floor = Report("sample close_tail_us 400\nsample close_tail_us 600\n");
    const std::vector<Figure> f = CloseFigures(product, floor, 200);
    EXPECT_DOUBLE_EQ(Named(f, "close_max_ms").Value, 150.5);
    EXPECT_DOUBLE_EQ(Named(f, "close_max_ms").Floor, 150.2);
    EXPECT_DOUBLE_EQ(Named(f, "close_median_ms").Value, 75.6);
    EXPECT_DOUBLE_EQ(Named(f, "close_median_ms").Floor, 75.2);
    EXPECT_DOUBLE_EQ(Named(f, "close_tail_median_us").Value, 600);
    EXPECT_DOUBLE_EQ(Named(f, "close_tail_median_us").Floor, 500);
    EXPECT_FALSE(Named(f, "close_max_ms").HasGoal);
}

TEST(Figures, IdleRatesAreMediansOfWindowsAndSkipUnreadableOnes) {
    // Three 10 s windows; the server's time of the second could not be read.
    const ChildReport product = Report(
        "sample idle_wall_us 10000000\nsample idle_cpu_us 10000\nsample idle_server_us 20000\n"
        "sample idle_wall_us 10000000\nsample idle_cpu_us 90000\nsample idle_server_us -1\n"
        "sample idle_wall_us 20000000\nsample idle_cpu_us 24000\nsample idle_server_us 50000\n");
    EXPECT_EQ(MsPerMinute(product, "idle_cpu_us"), (std::vector<double>{60, 540, 72}));
    EXPECT_EQ(MsPerMinute(product, "idle_server_us"), (std::vector<double>{120, 150}));
    const ChildReport floor = Report(
        "sample idle_wall_us 10000000\nsample idle_cpu_us 10000\nsample idle_server_us 10000\n"
        "sample idle_wall_us 10000000\nsample idle_cpu_us 11000\nsample idle_server_us 10000\n"
        "sample idle_wall_us 10000000\nsample idle_cpu_us 12000\nsample idle_server_us 10000\n");
    std::string spread;
    const std::vector<Figure> f = IdleFigures(product, floor, spread);
    const Figure& cpu = Named(f, "idle_cpu_ms_per_min");
    EXPECT_DOUBLE_EQ(cpu.Value, 72);  // the burst of the second window does not carry it
    EXPECT_DOUBLE_EQ(cpu.Floor, 66);
    ASSERT_TRUE(cpu.HasGoal);
    EXPECT_DOUBLE_EQ(cpu.Goal, 1.1);
    EXPECT_FALSE(Named(f, "idle_server_ms_per_min").HasGoal);
    EXPECT_DOUBLE_EQ(Named(f, "idle_server_ms_per_min").Value, 135);
    // No GetProcessTimes samples: no figure rather than a zero.
    for (const Figure& figure : f) EXPECT_NE(figure.Name, "idle_ptimes_ms_per_min");
    EXPECT_EQ(spread, "idle_cpu_us 1.00 to 8.18, idle_server_us 2.00 to 2.50");
}

TEST(Figures, ContextSwitchesAreCountedPerPollCycle) {
    const ChildReport product = Report("sample idle_switches 750\nsample idle_polls 50\n"
                                       "sample idle_switches -1\nsample idle_polls 50\n"
                                       "sample idle_switches 520\nsample idle_polls 40\n");
    const ChildReport floor = Report("sample idle_switches 500\nsample idle_polls 50\n");
    std::string spread;
    const std::vector<Figure> figures = IdleFigures(product, floor, spread);
    const Figure& f = Named(figures, "idle_switches_per_poll");
    EXPECT_DOUBLE_EQ(f.Value, 14);  // 15 and 13; the unreadable window left out
    EXPECT_DOUBLE_EQ(f.Floor, 10);
}

TEST(Figures, GetProcessTimesStepsAreAveragedOverTheWholeRun) {
    // 10 ms steps: most 10 s windows see none, one sees a step.
    const ChildReport product = Report(
        "sample idle_wall_us 10000000\nsample idle_cpu_us 6000\nsample idle_ptimes_us 0\n"
        "sample idle_wall_us 10000000\nsample idle_cpu_us 6000\nsample idle_ptimes_us 10000\n"
        "sample idle_wall_us 10000000\nsample idle_cpu_us 6000\nsample idle_ptimes_us 0\n");
    std::string spread;
    const std::vector<Figure> figures = IdleFigures(product, product, spread);
    const Figure& ptimes = Named(figures, "idle_ptimes_ms_per_min");
    EXPECT_NEAR(ptimes.Value, 20, 1e-9);  // not the median window's 0
}

TEST(Figures, RingDialogAndStartUpCarryTheirUnitsAndGoals) {
    const ChildReport product = Report("sample hop_us 100\nsample hop_us 140\nsample hop_us 120\n"
                                       "sample dialog_cold_us 45000\nsample dialog_warm_us 14000\n");
    const ChildReport floor = Report("sample hop_us 100\nsample hop_us 100\nsample dialog_cold_us 50000\n"
                                     "sample dialog_warm_us 12000\nsample dialog_warm_us 13000\n");
    const std::vector<Figure> ring = RingFigures(product, floor);
    EXPECT_DOUBLE_EQ(Named(ring, "ring_median_us").Ratio(), 1.2);
    EXPECT_EQ(Named(ring, "ring_median_us").Verdict(), "meets");
    EXPECT_FALSE(Named(ring, "ring_p99_us").HasGoal);
    const std::vector<Figure> dialog = DialogFigures(product, floor);
    EXPECT_DOUBLE_EQ(Named(dialog, "dialog_cold_ms").Value, 45);
    EXPECT_DOUBLE_EQ(Named(dialog, "dialog_warm_ms").Floor, 12.5);

    const ChildReport loads = Report("sample load_plain_us 22000\nsample load_lang_us 23000\n"
                                     "sample load_floor_us 2000\nsample load_window_us 18000\n");
    DllSizes sizes;
    sizes.Plugin = 400000;
    sizes.Empty = 10000;
    const std::vector<Figure> start = StartupFigures(loads, sizes);
    EXPECT_DOUBLE_EQ(Named(start, "startup_us").Ratio(), 11);
    EXPECT_DOUBLE_EQ(Named(start, "startup_lang_us").Floor, 2000);
    EXPECT_DOUBLE_EQ(Named(start, "startup_vs_window_us").Floor, 18000);
    EXPECT_DOUBLE_EQ(Named(start, "dll_bytes").Ratio(), 40);
}

}  // namespace
}  // namespace perf
