// ovhost: a host bench that uses Orvale8.dll the way a host application
// does (load it, register a callback, open the device, keep the loading
// thread's messages flowing, close, unload) and prints every event.
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/runtime/Paths.h"
#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/TextLines.h"
#include "platform/runtime/TextConvert.h"

#include "tools/host/Console.h"
#include "tools/host/CrashWhere.h"
#include "tools/host/InstallCheck.h"
#include "tools/host/MessageLoop.h"
#include "tools/host/Options.h"
#include "tools/host/PluginLibrary.h"
#include "tools/host/SimulatedBox.h"

namespace {

// Handed to the plug-in and expected back with every callback.
constexpr std::int32_t kHostData = 0x4F5638;

struct BenchClock {
    LARGE_INTEGER start{};
    LARGE_INTEGER frequency{};
    DWORD loadingThread = 0;
};
BenchClock g_clock;

double SecondsSinceStart() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart - g_clock.start.QuadPart) / double(g_clock.frequency.QuadPart);
}

std::string Format(const char* format, double a, const char* b, const char* c) {
    char line[128];
    std::snprintf(line, sizeof line, format, a, b, c);
    return line;
}

void __stdcall OnDeviceEvent(OV_DATA data, const char* text, const char* event) {
    const bool onLoadingThread = GetCurrentThreadId() == g_clock.loadingThread;
    std::string line = Format("%9.3f s  %-15s %-9s", SecondsSinceStart(),
                              onLoadingThread ? "loading thread" : "OTHER THREAD", event ? event : "(null)");
    line += platform::GbkToUtf8(text ? text : "");
    if (data != kHostData) line += "  (data " + std::to_string(data) + ", not the host's)";
    WriteOut(line + "\n");
}

// The scenario is played by the simulated box; a real driver has no such
// export. Malformed lines are reported and skipped.
bool StartReplay(HostOptions& options) {
    simdrv::ScenarioInfo info{};
    std::string error;
    const std::string& file = options.replay;
    if (!PlayOnSimulatedBox(options.replay, info, error)) {
        WriteErr("ovhost: " + (info.Events < 0 ? file + " " : std::string()) + error + "\n");
        return false;
    }
    for (const std::string& line : platform::SplitLines(info.Report)) WriteErr("ovhost: " + file + " " + line + "\n");
    // Its times count from here: the box is already enabled.
    char from[32];
    std::snprintf(from, sizeof from, " from %.3f s", SecondsSinceStart());
    WriteOut("ovhost: the simulated box plays " + file + " (" + (info.FromTrace ? "trace log, " : "") +
             std::to_string(info.Events) + " events, " + std::to_string(info.Problems) + " lines skipped; " +
             info.Encoding + ")" + std::string(from) + "\n");
    // Played once: run until two seconds after its last event (a poll every
    // 200 ms or so takes one event each) unless told otherwise.
    if (!options.secondsGiven && info.RepeatMs == 0)
        options.seconds = static_cast<int>((info.LastEventMs + 2999) / 1000);
    return true;
}

// The property dialog over a plain window standing in for the host's own.
void ShowDialog(decltype(&::ShowProperties) show) {
    const platform::UniqueWindow host(CreateWindowExA(0, "STATIC", "ovhost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 60,
                                                      640, 420, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    const OV_BOOL32 result = show(host.Get());
    WriteOut("ovhost: ShowProperties -> " + std::to_string(result) + "\n");
}

int RunDevice(const PluginFunctions& device, HostOptions options) {
    // The x64 plug-in's box is in its companion, started by the first open.
    const bool boxInCompanion = sizeof(void*) == 8 && !options.replay.empty();
    if (boxInCompanion) {
        PlayInCompanion(options.replay);
        WriteOut("ovhost: the simulated box in Orvale8Drv32.exe plays " + options.replay + " from the first open\n");
    }
    const OV_BOOL32 registered = device.InitCallbackEx(kHostData, OnDeviceEvent);
    const OV_BOOL32 opened = device.InitDevice();
    // After opening: a tracing driver loads the box behind it only then.
    if (!options.replay.empty() && !boxInCompanion && !StartReplay(options)) {
        device.CloseDevice();
        return 5;
    }
    WriteOut("ovhost: InitCallbackEx -> " + std::to_string(registered) + ", InitDevice -> " +
             std::to_string(opened) + "; pumping messages for " + std::to_string(options.seconds) + " s\n");
    if (options.dialog) ShowDialog(device.ShowProperties);
    const bool timedOut = RunMessageLoop(options.seconds);
    if (!timedOut) WriteOut("ovhost: interrupted\n");
    const OV_BOOL32 closed = device.CloseDevice();
    const char* lastError = device.GetLastError();
    WriteOut("ovhost: CloseDevice -> " + std::to_string(closed) + ", GetLastError -> \"" +
             platform::GbkToUtf8(lastError ? lastError : "") + "\"\n");
    return closed == OV_TRUE ? 0 : 1;
}

// The arguments in UTF-8, read from the wide command line: the ANSI ones
// lose what the code page cannot spell (a folder named in Chinese under code
// page 1252), and every path of the bench is UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    int count = 0;
    const platform::UniqueResource<LPWSTR*, &LocalFree> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (wide && count == argc)
        for (int i = 0; i < argc; ++i) args[i] = platform::Utf8FromWide(wide.Get()[i]);
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    std::vector<std::string> args = Utf8Arguments(argc, argv);
    std::vector<char*> utf8Argv;
    for (std::string& arg : args) utf8Argv.push_back(&arg[0]);
    if (!ParseOptions(argc, utf8Argv.data(), options, error)) {
        WriteErr("ovhost: " + error + "\n" + UsageText());
        return 2;
    }
    if (options.help) {
        WriteOut(UsageText());
        return 0;
    }
    if (!options.where.empty()) return RunWhere(options.where);
    if (options.check) return RunInstallCheck(options.checkDir.empty() ? platform::ExecutableDirectory() : options.checkDir);
    if (options.scenario && options.replay.empty()) options.replay = platform::ExecutableDirectory() + "demo.scenario";
    QueryPerformanceFrequency(&g_clock.frequency);
    QueryPerformanceCounter(&g_clock.start);
    g_clock.loadingThread = GetCurrentThreadId();

    int result;
    {
        PluginLibrary plugin("Orvale8.dll");
        if (!plugin.Loaded()) {
            WriteErr("ovhost: " + plugin.LoadFailure() + "\n");
            return 3;
        }
        PluginFunctions device;
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
