// The host bench's command line: --name, --name=value or --name value
// switches, each described once in a table, so a new switch is one more row.
#pragma once

#include <string>

struct HostOptions {
    int seconds = 5;        // how long the message loop runs
    bool secondsGiven = false;
    bool scenario = false;  // ask the simulated box for its demo scenario
    std::string replay;     // a scenario file or trace log for the simulated box
    bool dialog = false;    // open the property dialog over a host window
    bool check = false;     // look over a host's folder instead of running
    std::string checkDir;   // empty: the bench's own folder
    std::string where;      // a crash report's fault offset to look up
    bool help = false;
};

// Fills `options` from argv; on a bad switch returns false with `error` set.
bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error);

std::string UsageText();
