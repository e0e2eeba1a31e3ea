// Intervals between the simulated driver's call log (QueryPerformanceCounter
// on entry of each call) and the host's clock readings; numbered ring events
// let every arrival be matched with its poll.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace perf {

constexpr int kRingCode = 30;

std::string EventText(int index);  // "PERF00042"
// The number in an event text in a field of `size` bytes (no NUL needed); or -1.
int EventIndex(const char* text, std::size_t size);

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

// `lastPoll`: the entry of the reader's last poll (none after it ended); a
// reader that had already polled when the call came leaves no pause.
CloseSplit SplitClose(std::int64_t call, std::int64_t lastPoll, std::int64_t returned, std::int64_t ticksPerSecond);

// When trial `trial` closes after opening, in milliseconds: spread evenly
// over two poll cycles (100 to 500 ms), the same for the plug-in and the floor.
int CloseDelayMs(int trial);

}  // namespace perf
