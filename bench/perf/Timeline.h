// Intervals read off the simulated driver's call log (QueryPerformanceCounter
// times on entry of each call) and the host's own clock readings.
#pragma once

#include <cstdint>
#include <vector>

namespace perf {

struct PollRecord {
    std::int64_t Time;    // entry of TV_GetEvent
    std::int32_t Result;  // > 0: it handed out an event
};

struct Pairing {
    std::vector<double> LatenciesUs;  // in event order
    int Unanswered = 0;               // polled, never arrived
    int Inconsistent = 0;             // arrived without a poll, or before it
};

// Events are queued in order, so the k-th poll that handed one out handed out
// event k; arrivals[k] is when event k reached the host (negative: never).
Pairing PairArrivals(const std::vector<PollRecord>& polls, const std::vector<std::int64_t>& arrivals,
                     std::int64_t ticksPerSecond);

struct CloseSplit {
    double PauseUs;  // from the call to the last poll: the pause it had to sit out
    double TailUs;   // from then (or the call, if later) to the return
};

// `lastPoll` is the entry of the last poll made before the reader ended; a
// reader that had already polled when the call came leaves no pause.
CloseSplit SplitClose(std::int64_t call, std::int64_t lastPoll, std::int64_t returned, std::int64_t ticksPerSecond);

// When trial `trial` closes after opening, in milliseconds: spread evenly
// over two poll cycles (100 to 500 ms), the same for the plug-in and the floor.
int CloseDelayMs(int trial);

}  // namespace perf
