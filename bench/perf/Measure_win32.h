// The measuring processes' common part: each figure's work done the same way
// on either side, the plug-in (ovperf_host.exe) or its floor (ovperf.exe),
// and reported as "sample NAME VALUE" lines on standard output (Figures.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/perf/Timeline.h"

namespace perf {

void EmitSample(const std::string& name, double value);
void EmitError(const std::string& text);

// Wine's GetProcessTimes moves in 10 ms scheduler ticks, too coarse for the
// tens of milliseconds a minute of idling costs, so the process's time is
// read from Linux; and the threads' switches, which the machine's other load
// hardly moves.
struct CpuReading {
    double ProcessUs = 0;       // Linux's count for the process (all threads)
    double ProcessTimesUs = 0;  // GetProcessTimes, user plus kernel
    double ServerUs = -1;       // the Wine server; negative when unknown
    double Switches = -1;       // context switches of the process's threads; negative when unknown
};
CpuReading ReadCpu();

// A path from the simulated driver (loaded, and reset before each Open) to
// this thread, the host's.
class Side {
public:
    virtual ~Side() = default;
    virtual bool Open() = 0;       // starts polling every 200 ms
    virtual void Close() = 0;      // stops polling and waits for the poller, pumping messages
    virtual int ShowDialog() = 0;  // modal; returns when the dialog is closed
    void Expect(std::size_t events) { Arrivals.assign(events, -1), Returns.assign(events, -1), arrived_ = 0; }
    // Notes when event `index` reached this thread; the last ends RunUntilQuit.
    void Arrived(int index, std::int64_t time);

    std::vector<std::int64_t> Arrivals;  // per event, when it arrived (negative: not yet)
    std::vector<std::int64_t> Returns;   // per event, when the floor's poller was back from its wait

private:
    std::size_t arrived_ = 0;
};

// Runs a mode on `side`; 0, or 1 when it could not measure; -1 for no mode.
//   ring N        N events (hop_us; roundtrip_us where Returns are kept)
//   idle SECONDS  open, no events: idle_wall_us, idle_cpu_us, idle_ptimes_us,
//                 idle_server_us, idle_switches, idle_polls
//   close TRIALS  closed at spread-out moments of the poll cycle: close_us,
//                 close_pause_us, close_tail_us
//   dialog WARM   to the first paint, cold then warm: dialog_cold_us, dialog_warm_us
int RunSide(const std::vector<std::string>& args, Side& side);

}  // namespace perf
