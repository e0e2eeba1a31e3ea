// The floor of the reader's hop to the host thread: a bare worker thread
// that, after each 200 ms pause, polls the simulated driver, posts a message
// to a message-only window of the host thread and blocks until its window
// procedure has run. That is the plug-in's path with nothing of ours in
// between: the same driver, pause, post and wait.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "bench/perf/Handle_win32.h"
#include "device/usbid.h"

namespace perf {

struct DriverCalls {
    std::int32_t(__stdcall* Initialize)() = nullptr;
    std::int32_t(__stdcall* GetEvent)(TDriverEvent*) = nullptr;
    bool Find(HMODULE driver);
};

class FloorHop {
public:
    // Arrivals are kept for events 0 to expected-1; the host thread gets a
    // WM_QUIT when the last of them has arrived.
    FloorHop(const DriverCalls& driver, int expectedEvents);
    ~FloorHop();  // stops the worker
    FloorHop(const FloorHop&) = delete;
    FloorHop& operator=(const FloorHop&) = delete;

    bool Ready() const { return window_ && ran_; }
    void Start();
    // Asks the worker to stop after its cycle and waits for it, dispatching
    // this thread's messages meanwhile so that its last post can run.
    void Stop();

    // QueryPerformanceCounter times per event (negative: none): when the
    // window procedure was entered, and when the worker came back.
    const std::vector<std::int64_t>& Arrivals() const { return arrivals_; }
    const std::vector<std::int64_t>& Returns() const { return returns_; }

private:
    static DWORD WINAPI Worker(void* self);
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Cycle();

    DriverCalls driver_;
    HWND window_ = nullptr;
    UniqueHandle ran_;
    UniqueHandle thread_;
    std::atomic<bool> stop_{false};
    std::vector<std::int64_t> arrivals_, returns_;
    int arrived_ = 0;
};

}  // namespace perf
