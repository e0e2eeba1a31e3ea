#include "tests/support/RelHost.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/TextConvert.h"
#include "tests/support/CodePage.h"
#include "tests/support/DialogWatcher.h"
#include "tests/support/ImportPatch_win32.h"
#include "tests/support/Plugin.h"
#include "tests/support/TestSystemFunctions_win32.h"

namespace ovtest {

namespace {

constexpr char kHostVariable[] = "OV_REL_HOST";

constexpr char kMemoryVariable[] = "OV_REL_MEMORY";

void __stdcall IgnoreRing(OV_DATA, const char*, const char*) {}

PROCESS_MEMORY_COUNTERS Memory() {
    const auto query = ovtest::DynK32GetProcessMemoryInfo();
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (query) query(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// The host's run, in the copy of this program started with OV_REL_HOST.
[[noreturn]] void RunAsHost() {
    const PROCESS_MEMORY_COUNTERS before = Memory();
    Plugin plugin;
    if (!plugin.Load()) ExitProcess(10);
    plugin.Device().InitCallbackEx(0, &IgnoreRing);
    plugin.Device().InitDevice();
    DialogWatcher watcher(GetCurrentThreadId(), DialogAction::ClickOk);
    const OV_BOOL32 result = plugin.Device().ShowProperties(nullptr);
    const DialogView& view = watcher.View();
    plugin.Device().CloseDevice();
    std::printf("%s\n%s\n%s\n%d\n", platform::Utf8FromWide(view.Caption).c_str(),
                platform::Utf8FromWide(view.Label).c_str(), platform::Utf8FromWide(view.Button).c_str(), int(result));
    if (std::getenv(kMemoryVariable)) {
        const PROCESS_MEMORY_COUNTERS after = Memory();
        std::printf("%lu\n", static_cast<unsigned long>(after.PeakWorkingSetSize - before.WorkingSetSize));
    }
    std::fflush(stdout);
    plugin.Unload();
    ExitProcess(view.Found ? 0 : 12);
}

// The wake post that never returns: the reader stays inside the wake hook.
HANDLE g_inHook = nullptr;
BOOL WINAPI StuckPost(HWND, UINT, WPARAM, LPARAM) {
    SetEvent(g_inHook);
    Sleep(INFINITE);
    return FALSE;
}

// A host that exits with the device open while the reader is inside the
// wake hook, holding its lock; the system ends the reader first.
[[noreturn]] void ExitWithReaderInHook() {
    Plugin plugin;
    if (!plugin.Load()) ExitProcess(10);
    g_inHook = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ImportPatch stuck(plugin.Module(), "user32.dll", "PostMessageA", reinterpret_cast<void*>(&StuckPost));
    if (!stuck.Applied()) ExitProcess(11);
    plugin.Device().InitCallbackEx(0, &IgnoreRing);
    if (plugin.Device().InitDevice() != -1) ExitProcess(12);
    if (WaitForSingleObject(g_inHook, 5000) != WAIT_OBJECT_0) ExitProcess(13);
    ExitProcess(0);
}

const bool hostRan = [] {
    if (const char* mode = std::getenv(kHostVariable)) {
        if (std::strcmp(mode, "exit") == 0) ExitWithReaderInHook();
        RunAsHost();
    }
    return false;
}();

// The command that starts a copy of this program as the host.
std::string HostCommand(const RelHostDir& dir) { return "\"" + dir.PathOf(ProgramName()) + "\""; }

}  // namespace

RelHostDir::RelHostDir() {
    (void)hostRan;
    for (const std::string& file : {std::string("Orvale8.dll"), std::string("TmA4Drv.dll"), ProgramName()})
        ready_ = ready_ && dir_.CopyFromBin(file);
    ready_ = ready_ && dir_.Created();
}

std::int64_t RelHostDir::PeakMemory(DialogShown& shown, int timeoutMs) const {
    SetEnvironmentVariableA(kMemoryVariable, "1");
    shown = ShowDialog(timeoutMs);
    SetEnvironmentVariableA(kMemoryVariable, nullptr);
    if (shown.Lines.size() != 5) return -1;
    const std::int64_t peak = std::atoll(shown.Lines.back().c_str());
    shown.Lines.pop_back();
    return peak;
}

DialogShown RelHostDir::ShowDialog(int timeoutMs) const { return RunHost("1", timeoutMs); }

DialogShown RelHostDir::RunHost(const char* mode, int timeoutMs) const {
    const ProgramRun run =
        RunProgram(HostCommand(*this), Path(), timeoutMs, {std::string(kHostVariable) + "=" + mode});
    DialogShown shown;
    shown.ExitCode = run.ExitCode;
    shown.Ran = run.Succeeded();
    shown.Lines = run.Lines();
    return shown;
}

HANDLE RelHostDir::StartHost() const {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const platform::UniqueHandle nul(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                                 OPEN_EXISTING, 0, nullptr));
    return ChildProcess(HostCommand(*this), Path(), {std::string(kHostVariable) + "=1"}, nul.Get()).Release();
}

std::vector<std::string> RelHostDir::Listing() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((Path() + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ShownLines(const std::string& caption, const std::string& label, const std::string& button) {
    // The watcher reads window texts through a 256-character buffer.
    const auto shown = [](const std::string& text) {
        return platform::Utf8FromWide(platform::GbkToWide(text).substr(0, 255));
    };
    return {shown(caption), shown(label), shown(button), "-1"};
}

}  // namespace ovtest
