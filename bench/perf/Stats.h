// Order statistics of a set of timings.
#pragma once

#include <cstddef>
#include <vector>

namespace perf {

struct Summary {
    std::size_t Count = 0;
    double Min = 0, Median = 0, P99 = 0, Max = 0, Mean = 0;
};

// The q-th quantile (0..1) by linear interpolation between the closest ranks,
// so a median of an even count is the mean of the middle two. 0 when empty.
double Quantile(std::vector<double> values, double q);

// Every field is 0 for an empty set.
Summary Summarize(const std::vector<double>& values);

}  // namespace perf
