#include "bench/perf/ChildSupport_win32.h"

#include <cstdio>

#include "bench/perf/Clock_win32.h"
#include "bench/perf/PaintProbe_win32.h"
#include "bench/perf/Pump_win32.h"
#include "bench/perf/Samples.h"

namespace perf {
namespace {

void Print(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace

void EmitSample(const std::string& name, double value) { Print(SampleLine(name, value)); }
void EmitNote(const std::string& text) { Print("note " + text + "\n"); }
void EmitError(const std::string& text) { Print("error " + text + "\n"); }

void EmitPairing(const std::string& name, const Pairing& pairing, std::size_t warmup) {
    for (std::size_t i = warmup; i < pairing.LatenciesUs.size(); ++i) EmitSample(name, pairing.LatenciesUs[i]);
    if (pairing.Unanswered) EmitError(name + ": " + std::to_string(pairing.Unanswered) + " events polled, never arrived");
    if (pairing.Inconsistent)
        EmitError(name + ": " + std::to_string(pairing.Inconsistent) + " arrivals do not match the driver's log");
}

void EmitClose(std::int64_t called, std::int64_t lastPoll, std::int64_t returned) {
    const CloseSplit split = SplitClose(called, lastPoll, returned, TicksPerSecond());
    EmitSample("close_us", MicrosBetween(called, returned));
    EmitSample("close_pause_us", split.PauseUs);
    EmitSample("close_tail_us", split.TailUs);
}

IdleWindow MeasureIdle(int seconds) {
    IdleWindow w;
    PumpFor(1000);
    w.Start = ReadCpu();
    w.StartTime = Now();
    PumpFor(seconds * 1000);
    w.End = ReadCpu();
    w.EndTime = Now();
    return w;
}

void EmitIdle(const IdleWindow& w, const std::vector<PollRecord>& polls) {
    int inWindow = 0;
    for (const PollRecord& p : polls) inWindow += p.Time >= w.StartTime && p.Time < w.EndTime;
    EmitSample("idle_wall_us", MicrosBetween(w.StartTime, w.EndTime));
    EmitSample("idle_cpu_us", w.End.ProcessUs - w.Start.ProcessUs);
    EmitSample("idle_ptimes_us", w.End.ProcessTimesUs - w.Start.ProcessTimesUs);
    // One of each per window, so the orchestrator can pair them: -1 when the
    // server's time could not be read.
    const bool server = w.Start.ServerUs >= 0 && w.End.ServerUs >= 0;
    EmitSample("idle_server_us", server ? w.End.ServerUs - w.Start.ServerUs : -1);
    const bool switches = w.Start.Switches >= 0 && w.End.Switches >= 0;
    EmitSample("idle_switches", switches ? w.End.Switches - w.Start.Switches : -1);
    EmitSample("idle_polls", inWindow);
}

void MeasureDialogs(const std::function<int()>& show, int warm) {
    FirstPaintProbe probe;
    if (!probe.Installed()) {
        EmitError("the window hook could not be installed");
        return;
    }
    for (int i = 0; i <= warm; ++i) {
        probe.Arm();
        const std::int64_t called = Now();
        const int result = show();
        const std::int64_t painted = probe.PaintedAt();
        if (!painted) {
            EmitError("no dialog was painted (result " + std::to_string(result) + ")");
            return;
        }
        EmitSample(i == 0 ? "dialog_cold_us" : "dialog_warm_us", MicrosBetween(called, painted));
    }
}

}  // namespace perf
