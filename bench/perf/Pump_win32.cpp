#include "bench/perf/Pump_win32.h"

#include "bench/perf/Clock_win32.h"

namespace perf {
namespace {

// Owns a thread timer.
class ThreadTimer {
public:
    explicit ThreadTimer(int ms) : id_(SetTimer(nullptr, 0, UINT(ms > 0 ? ms : 1), nullptr)) {}
    ~ThreadTimer() {
        if (id_) KillTimer(nullptr, id_);
    }
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;
    bool Fired(const MSG& msg) const { return msg.message == WM_TIMER && !msg.hwnd && msg.wParam == id_; }

private:
    UINT_PTR id_;
};

enum class LoopEnd { Quit, Timer };

LoopEnd Loop(int ms, int& quitCode) {
    ThreadTimer timer(ms);
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            quitCode = int(msg.wParam);
            return LoopEnd::Quit;
        }
        if (got < 0 || timer.Fired(msg)) return LoopEnd::Timer;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

bool RunUntilQuit(int timeoutMs) {
    int code = 0;
    return Loop(timeoutMs, code) == LoopEnd::Quit;
}

void PumpFor(int ms) {
    const std::int64_t end = Now() + std::int64_t(ms) * TicksPerSecond() / 1000;
    int code = 0;
    for (;;) {
        const double left = MicrosBetween(Now(), end) / 1000;
        if (left < 0.5) return;
        if (Loop(int(left + 0.5), code) == LoopEnd::Quit) {
            PostQuitMessage(code);
            return;
        }
    }
}

void WaitPumping(HANDLE handle) {
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;  // the caller's loop has ended already
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

}  // namespace perf
