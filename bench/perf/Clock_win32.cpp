#include "bench/perf/Clock_win32.h"

#include <windows.h>

namespace perf {

std::int64_t Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::int64_t TicksPerSecond() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return frequency;
}

double MicrosBetween(std::int64_t from, std::int64_t to) { return double(to - from) * 1e6 / double(TicksPerSecond()); }

}  // namespace perf
