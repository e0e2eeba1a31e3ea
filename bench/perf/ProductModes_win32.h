// The plug-in's side of each figure, run in ovperf_host.exe, a host linked
// with Orvale8.dll through the SDK's import library, as host vendors build.
#pragma once

namespace perf {

// Ring events through the plug-in to a callback, the host in a plain
// GetMessage loop: samples hop_us.
int ProductRing(int events);
// The device open, no events: the idle window's samples.
int ProductIdle(int seconds);
// CloseDevice at spread-out moments of the poll cycle: close_us,
// close_pause_us and close_tail_us per trial.
int ProductClose(int trials);
// ShowProperties to its first paint, cold then warm.
int ProductDialog(int warm);

}  // namespace perf
