// The orchestrator's command line: how long each figure measures, and which
// figures to run.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace perf {

struct BenchOptions {
    int Events = 300;       // ring events, for the plug-in and for the floor each
    int IdleSeconds = 60;   // idle window, for the plug-in and for the floor each
    int CloseTrials = 30;
    int LoadRounds = 10;    // fresh processes per start-up variant
    int DialogRounds = 6;   // fresh processes per dialog variant: one cold call each
    int WarmDialogs = 5;    // warm calls after the cold one
    std::set<std::string> Only;  // figures to run; empty for all
};

const std::vector<std::string>& FigureGroups();  // ring idle close load dialog

// --events=N --idle-seconds=N --close-trials=N --load-rounds=N
// --dialog-rounds=N --warm-dialogs=N --only=group[,group...] --quick
// false with a message on an unknown option, a bad number or group.
bool ParseOptions(const std::vector<std::string>& args, BenchOptions& options, std::string& error);

bool Wants(const BenchOptions& options, const std::string& group);

std::string Usage();

// Splits `total` into rounds of at most `chunk`, as even as can be. The
// plug-in and its floor alternate round by round, so that a change in the
// machine's load during the run falls on both alike.
std::vector<int> SplitIntoRounds(int total, int chunk);

}  // namespace perf
