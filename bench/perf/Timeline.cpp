#include "bench/perf/Timeline.h"

#include <algorithm>
#include <cmath>

namespace perf {
namespace {

double Micros(std::int64_t ticks, std::int64_t ticksPerSecond) { return double(ticks) * 1e6 / double(ticksPerSecond); }

}  // namespace

Pairing PairArrivals(const std::vector<PollRecord>& polls, const std::vector<std::int64_t>& arrivals,
                     std::int64_t ticksPerSecond) {
    Pairing p;
    std::size_t event = 0;
    for (const PollRecord& poll : polls) {
        if (poll.Result <= 0) continue;
        const std::int64_t arrival = event < arrivals.size() ? arrivals[event] : -1;
        ++event;
        if (arrival < 0) {
            ++p.Unanswered;
        } else if (arrival < poll.Time) {
            ++p.Inconsistent;
        } else {
            p.LatenciesUs.push_back(Micros(arrival - poll.Time, ticksPerSecond));
        }
    }
    for (std::size_t k = event; k < arrivals.size(); ++k) {
        if (arrivals[k] >= 0) ++p.Inconsistent;
    }
    return p;
}

CloseSplit SplitClose(std::int64_t call, std::int64_t lastPoll, std::int64_t returned, std::int64_t ticksPerSecond) {
    const std::int64_t pauseEnd = std::max(call, lastPoll);
    return {Micros(pauseEnd - call, ticksPerSecond), Micros(returned - pauseEnd, ticksPerSecond)};
}

int CloseDelayMs(int trial) {
    const double golden = 0.6180339887498949;
    return 100 + int(std::fmod(trial * golden, 1.0) * 400);
}

}  // namespace perf
