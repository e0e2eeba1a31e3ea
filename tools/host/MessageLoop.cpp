#include "tools/host/MessageLoop.h"

#include <windows.h>

namespace {

DWORD g_loopThread = 0;

// Runs on a thread of its own: asks the loop to end instead of letting the
// process die with the device open.
BOOL WINAPI OnConsoleBreak(DWORD) {
    PostThreadMessageA(g_loopThread, WM_QUIT, 0, 0);
    return TRUE;
}

// Owns the thread timer that ends the loop.
class LoopTimer {
public:
    explicit LoopTimer(UINT ms) : id_(SetTimer(nullptr, 0, ms, nullptr)) {}
    ~LoopTimer() {
        if (id_) KillTimer(nullptr, id_);
    }
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;
    bool Fired(const MSG& msg) const { return msg.message == WM_TIMER && !msg.hwnd && msg.wParam == id_; }

private:
    UINT_PTR id_;
};

}  // namespace

bool RunMessageLoop(int seconds) {
    if (seconds <= 0) return true;
    g_loopThread = GetCurrentThreadId();
    SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
    // Longer than the timer can count (some 24 days) is as long as it can:
    // never a product that wraps around to a few seconds.
    const long long ms = seconds * 1000LL;
    LoopTimer timer(static_cast<UINT>(ms < USER_TIMER_MAXIMUM ? ms : USER_TIMER_MAXIMUM));
    MSG msg;
    bool timedOut = false;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (timer.Fired(msg)) {
            timedOut = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    SetConsoleCtrlHandler(OnConsoleBreak, FALSE);
    return timedOut;
}
