#include "bench/perf/FloorHop_win32.h"

#include "bench/perf/Clock_win32.h"
#include "bench/perf/Events.h"
#include "bench/perf/Pump_win32.h"

namespace perf {
namespace {

const char kClassName[] = "OvPerfFloorHop";
constexpr UINT kHopMessage = WM_APP + 1;
constexpr DWORD kPause = 200;

void RegisterHopClass(WNDPROC proc) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);  // fails harmlessly when already registered
}

}  // namespace

bool DriverCalls::Find(HMODULE driver) {
    if (!driver) return false;
    Initialize = reinterpret_cast<decltype(Initialize)>(reinterpret_cast<void*>(GetProcAddress(driver, "TV_Initialize")));
    GetEvent = reinterpret_cast<decltype(GetEvent)>(reinterpret_cast<void*>(GetProcAddress(driver, "TV_GetEvent")));
    return Initialize && GetEvent;
}

FloorHop::FloorHop(const DriverCalls& driver, int expectedEvents)
    : driver_(driver),
      ran_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      arrivals_(std::size_t(expectedEvents), -1),
      returns_(std::size_t(expectedEvents), -1) {
    RegisterHopClass(&FloorHop::Proc);
    window_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
    if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

FloorHop::~FloorHop() {
    Stop();
    if (window_) DestroyWindow(window_);
}

void FloorHop::Start() {
    if (!thread_ && Ready()) thread_.Reset(CreateThread(nullptr, 0, &FloorHop::Worker, this, 0, nullptr));
}

void FloorHop::Stop() {
    if (!thread_) return;
    stop_ = true;
    WaitPumping(thread_.Get());
    thread_.Reset();
}

DWORD WINAPI FloorHop::Worker(void* self) {
    auto* hop = static_cast<FloorHop*>(self);
    while (!hop->stop_) hop->Cycle();
    return 0;
}

void FloorHop::Cycle() {
    Sleep(kPause);
    TDriverEvent record{};
    int index = -1;
    if (driver_.GetEvent(&record) > 0) index = EventIndex(record.Text, sizeof record.Text);
    PostMessageA(window_, kHopMessage, WPARAM(index + 1), 0);
    WaitForSingleObject(ran_.Get(), INFINITE);
    if (index >= 0 && std::size_t(index) < returns_.size()) returns_[std::size_t(index)] = Now();
}

LRESULT CALLBACK FloorHop::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const std::int64_t entered = Now();
    if (message != kHopMessage) return DefWindowProcA(window, message, wParam, lParam);
    auto* hop = reinterpret_cast<FloorHop*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    const std::size_t index = std::size_t(wParam) - 1;
    if (wParam && index < hop->arrivals_.size()) {
        hop->arrivals_[index] = entered;
        if (++hop->arrived_ == int(hop->arrivals_.size())) PostQuitMessage(0);
    }
    SetEvent(hop->ran_.Get());
    return 0;
}

}  // namespace perf
