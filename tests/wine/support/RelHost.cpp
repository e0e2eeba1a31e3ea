#include "tests/wine/support/RelHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/Handles_win32.h"
#include "tests/wine/DialogWatcher.h"
#include "tests/wine/support/CodePage.h"
#include "tests/wine/support/Plugin.h"

namespace ovtest {

namespace {

constexpr char kHostVariable[] = "OV_REL_HOST";

void __stdcall IgnoreRing(int, const char*, const char*) {}

// The host's run, in the copy of this program started with OV_REL_HOST.
[[noreturn]] void RunAsHost() {
    Plugin plugin;
    if (!plugin.Load()) ExitProcess(10);
    plugin.Device().InitCallbackEx(0, &IgnoreRing);
    plugin.Device().InitDevice();
    DialogWatcher watcher(GetCurrentThreadId(), DialogAction::ClickOk);
    const OV_BOOL32 result = plugin.Device().ShowProperties(nullptr);
    const DialogView& view = watcher.View();
    plugin.Device().CloseDevice();
    std::printf("%s\n%s\n%s\n%d\n", Utf8(view.Caption).c_str(), Utf8(view.Label).c_str(), Utf8(view.Button).c_str(),
                int(result));
    std::fflush(stdout);
    plugin.Unload();
    ExitProcess(view.Found ? 0 : 12);
}

const bool hostRan = [] {
    if (std::getenv(kHostVariable)) RunAsHost();
    return false;
}();

std::string ProgramName() {
    char path[MAX_PATH];
    const std::string full(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return full.substr(full.find_last_of("\\/") + 1);
}

// The command that starts a copy of this program as the host.
std::string HostCommand(const RelHostDir& dir) { return "\"" + dir.PathOf(ProgramName()) + "\""; }

}  // namespace

RelHostDir::RelHostDir() {
    (void)hostRan;
    for (const std::string& file : {std::string("Orvale8.dll"), std::string("TmA4Drv.dll"), ProgramName()})
        ready_ = ready_ && dir_.CopyFromBin(file);
    ready_ = ready_ && dir_.Created();
}

DialogShown RelHostDir::ShowDialog(int timeoutMs) const {
    const ProgramRun run = RunProgram(HostCommand(*this), Path(), timeoutMs, {std::string(kHostVariable) + "=1"});
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
    const auto shown = [](const std::string& text) { return Utf8(Wide936(text).substr(0, 255)); };
    return {shown(caption), shown(label), shown(button), "-1"};
}

}  // namespace ovtest
