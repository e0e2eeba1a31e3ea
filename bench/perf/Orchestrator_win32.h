// The benchmark as a whole: runs every measuring process from private
// directories, floors beside the plug-in and alternating with it, and prints
// the table and the figure lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bench/perf/Options.h"
#include "bench/perf/Report.h"
#include "bench/perf/Samples.h"
#include "bench/perf/Workspace_win32.h"

namespace perf {

class Orchestrator {
public:
    explicit Orchestrator(const BenchOptions& options) : options_(options) {}
    // 0 when every measurement ran; the goals do not change it.
    int Run();

private:
    bool Prepare();
    void Load();
    void Dialog();
    void Ring();
    void Close();
    void Idle();
    void Print() const;

    // Runs a program of the benchmark in `dir` and adds its report to
    // `into`; a failure of the child is noted and fails the run.
    void RunIn(const PrivateDir& dir, const std::string& program, const std::string& arguments, int timeoutMs,
               ChildReport& into);
    void Progress(const std::string& text) const;
    void Add(const std::vector<Figure>& figures) { figures_.insert(figures_.end(), figures.begin(), figures.end()); }
    // The median time of the floor's round trip, measured if Ring did not.
    double RoundTripFloorUs();

    BenchOptions options_;
    std::string bin_;
    std::unique_ptr<PrivateDir> plain_;  // programs and DLLs, no configuration files
    std::vector<Figure> figures_;
    std::vector<std::string> notes_;
    std::vector<double> roundTrips_;
    bool failed_ = false;
};

}  // namespace perf
