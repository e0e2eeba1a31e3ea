// What the measuring processes share: the report lines they print, the idle
// window, and the timing of a dialog from the call to its first paint.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/perf/CpuMeter_win32.h"
#include "bench/perf/Timeline.h"

namespace perf {

// Lines of the ChildReport format (Samples.h) on standard output.
void EmitSample(const std::string& name, double value);
void EmitNote(const std::string& text);
void EmitError(const std::string& text);

// The hop times of `pairing`, without its first `warmup` events, and its
// unmatched events as errors.
void EmitPairing(const std::string& name, const Pairing& pairing, std::size_t warmup);

// The pause before the first poll and its first hop are the same for the
// plug-in and the floor, and cold; they are left out.
constexpr std::size_t kWarmupEvents = 1;

// One close trial: close_us, close_pause_us and close_tail_us (Timeline.h).
void EmitClose(std::int64_t called, std::int64_t lastPoll, std::int64_t returned);

struct IdleWindow {
    CpuReading Start, End;
    std::int64_t StartTime = 0, EndTime = 0;
};

// Pumps this thread's messages for a second to settle, then for `seconds`
// between two processor-time readings.
IdleWindow MeasureIdle(int seconds);
// The window's processor times, its length and the polls made within it.
void EmitIdle(const IdleWindow& window, const std::vector<PollRecord>& polls);

// Calls `show` (which must show a dialog and return when it is closed)
// 1 + `warm` times, each time timing the call to the dialog's first paint:
// samples dialog_cold_us for the first, dialog_warm_us for the rest.
void MeasureDialogs(const std::function<int()>& show, int warm);

}  // namespace perf
