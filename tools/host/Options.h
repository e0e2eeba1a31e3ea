// The host bench's command line: --name, --name=value or --name value
// switches, each described once in a table, so a new switch is one more row.
#pragma once

#include <string>

struct HostOptions {
    int Seconds = 5;        // how long the message loop runs
    bool SecondsGiven = false;
    bool Scenario = false;  // ask the simulated box for its demo scenario
    std::string Replay;     // a scenario file or trace log for the simulated box
    bool Dialog = false;    // open the property dialog over a host window
    bool Check = false;     // look over a host's folder instead of running
    std::string CheckDir;   // empty: the bench's own folder
    bool Help = false;
};

// Fills `options` from argv; on a bad switch returns false with `error` set.
bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error);

std::string UsageText();
