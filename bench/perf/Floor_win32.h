// The floors' side of each figure, run in ovperf.exe (which loads the plug-in
// only to time its start-up and weigh it): ring-floor N, idle-floor SECONDS,
// close-floor TRIALS and dialog-floor WARM, the modes of Measure_win32.h on
// the bare hop and the platform's own dialog; and load FILE NAME: one cold
// LoadLibrary of FILE beside the program (NAME_us), the private bytes it
// added (NAME_bytes) and, when it exports InitDevice, those added by then with
// the device open (NAME_open_bytes).
#pragma once

#include <string>
#include <vector>

namespace perf {

// 0 when it measured, 1 when it could not, -1 when `args` name no mode.
int RunFloorMode(const std::vector<std::string>& args);

}  // namespace perf
