// The host thread's plain message loop, GetMessage and DispatchMessage, as a
// host application runs it.
#pragma once

#include <windows.h>

namespace perf {

// Runs the loop until a WM_QUIT arrives (true) or `timeoutMs` have passed
// (false); a thread timer ends it, so nothing polls.
bool RunUntilQuit(int timeoutMs);

// Runs the loop for `ms` milliseconds, or until a WM_QUIT, which it posts
// again for the caller's loop.
void PumpFor(int ms);

// Waits for `handle` while dispatching this thread's messages.
void WaitPumping(HANDLE handle);

}  // namespace perf
