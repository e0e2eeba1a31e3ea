#include "bench/perf/Stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace perf {
namespace {

// `sorted` must be sorted and not empty.
double SortedQuantile(const std::vector<double>& sorted, double q) {
    q = std::clamp(q, 0.0, 1.0);
    const double rank = q * double(sorted.size() - 1);
    const std::size_t below = static_cast<std::size_t>(std::floor(rank));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (rank - double(below)) * (sorted[above] - sorted[below]);
}

}  // namespace

double Quantile(std::vector<double> values, double q) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return SortedQuantile(values, q);
}

Summary Summarize(const std::vector<double>& values) {
    Summary s;
    if (values.empty()) return s;
    std::vector<double> sorted(values);
    std::sort(sorted.begin(), sorted.end());
    s.Count = sorted.size();
    s.Min = sorted.front();
    s.Max = sorted.back();
    s.Median = SortedQuantile(sorted, 0.5);
    s.P99 = SortedQuantile(sorted, 0.99);
    s.Mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / double(sorted.size());
    return s;
}

}  // namespace perf
