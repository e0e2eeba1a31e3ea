#include "bench/perf/PaintProbe_win32.h"

#include "bench/perf/Clock_win32.h"

namespace perf {
namespace {

// Hook procedures take no context, and the probe watches one thread.
struct ProbeState {
    bool armed = false;
    HWND window = nullptr;
    WNDPROC original = nullptr;
    std::int64_t paintedAt = 0;
};
ProbeState state;

LRESULT CALLBACK WatchedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC original = state.original;
    const LRESULT result = CallWindowProcW(original, window, message, wParam, lParam);
    if (message == WM_PAINT && window == state.window && !state.paintedAt) {
        state.paintedAt = Now();
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (message == WM_NCDESTROY && window == state.window) state.window = nullptr;
    return result;
}

void Watch(HWND window) {
    if (window != state.window || state.original) return;
    state.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchedProc)));
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && state.armed && !state.window) {
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        // A dialog has a title bar; tool tips and message-only windows do not.
        if (!(create->style & WS_CHILD) && (create->style & WS_CAPTION) == WS_CAPTION) {
            state.window = reinterpret_cast<HWND>(wParam);
            state.armed = false;
        }
    } else if (code == HCBT_ACTIVATE) {
        Watch(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

FirstPaintProbe::FirstPaintProbe() : hook_(SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId())) {}

FirstPaintProbe::~FirstPaintProbe() {
    if (hook_) UnhookWindowsHookEx(hook_);
    state = ProbeState{};
}

void FirstPaintProbe::Arm() { state = ProbeState{true}; }

std::int64_t FirstPaintProbe::PaintedAt() const { return state.paintedAt; }

}  // namespace perf
