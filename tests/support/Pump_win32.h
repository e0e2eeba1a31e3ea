// The host's side of the bargain: keep the loading thread's messages flowing.
#pragma once

#include <functional>

namespace ovtest {

// Dispatches this thread's messages until `done` holds (checked after every
// batch) or `timeoutMs` has passed; returns whether `done` held.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

// Dispatches this thread's messages for `ms` milliseconds.
void PumpFor(int ms);

}  // namespace ovtest
