// ovhost: a host bench that uses Orvale8.dll the way a host application
// does (load it, register a callback, open the device, keep the loading
// thread's messages flowing, close, unload) and prints every event.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/host/Console.h"
#include "tools/host/MessageLoop.h"
#include "tools/host/Options.h"
#include "tools/host/PluginLibrary.h"
#include "tools/simdrv/SimDrvControl.h"

namespace {

// Handed to the plug-in and expected back with every callback.
constexpr std::int32_t kHostData = 0x4F5638;

struct BenchClock {
    LARGE_INTEGER Start{};
    LARGE_INTEGER Frequency{};
    DWORD LoadingThread = 0;
};
BenchClock g_clock;

double SecondsSinceStart() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart - g_clock.Start.QuadPart) / double(g_clock.Frequency.QuadPart);
}

std::string Format(const char* format, double a, const char* b, const char* c) {
    char line[128];
    std::snprintf(line, sizeof line, format, a, b, c);
    return line;
}

void __stdcall OnDeviceEvent(std::int32_t data, const char* text, const char* event) {
    const bool onLoadingThread = GetCurrentThreadId() == g_clock.LoadingThread;
    std::string line = Format("%9.3f s  %-15s %-9s", SecondsSinceStart(),
                              onLoadingThread ? "loading thread" : "OTHER THREAD", event ? event : "(null)");
    line += Cp936ToUtf8(text);
    if (data != kHostData) line += "  (data " + std::to_string(data) + ", not the host's)";
    WriteOut(line + "\n");
}

// The demo scenario is the simulated box's; a real driver has no such export.
// Behind the tracing driver the simulated box carries the vendor's file name.
void StartDemoScenario() {
    SimDrv_StartScenario_t start = nullptr;
    for (const char* name : {"TmA4Drv.dll", "TmA4Drv_vendor.dll"}) {
        const HMODULE driver = GetModuleHandleA(name);
        if (driver && !start)
            start = reinterpret_cast<SimDrv_StartScenario_t>(
                reinterpret_cast<void*>(GetProcAddress(driver, "SimDrv_StartScenario")));
    }
    if (start && start(simdrv::scDemo))
        WriteOut("ovhost: the simulated box plays its demo scenario\n");
    else
        WriteErr("ovhost: TmA4Drv.dll is not the simulated box; no scenario\n");
}

// The property dialog over a plain window standing in for the host's own.
void ShowDialog() {
    const HMODULE plugin = GetModuleHandleA("Orvale8.dll");
    const auto show = reinterpret_cast<decltype(&::ShowProperties)>(
        reinterpret_cast<void*>(plugin ? GetProcAddress(plugin, "ShowProperties") : nullptr));
    if (!show) {
        WriteErr("ovhost: Orvale8.dll has no export ShowProperties\n");
        return;
    }
    HWND host = CreateWindowExA(0, "STATIC", "ovhost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 60, 640, 420, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    const OV_BOOL32 result = show(host);
    WriteOut("ovhost: ShowProperties -> " + std::to_string(result) + "\n");
    if (host) DestroyWindow(host);
}

int RunDevice(const DeviceFunctions& device, const HostOptions& options) {
    const OV_BOOL32 registered = device.InitCallbackEx(kHostData, OnDeviceEvent);
    const OV_BOOL32 opened = device.InitDevice();
    // After opening: a tracing driver loads the box behind it only then.
    if (options.Scenario) StartDemoScenario();
    WriteOut("ovhost: InitCallbackEx -> " + std::to_string(registered) + ", InitDevice -> " +
             std::to_string(opened) + "; pumping messages for " + std::to_string(options.Seconds) + " s\n");
    if (options.Dialog) ShowDialog();
    const bool timedOut = RunMessageLoop(options.Seconds);
    if (!timedOut) WriteOut("ovhost: interrupted\n");
    const OV_BOOL32 closed = device.CloseDevice();
    const char* lastError = device.GetLastError();
    WriteOut("ovhost: CloseDevice -> " + std::to_string(closed) + ", GetLastError -> \"" +
             Cp936ToUtf8(lastError) + "\"\n");
    return closed == OV_TRUE ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        WriteErr("ovhost: " + error + "\n" + UsageText());
        return 2;
    }
    if (options.Help) {
        WriteOut(UsageText());
        return 0;
    }
    QueryPerformanceFrequency(&g_clock.Frequency);
    QueryPerformanceCounter(&g_clock.Start);
    g_clock.LoadingThread = GetCurrentThreadId();

    int result;
    {
        PluginLibrary plugin("Orvale8.dll");
        if (!plugin.Loaded()) {
            WriteErr("ovhost: cannot load " + plugin.Path() + " (error " + std::to_string(plugin.LoadError()) + ")\n");
            return 3;
        }
        DeviceFunctions device;
        if (!plugin.Resolve(device, error)) {
            WriteErr("ovhost: Orvale8.dll has no export " + error + "\n");
            return 4;
        }
        WriteOut("ovhost: loaded " + plugin.Path() + "\n");
        result = RunDevice(device, options);
    }
    WriteOut("ovhost: unloaded\n");
    return result;
}
