#include "tests/support/Pump_win32.h"

#include <windows.h>

namespace ovtest {

namespace {

void DispatchWaiting() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const DWORD started = GetTickCount(), limit = static_cast<DWORD>(timeoutMs);
    for (;;) {
        DispatchWaiting();
        if (done && done()) return true;
        const DWORD elapsed = GetTickCount() - started;
        if (elapsed >= limit) return false;
        // Short waits: `done` may turn true without a message (a poll logged).
        const DWORD wait = limit - elapsed < 20 ? limit - elapsed : 20;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

void PumpFor(int ms) { PumpUntil(nullptr, ms); }

}  // namespace ovtest
