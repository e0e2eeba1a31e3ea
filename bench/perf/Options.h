// The orchestrator's command line: how long each figure measures, and which.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace perf {

struct BenchOptions {
    int events = 300;       // ring events, for the plug-in and for the floor each
    int idleSeconds = 60;   // idle window, for the plug-in and for the floor each
    int closeTrials = 30;
    int loadRounds = 10;    // fresh processes per start-up variant
    // Fresh processes per dialog variant, one cold call each: with six, the
    // median of either figure moved by a tenth of the floor from run to run.
    int dialogRounds = 30;
    int warmDialogs = 5;    // warm calls after the cold one
    std::set<std::string> only;  // figure groups to run (ring idle close load dialog x64); empty for all
    // The x64 build's bin folder: when given, the run measures the 64-bit
    // plug-in beside the 32-bit one (group x64) and nothing else, as it runs
    // in a 64-bit Wine prefix, where the 32-bit figures are not those of a
    // 32-bit one.
    std::string x64Bin;

    bool Wants(const std::string& group) const { return only.empty() || only.count(group) > 0; }
};

// Applies the options in order (Usage); false with a message on an unknown
// option, a bad number or group.
bool ParseOptions(const std::vector<std::string>& args, BenchOptions& options, std::string& error);
std::string Usage();

// Splits `total` into rounds of at most `chunk`, as even as can be. The
// plug-in and its floor alternate round by round, so that a change in the
// machine's load during the run falls on both alike.
std::vector<int> SplitIntoRounds(int total, int chunk);

}  // namespace perf
