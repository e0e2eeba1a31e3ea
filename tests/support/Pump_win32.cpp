#include "tests/support/Pump_win32.h"

namespace ovtest {

namespace {

// Dispatches what is waiting; false when a WM_QUIT came.
bool DispatchWaiting() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

double MsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

enum class End { Done, Quit, Time };

End Pump(const std::function<bool()>& done, int timeoutMs, bool endOnQuit) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    for (;;) {
        if (!DispatchWaiting() && endOnQuit) return End::Quit;
        if (done && done()) return End::Done;
        const double left = timeoutMs - MsSince(start);
        if (left < 0.5) return End::Time;
        const DWORD wait = DWORD(left + 0.5);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, done && wait > 20 ? 20 : wait, QS_ALLINPUT);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) { return Pump(done, timeoutMs, false) == End::Done; }

void PumpFor(int ms) { Pump(nullptr, ms, false); }

bool RunUntilQuit(int timeoutMs) { return Pump(nullptr, timeoutMs, true) == End::Quit; }

void WaitPumping(HANDLE handle) {
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        DispatchWaiting();  // a WM_QUIT here is late: the caller's loop has ended already
}

}  // namespace ovtest
