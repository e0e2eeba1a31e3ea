// ovperf_host: the plug-in's measuring processes, a host linked with
// Orvale8.dll through the SDK.
//   ovperf_host ring N | idle SECONDS | close TRIALS | dialog WARM
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/perf/ProductModes_win32.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: ovperf_host ring N | idle SECONDS | close TRIALS | dialog WARM\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int n = std::atoi(argv[2]);
    if (mode == "ring") return perf::ProductRing(n);
    if (mode == "idle") return perf::ProductIdle(n);
    if (mode == "close") return perf::ProductClose(n);
    if (mode == "dialog") return perf::ProductDialog(n);
    std::fprintf(stderr, "ovperf_host: unknown mode '%s'\n", mode.c_str());
    return 2;
}
