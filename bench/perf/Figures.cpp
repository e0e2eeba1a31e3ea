#include "bench/perf/Figures.h"

namespace perf {
namespace {

double Ms(double us) { return us / 1000; }

// `sample` per unit of `per` (milliseconds a minute of idle_wall_us, or
// switches per poll) of each window that has both.
std::vector<double> Rates(const ChildReport& r, const std::string& sample, const std::string& per, double scale) {
    const std::vector<double>& counts = r.Of(sample);
    const std::vector<double>& units = r.Of(per);
    std::vector<double> rates;
    for (std::size_t i = 0; i < counts.size() && i < units.size(); ++i) {
        if (counts[i] >= 0 && units[i] > 0) rates.push_back(counts[i] * scale / units[i]);
    }
    return rates;
}

// Milliseconds per minute of each window that has `sample` (a negative value
// is a window whose time could not be read).
std::vector<double> MsPerMinute(const ChildReport& r, const std::string& sample) {
    return Rates(r, sample, "idle_wall_us", 60e3);
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

}  // namespace

std::vector<Figure> StartupFigures(const ChildReport& r, const DllSizes& sizes) {
    const double plain = Median(r.Of("load_plain_us")), floor = Median(r.Of("load_floor_us"));
    const double emptyBytes = Median(r.Of("load_floor_bytes"));
    return {
        Figure{"startup_us", "start-up, no language file (median)", "us", plain}.WithFloor(floor),
        Figure{"startup_lang_us", "start-up, language file, English (median)", "us", Median(r.Of("load_lang_us"))}
            .WithFloor(floor),
        Figure{"startup_vs_window_us", "start-up against a DLL making a hidden window", "us", plain}
            .WithFloor(Median(r.Of("load_window_us"))),
        Figure{"dll_bytes", "DLL size without debug sections", "bytes", sizes.Plugin}.WithFloor(sizes.Empty),
        Figure{"dll_file_bytes", "DLL file as built", "bytes", sizes.PluginFile}.WithFloor(sizes.EmptyFile),
        // Against the empty DLL just loaded, both: what the plug-in's own
        // start-up and then its open device (reader thread, window) add.
        Figure{"memory_load_bytes", "private bytes added by loading", "bytes", Median(r.Of("load_plain_bytes"))}
            .WithFloor(emptyBytes),
        Figure{"memory_open_bytes", "private bytes added, device open", "bytes", Median(r.Of("load_plain_open_bytes"))}
            .WithFloor(emptyBytes),
    };
}

std::vector<Figure> DialogFigures(const ChildReport& product, const ChildReport& floor) {
    return {
        Figure{"dialog_cold_ms", "dialog to first paint, cold (median)", "ms", Ms(Median(product.Of("dialog_cold_us")))}
            .WithFloor(Ms(Median(floor.Of("dialog_cold_us"))))
            .WithGoal(1.2),
        Figure{"dialog_warm_ms", "dialog to first paint, warm (median)", "ms", Ms(Median(product.Of("dialog_warm_us")))}
            .WithFloor(Ms(Median(floor.Of("dialog_warm_us"))))
            .WithGoal(1.1),
    };
}

std::vector<Figure> RingFigures(const ChildReport& product, const ChildReport& floor) {
    const std::vector<double>&p = product.Of("hop_us"), &f = floor.Of("hop_us");
    return {
        Figure{"ring_median_us", "ring latency, median", "us", Median(p)}.WithFloor(Median(f)).WithGoal(1.2),
        Figure{"ring_p99_us", "ring latency, 99th percentile", "us", Quantile(p, 0.99)}.WithFloor(Quantile(f, 0.99)),
    };
}

std::vector<Figure> CloseFigures(const ChildReport& product, const ChildReport& floor, double marshalledUs) {
    // A close cannot beat the pause it came into plus one poll and one
    // marshalled call.
    std::vector<double> bounds;
    for (double pause : product.Of("close_pause_us")) bounds.push_back(pause + marshalledUs);
    const std::vector<double>& close = product.Of("close_us");
    // After the pause, the floor's worker ends the same way, thread exit included.
    const std::vector<double>&tail = product.Of("close_tail_us"), &bare = floor.Of("close_tail_us");
    return {
        Figure{"close_median_ms", "CloseDevice, median", "ms", Ms(Median(close))}.WithFloor(Ms(Median(bounds))),
        Figure{"close_max_ms", "CloseDevice, maximum", "ms", Ms(Quantile(close, 1))}.WithFloor(Ms(Quantile(bounds, 1))),
        Figure{"close_tail_median_us", "CloseDevice after the last poll, median", "us", Median(tail)}
            .WithFloor(Median(bare)),
        Figure{"close_tail_max_us", "CloseDevice after the last poll, maximum", "us", Quantile(tail, 1)}
            .WithFloor(Quantile(bare, 1)),
    };
}

std::vector<Figure> IdleFigures(const ChildReport& product, const ChildReport& floor) {
    const char* const meters[][3] = {{"idle_cpu_us", "idle_cpu_ms_per_min", "idle processor time of the process"},
                                     {"idle_server_us", "idle_server_ms_per_min", "idle processor time of the Wine server"},
                                     {"idle_ptimes_us", "idle_ptimes_ms_per_min", "idle, as GetProcessTimes counts it"}};
    // Medians of the windows' rates, so that a burst of the machine's other
    // work during one window does not carry the figure; but GetProcessTimes
    // moves in 10 ms steps, which only the whole run's total can average out.
    std::vector<Figure> figures;
    for (const auto& m : meters) {
        const std::vector<double> p = MsPerMinute(product, m[0]), f = MsPerMinute(floor, m[0]);
        if (p.empty() || f.empty()) continue;
        const bool pooled = &m == &meters[2];
        figures.push_back(Figure{m[1], m[2], "ms/min", pooled ? PooledMsPerMinute(product, m[0]) : Median(p)}
                              .WithFloor(pooled ? PooledMsPerMinute(floor, m[0]) : Median(f)));
    }
    if (!figures.empty() && figures[0].Name == meters[0][1]) figures[0].WithGoal(1.1);
    const std::vector<double> p = Rates(product, "idle_switches", "idle_polls", 1),
                              f = Rates(floor, "idle_switches", "idle_polls", 1);
    if (!p.empty() && !f.empty())
        figures.push_back(Figure{"idle_switches_per_poll", "idle context switches per poll cycle", "", Median(p)}
                              .WithFloor(Median(f)));
    return figures;
}

namespace {

// Per window, the processor time of the host and its companion together.
std::vector<double> HostAndCompanionMsPerMinute(const ChildReport& r) {
    const std::vector<double>&host = r.Of("idle_host_us"), &companion = r.Of("idle_companion_us"),
                                &wall = r.Of("idle_wall_us");
    std::vector<double> rates;
    for (std::size_t i = 0; i < host.size() && i < companion.size() && i < wall.size(); ++i)
        if (host[i] >= 0 && companion[i] >= 0 && wall[i] > 0) rates.push_back(Ms((host[i] + companion[i]) * 60e6 / wall[i]));
    return rates;
}

std::vector<double> Sums(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> sums;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) sums.push_back(a[i] + b[i]);
    return sums;
}

}  // namespace

std::vector<Figure> X64Figures(const ChildReport& x86, const ChildReport& x64) {
    const std::vector<double>&p = x64.Of("hop_us"), &f = x86.Of("hop_us");
    const std::vector<double> idle64 = HostAndCompanionMsPerMinute(x64), idle32 = HostAndCompanionMsPerMinute(x86);
    const std::vector<double> start64 = Sums(x64.Of("start_us"), x64.Of("start_init_us")),
                              start32 = Sums(x86.Of("start_us"), x86.Of("start_init_us"));
    return {
        Figure{"x64_ring_median_us", "x64: ring latency, median", "us", Median(p)}.WithFloor(Median(f)).WithGoal(1.5),
        Figure{"x64_ring_p99_us", "x64: ring latency, 99th percentile", "us", Quantile(p, 0.99)}
            .WithFloor(Quantile(f, 0.99)),
        Figure{"x64_idle_ms_per_min", "x64: idle processor time, host and companion", "ms/min", Median(idle64)}
            .WithFloor(Median(idle32))
            .WithGoal(1.5),
        Figure{"x64_idle_companion_ms_per_min", "x64: of which the companion", "ms/min",
               Median(Rates(x64, "idle_companion_us", "idle_wall_us", 60e3))},
        Figure{"x64_startup_us", "x64: load and first InitDevice (median)", "us", Median(start64)}
            .WithFloor(Median(start32)),
        Figure{"x64_startup_init_us", "x64: of which the first InitDevice", "us", Median(x64.Of("start_init_us"))}
            .WithFloor(Median(x86.Of("start_init_us"))),
    };
}

}  // namespace perf
