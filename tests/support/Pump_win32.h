// The host's side of the bargain: keep the loading thread's messages flowing.
// Every wait is one MsgWaitForMultipleObjects, so a pump that waits for time
// alone costs no more than a host's GetMessage loop (the benchmark measures
// idle processor time through it).
#pragma once

#include <windows.h>

#include <functional>

namespace ovtest {

// Dispatches this thread's messages until `done` holds (checked after every
// batch, and every 20 ms since it may turn true without a message) or
// `timeoutMs` has passed; returns whether `done` held. A WM_QUIT is dropped.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

// Dispatches this thread's messages for `ms` milliseconds.
void PumpFor(int ms);

// Dispatches until a WM_QUIT arrives (true) or `timeoutMs` has passed.
bool RunUntilQuit(int timeoutMs);

// Waits for `handle` while dispatching this thread's messages.
void WaitPumping(HANDLE handle);

}  // namespace ovtest
