// Processor time of this process, and of the Wine server that carries out
// its system calls (on Windows that work is the process's own kernel time).
//
// Wine's GetProcessTimes counts in scheduler ticks: it moves in steps of
// 10 ms per user and kernel part, too coarse for the few tens of
// milliseconds a minute of idling costs. Under Wine the process's time is
// therefore read from Linux directly, in nanoseconds; GetProcessTimes is
// kept beside it for reference.
//
// Processor time moves with the machine's other load from window to window;
// the number of times the process's threads were switched out (each wake-up,
// each wait for the Wine server) is counted too, which the load hardly moves.
#pragma once

namespace perf {

struct CpuReading {
    double ProcessUs = 0;       // Linux's count for the process (all threads)
    double ProcessTimesUs = 0;  // GetProcessTimes, user plus kernel
    double ServerUs = -1;       // the Wine server; negative when unknown
    double Switches = -1;       // context switches of the process's threads; negative when unknown
};

CpuReading ReadCpu();

}  // namespace perf
