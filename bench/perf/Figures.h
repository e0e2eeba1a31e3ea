// How the measuring processes' samples become figures beside their floors;
// times arrive in microseconds and leave in the unit each figure names.
#pragma once

#include <string>
#include <vector>

#include "bench/perf/Report.h"
#include "bench/perf/Samples.h"

namespace perf {

struct DllSizes {
    double Plugin = 0, PluginFile = 0;  // without debug sections; the file as built
    double Empty = 0, EmptyFile = 0;    // the empty DLL, likewise
};

// load_plain_us, load_lang_us, load_floor_us, load_window_us.
std::vector<Figure> StartupFigures(const ChildReport& loads, const DllSizes& sizes);
// dialog_cold_us, dialog_warm_us of the plug-in and of the floor.
std::vector<Figure> DialogFigures(const ChildReport& product, const ChildReport& floor);
// hop_us of each.
std::vector<Figure> RingFigures(const ChildReport& product, const ChildReport& floor);
// close_us, close_pause_us and close_tail_us of each; `marshalledUs` is the
// floor's round trip, one poll and one marshalled call.
std::vector<Figure> CloseFigures(const ChildReport& product, const ChildReport& floor, double marshalledUs);
// idle_cpu_us, idle_server_us, idle_ptimes_us, idle_switches, idle_polls and
// idle_wall_us per window;
// `spread` receives the window-by-window ratios' range per meter.
std::vector<Figure> IdleFigures(const ChildReport& product, const ChildReport& floor, std::string& spread);

// Milliseconds per minute of each window of `r` that has `sample` (a
// negative value is a window whose time could not be read).
std::vector<double> MsPerMinute(const ChildReport& r, const std::string& sample);

}  // namespace perf
