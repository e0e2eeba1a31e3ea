#include "bench/perf/Timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace perf {
namespace {

double Micros(std::int64_t ticks, std::int64_t ticksPerSecond) { return double(ticks) * 1e6 / double(ticksPerSecond); }

}  // namespace

std::string EventText(int index) {
    char text[32];
    std::snprintf(text, sizeof text, "PERF%05d", index);
    return text;
}

int EventIndex(const char* text, std::size_t size) {
    const std::string s = text ? std::string(text, strnlen(text, size)) : std::string();
    if (s.size() != 9 || s.compare(0, 4, "PERF") != 0 || s.find_first_not_of("0123456789", 4) != std::string::npos)
        return -1;
    return std::stoi(s.substr(4));
}

Pairing PairArrivals(const std::vector<PollRecord>& polls, const std::vector<std::int64_t>& arrivals,
                     std::int64_t ticksPerSecond) {
    Pairing p;
    std::size_t event = 0;
    for (const PollRecord& poll : polls) {
        if (poll.Result <= 0) continue;
        const std::int64_t arrival = event < arrivals.size() ? arrivals[event] : -1;
        ++event;
        if (arrival < 0)
            ++p.Unanswered;
        else if (arrival < poll.Time)
            ++p.Inconsistent;
        else
            p.LatenciesUs.push_back(Micros(arrival - poll.Time, ticksPerSecond));
    }
    for (std::size_t k = event; k < arrivals.size(); ++k) p.Inconsistent += arrivals[k] >= 0;
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
