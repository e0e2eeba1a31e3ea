#include "bench/perf/Floor_win32.h"

#include <windows.h>

#include <atomic>

#include "bench/perf/Measure_win32.h"
#include "device/usbid.h"
#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Proc_win32.h"
#include "tests/support/ProcessMemory_win32.h"
#include "tests/support/Pump_win32.h"
#include "tests/support/SimDriver_win32.h"

namespace perf {
namespace {

const char kClassName[] = "OvPerfFloorHop";
constexpr UINT kHopMessage = WM_APP + 1;
constexpr DWORD kPauseMs = 200;

// The floor of the reader's hop to the host thread: a bare worker thread
// that, after each 200 ms pause, polls the simulated driver (loaded as the
// plug-in loads it, from beside the program), posts a message to a
// message-only window of the host thread and blocks until its window
// procedure has run. The plug-in's path with nothing of ours in between.
class FloorSide : public Side {
public:
    FloorSide() : driver_(LoadLibraryA((platform::ExecutableDirectory() + "TmA4Drv.dll").c_str())) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &FloorSide::Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        RegisterClassA(&wc);
        window_.Reset(CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr));
        SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~FloorSide() override { Close(); }

    bool Open() override {
        const auto initialize = ovtest::Proc<std::int32_t(__stdcall*)()>(driver_, "TV_Initialize");
        if (!window_ || !ran_ || !getEvent_ || !initialize) return false;
        initialize();
        stop_ = false;
        thread_.Reset(CreateThread(nullptr, 0, &FloorSide::Worker, this, 0, nullptr));
        return bool(thread_);
    }
    // Waits dispatching this thread's messages, so that the last post can run.
    void Close() override {
        stop_ = true;
        if (thread_) ovtest::WaitPumping(thread_.Get());
        thread_.Reset();
    }
    int ShowDialog() override {
        return int(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(100), nullptr, DialogProc, 0));
    }

private:
    static DWORD WINAPI Worker(void* self) {
        auto* side = static_cast<FloorSide*>(self);
        while (!side->stop_) side->Cycle();
        return 0;
    }

    void Cycle() {
        Sleep(kPauseMs);
        TDriverEvent record{};
        const int index = getEvent_(&record) > 0 ? EventIndex(record.Text, sizeof record.Text) : -1;
        PostMessageA(window_.Get(), kHopMessage, WPARAM(index + 1), 0);
        WaitForSingleObject(ran_.Get(), INFINITE);
        if (index >= 0 && std::size_t(index) < Returns.size()) Returns[std::size_t(index)] = ovtest::PerformanceNow();
    }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        const std::int64_t entered = ovtest::PerformanceNow();
        if (message != kHopMessage) return DefWindowProcA(window, message, wParam, lParam);
        auto* side = reinterpret_cast<FloorSide*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        side->Arrived(int(wParam) - 1, entered);
        SetEvent(side->ran_.Get());
        return 0;
    }

    // The floor of the property dialog (FloorDialog.rc): the platform's own.
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        const bool ends = message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL);
        if (ends || message == WM_CLOSE) EndDialog(dialog, ends ? LOWORD(wParam) : IDCANCEL);
        return message == WM_INITDIALOG || ends || message == WM_CLOSE;
    }

    HMODULE driver_;
    std::int32_t(__stdcall* getEvent_)(TDriverEvent*) = ovtest::Proc<decltype(getEvent_)>(driver_, "TV_GetEvent");
    platform::UniqueWindow window_;
    platform::UniqueHandle ran_{CreateEventA(nullptr, FALSE, FALSE, nullptr)}, thread_;
    std::atomic<bool> stop_{false};
};

int LoadOnce(const std::string& file, const std::string& name) {
    const std::uint64_t before = ovtest::PrivateCommittedBytes();
    const std::int64_t start = ovtest::PerformanceNow();
    const HMODULE module = LoadLibraryA((platform::ExecutableDirectory() + file).c_str());
    const std::int64_t loaded = ovtest::PerformanceNow();
    if (!module) return EmitError("LoadLibrary(" + file + ") failed with error " + std::to_string(GetLastError())), 1;
    EmitSample(name + "_us", ovtest::MsBetween(start, loaded) * 1000);
    EmitSample(name + "_bytes", double(ovtest::PrivateCommittedBytes()) - double(before));
    const auto initDevice = ovtest::Proc<int(__stdcall*)()>(module, "InitDevice");
    if (!initDevice) return 0;
    const std::int64_t opening = ovtest::PerformanceNow();
    if (!initDevice()) return EmitError("InitDevice failed"), 1;
    EmitSample(name + "_init_us", ovtest::MsBetween(opening, ovtest::PerformanceNow()) * 1000);
    ovtest::PumpFor(500);  // the reader's first polls and marshalled calls
    EmitSample(name + "_open_bytes", double(ovtest::PrivateCommittedBytes()) - double(before));
    ovtest::Proc<int(__stdcall*)()>(module, "CloseDevice")();
    return 0;
}

}  // namespace

int RunFloorMode(const std::vector<std::string>& args) {
    if (args.size() == 3 && args[0] == "load") return LoadOnce(args[1], args[2]);
    const std::string mode = args.empty() ? "" : args[0];
    const std::size_t cut = mode.size() > 6 ? mode.size() - 6 : 0;
    if (mode.compare(cut, std::string::npos, "-floor") != 0) return -1;
    FloorSide side;
    return RunSide({mode.substr(0, cut), args.size() == 2 ? args[1] : ""}, side);
}

}  // namespace perf
