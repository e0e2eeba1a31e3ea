// The host bench's command line: --name or --name=value switches, each
// described once in a table, so a new switch is one more row.
#pragma once

#include <string>

struct HostOptions {
    int Seconds = 5;        // how long the message loop runs
    bool Scenario = false;  // ask the simulated box for its demo scenario
    bool Dialog = false;    // open the property dialog over a host window
    bool Help = false;
};

// Fills `options` from argv; on a bad switch returns false with `error` set.
bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error);

std::string UsageText();
