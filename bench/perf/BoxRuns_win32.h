// The measuring modes that work wherever the simulated driver runs: loaded
// in this process (the 32-bit plug-in) or in the 64-bit plug-in's 32-bit
// companion. The box plays its rings from TmA4Drv.scenario beside it (the
// orchestrator writes it), the driver publishes each poll's entry time in a
// shared memory this process creates, and processor time is read from Linux
// for the host and its companion alike.
#pragma once

#include <string>
#include <vector>

#include "bench/perf/Measure_win32.h"

namespace perf {

// The scenario of `events` rings, every one due at once: each poll hands out
// the next, as the queued rings of the in-process modes do.
std::string RingScenario(int events);

// Runs a mode on `side`; 0, or 1 when it could not measure; -1 for no mode.
//   ring-box N     N rings: hop_us, from TV_GetEvent's entry in the driver
//   idle-box SECS  open, no rings: idle_host_us, idle_companion_us (Linux's
//                  count of each process's threads), idle_wall_us, idle_polls
int RunBoxSide(const std::vector<std::string>& args, Side& side);

}  // namespace perf
