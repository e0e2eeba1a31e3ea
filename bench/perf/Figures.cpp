#include "bench/perf/Figures.h"

#include <cstdio>

#include "bench/perf/Stats.h"

namespace perf {
namespace {

double Median(const std::vector<double>& v) { return Summarize(v).Median; }
double Ms(double us) { return us / 1000; }

// "min to max" of the plug-in's values over the floor's, pair by pair.
std::string RatioRange(const std::vector<double>& product, const std::vector<double>& floor) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < product.size() && i < floor.size(); ++i) {
        if (floor[i] > 0) ratios.push_back(product[i] / floor[i]);
    }
    if (ratios.empty()) return "none";
    const Summary s = Summarize(ratios);
    char text[64];
    std::snprintf(text, sizeof text, "%.2f to %.2f", s.Min, s.Max);
    return text;
}

}  // namespace

std::vector<Figure> StartupFigures(const ChildReport& r, const DllSizes& sizes) {
    const double plain = Median(r.Of("load_plain_us")), floor = Median(r.Of("load_floor_us"));
    return {
        MakeFigure("startup_us", "start-up, no language file (median)", "us", plain).WithFloor(floor),
        MakeFigure("startup_lang_us", "start-up, language file, English (median)", "us", Median(r.Of("load_lang_us")))
            .WithFloor(floor),
        MakeFigure("startup_vs_window_us", "start-up against a DLL making a hidden window", "us", plain)
            .WithFloor(Median(r.Of("load_window_us"))),
        MakeFigure("dll_bytes", "DLL size without debug sections", "bytes", sizes.Plugin).WithFloor(sizes.Empty),
        MakeFigure("dll_file_bytes", "DLL file as built", "bytes", sizes.PluginFile).WithFloor(sizes.EmptyFile),
    };
}

std::vector<Figure> DialogFigures(const ChildReport& product, const ChildReport& floor) {
    return {
        MakeFigure("dialog_cold_ms", "dialog to first paint, cold (median)", "ms", Ms(Median(product.Of("dialog_cold_us"))))
            .WithFloor(Ms(Median(floor.Of("dialog_cold_us")))),
        MakeFigure("dialog_warm_ms", "dialog to first paint, warm (median)", "ms", Ms(Median(product.Of("dialog_warm_us"))))
            .WithFloor(Ms(Median(floor.Of("dialog_warm_us")))),
    };
}

std::vector<Figure> RingFigures(const ChildReport& product, const ChildReport& floor) {
    const Summary p = Summarize(product.Of("hop_us")), f = Summarize(floor.Of("hop_us"));
    return {
        MakeFigure("ring_median_us", "ring latency, median", "us", p.Median).WithFloor(f.Median).WithGoal(1.2),
        MakeFigure("ring_p99_us", "ring latency, 99th percentile", "us", p.P99).WithFloor(f.P99),
    };
}

std::vector<Figure> CloseFigures(const ChildReport& product, const ChildReport& floor, double marshalledUs) {
    // A close cannot beat the pause it came into plus one poll and one
    // marshalled call.
    std::vector<double> bounds;
    for (double pause : product.Of("close_pause_us")) bounds.push_back(pause + marshalledUs);
    const Summary close = Summarize(product.Of("close_us")), bound = Summarize(bounds);
    // After the pause, the floor's worker ends the same way, thread exit included.
    const Summary tail = Summarize(product.Of("close_tail_us")), bare = Summarize(floor.Of("close_tail_us"));
    return {
        MakeFigure("close_median_ms", "CloseDevice, median", "ms", Ms(close.Median)).WithFloor(Ms(bound.Median)),
        MakeFigure("close_max_ms", "CloseDevice, maximum", "ms", Ms(close.Max)).WithFloor(Ms(bound.Max)),
        MakeFigure("close_tail_median_us", "CloseDevice after the last poll, median", "us", tail.Median)
            .WithFloor(bare.Median),
        MakeFigure("close_tail_max_us", "CloseDevice after the last poll, maximum", "us", tail.Max).WithFloor(bare.Max),
    };
}

std::vector<double> MsPerMinute(const ChildReport& r, const std::string& sample) {
    const std::vector<double>& times = r.Of(sample);
    const std::vector<double>& walls = r.Of("idle_wall_us");
    std::vector<double> rates;
    for (std::size_t i = 0; i < times.size() && i < walls.size(); ++i) {
        if (times[i] >= 0 && walls[i] > 0) rates.push_back(Ms(times[i] * 60e6 / walls[i]));
    }
    return rates;
}

// `sample` per poll of each window that has both.
std::vector<double> PerPoll(const ChildReport& r, const std::string& sample) {
    const std::vector<double>& counts = r.Of(sample);
    const std::vector<double>& polls = r.Of("idle_polls");
    std::vector<double> rates;
    for (std::size_t i = 0; i < counts.size() && i < polls.size(); ++i) {
        if (counts[i] >= 0 && polls[i] > 0) rates.push_back(counts[i] / polls[i]);
    }
    return rates;
}

// Milliseconds per minute over all windows together.
double PooledMsPerMinute(const ChildReport& r, const std::string& sample) {
    const std::vector<double>& times = r.Of(sample);
    const std::vector<double>& walls = r.Of("idle_wall_us");
    double time = 0, wall = 0;
    for (std::size_t i = 0; i < times.size() && i < walls.size(); ++i) {
        if (times[i] >= 0 && walls[i] > 0) time += times[i], wall += walls[i];
    }
    return wall > 0 ? Ms(time * 60e6 / wall) : 0;
}

std::vector<Figure> IdleFigures(const ChildReport& product, const ChildReport& floor, std::string& spread) {
    struct Meter {
        const char* Sample;
        const char* Name;
        const char* Label;
        bool HasGoal;
        bool Pooled;
    };
    const Meter meters[] = {
        {"idle_cpu_us", "idle_cpu_ms_per_min", "idle processor time of the process", true, false},
        {"idle_server_us", "idle_server_ms_per_min", "idle processor time of the Wine server", false, false},
        {"idle_ptimes_us", "idle_ptimes_ms_per_min", "idle, as GetProcessTimes counts it", false, true}};
    // Medians of the windows' rates, so that a burst of the machine's other
    // work during one window does not carry the figure; but GetProcessTimes
    // moves in 10 ms steps, which only the whole run's total can average out.
    std::vector<Figure> figures;
    spread.clear();
    for (const Meter& m : meters) {
        const std::vector<double> p = MsPerMinute(product, m.Sample), f = MsPerMinute(floor, m.Sample);
        if (p.empty() || f.empty()) continue;
        const double value = m.Pooled ? PooledMsPerMinute(product, m.Sample) : Median(p);
        const double floorValue = m.Pooled ? PooledMsPerMinute(floor, m.Sample) : Median(f);
        Figure figure = MakeFigure(m.Name, m.Label, "ms/min", value).WithFloor(floorValue);
        if (m.HasGoal) figure.WithGoal(1.1);
        figures.push_back(figure);
        spread += std::string(spread.empty() ? "" : ", ") + m.Sample + " " + RatioRange(p, f);
    }
    const std::vector<double> p = PerPoll(product, "idle_switches"), f = PerPoll(floor, "idle_switches");
    if (!p.empty() && !f.empty())
        figures.push_back(MakeFigure("idle_switches_per_poll", "idle context switches per poll cycle", "", Median(p))
                              .WithFloor(Median(f)));
    return figures;
}

}  // namespace perf
