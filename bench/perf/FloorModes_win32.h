// The floors' side of each figure, run in ovperf.exe, which never loads the
// plug-in.
#pragma once

#include <string>

namespace perf {

// The bare hop (FloorHop_win32.h) with ring events: hop_us and roundtrip_us
// (until the worker is back from its wait).
int FloorRing(int events);
// The bare hop without events: the idle window's samples.
int FloorIdle(int seconds);
// The bare hop's worker stopped at the moments the plug-in's reader is
// (CloseDelayMs), waited for while pumping messages: the close samples.
int FloorClose(int trials);
// The platform's dialog (FloorDialog_win32.h) to its first paint, cold then warm.
int FloorDialog(int warm);
// LoadLibrary of `file` beside the program, as sample `name`; the only thing
// the process does, so the load is cold.
int LoadOnce(const std::string& file, const std::string& name);

}  // namespace perf
