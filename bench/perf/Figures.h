// Measuring processes print "sample NAME VALUE" and "error TEXT" lines among
// Wine's chatter; the orchestrator makes figures of the samples beside their
// floors and prints a table and, for scripts, "figure NAME value=V floor=F
// ratio=R goal=G" (ratio = value / floor, goal = the largest ratio allowed;
// each only where the figure has it). Samples are in microseconds.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace perf {

// The q-th quantile (0 to 1), interpolated between the closest ranks, so the
// median of an even count is the mean of the middle two; 0 for none.
double Quantile(std::vector<double> values, double q);
inline double Median(const std::vector<double>& values) { return Quantile(values, 0.5); }

struct ChildReport {
    std::map<std::string, std::vector<double>> Samples;
    std::vector<std::string> Errors;

    const std::vector<double>& Of(const std::string& name) const;
};

// Adds the lines of `output` to `report`; a sample line whose value does not
// parse becomes an error, so a broken child cannot pass for a quiet one.
void ParseReport(const std::string& output, ChildReport& report);
std::string SampleLine(const std::string& name, double value);

struct Figure {
    std::string Name;   // for scripts, unit included: ring_median_us
    std::string Label;  // for the table
    std::string Unit;
    double Value = 0;
    bool HasFloor = false, HasGoal = false;
    double Floor = 0, Goal = 0;

    Figure& WithFloor(double floor) { return HasFloor = true, Floor = floor, *this; }
    Figure& WithGoal(double goal) { return HasGoal = true, Goal = goal, *this; }
    bool HasRatio() const { return HasFloor && Floor > 0; }  // a ratio needs a floor above zero
    double Ratio() const { return HasRatio() ? Value / Floor : 0; }
    // "meets", "MISSES", or empty without a goal (or without a ratio to
    // judge); the ratio is taken to the three decimals printed.
    std::string Verdict() const;
};

// Enough digits to compare, never exponent notation.
std::string FormatNumber(double value);
std::string FigureLine(const Figure& figure);
std::string FormatTable(const std::vector<Figure>& figures);


struct DllSizes {
    double Plugin = 0, PluginFile = 0;  // without debug sections; the file as built
    double Empty = 0, EmptyFile = 0;    // the empty DLL, likewise
};

// From load_{plain,lang,floor,window}_us, load_{plain,floor}_bytes and
// load_plain_open_bytes: start-up time, size and the memory added to the host.
std::vector<Figure> StartupFigures(const ChildReport& loads, const DllSizes& sizes);
// dialog_cold_us, dialog_warm_us of the plug-in and of the floor.
std::vector<Figure> DialogFigures(const ChildReport& product, const ChildReport& floor);
// hop_us of each.
std::vector<Figure> RingFigures(const ChildReport& product, const ChildReport& floor);
// close_us, close_pause_us and close_tail_us of each; `marshalledUs` is the
// floor's round trip, one poll and one marshalled call.
std::vector<Figure> CloseFigures(const ChildReport& product, const ChildReport& floor, double marshalledUs);
// idle_cpu_us, idle_server_us, idle_ptimes_us, idle_switches, idle_polls and
// idle_wall_us per window.
std::vector<Figure> IdleFigures(const ChildReport& product, const ChildReport& floor);
// The 64-bit plug-in against the 32-bit one, each the other's floor: hop_us
// of the box's rings; idle_host_us plus idle_companion_us per idle_wall_us;
// start_us plus start_init_us (load, then the first InitDevice).
std::vector<Figure> X64Figures(const ChildReport& x86, const ChildReport& x64);

}  // namespace perf
