// QueryPerformanceCounter, the clock the simulated driver logs with.
#pragma once

#include <cstdint>

namespace perf {

std::int64_t Now();
std::int64_t TicksPerSecond();
double MicrosBetween(std::int64_t from, std::int64_t to);

}  // namespace perf
