// ovperf: the benchmark's orchestrator, and the floors' measuring processes.
//   ovperf [options]                  runs everything, prints the table
//   ovperf ring-floor N | idle-floor SECONDS | close-floor TRIALS | dialog-floor WARM
//   ovperf load FILE SAMPLE           one cold LoadLibrary
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/perf/FloorModes_win32.h"
#include "bench/perf/Options.h"
#include "bench/perf/Orchestrator_win32.h"

namespace {

int Count(const std::string& text) {
    const int n = std::atoi(text.c_str());
    return n > 0 ? n : 1;
}

// A measuring process's mode, or -1 when the arguments are the orchestrator's.
int RunChildMode(const std::vector<std::string>& a) {
    if (a.size() == 2 && a[0] == "ring-floor") return perf::FloorRing(Count(a[1]));
    if (a.size() == 2 && a[0] == "idle-floor") return perf::FloorIdle(Count(a[1]));
    if (a.size() == 2 && a[0] == "close-floor") return perf::FloorClose(Count(a[1]));
    if (a.size() == 2 && a[0] == "dialog-floor") return perf::FloorDialog(Count(a[1]));
    if (a.size() == 3 && a[0] == "load") return perf::LoadOnce(a[1], a[2]);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int child = RunChildMode(args);
    if (child >= 0) return child;
    perf::BenchOptions options;
    std::string error;
    if (!perf::ParseOptions(args, options, error)) {
        std::fprintf(stderr, "ovperf: %s\n%s", error.c_str(), perf::Usage().c_str());
        return 2;
    }
    return perf::Orchestrator(options).Run();
}
