#include "tests/wine/support/RelHost.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/wine/DialogWatcher.h"
#include "tests/wine/support/CodePage.h"
#include "tests/wine/support/PeImage.h"
#include "tests/wine/support/Plugin.h"

namespace ovtest {

namespace {

constexpr char kHostVariable[] = "OV_REL_HOST";

constexpr char kMemoryVariable[] = "OV_REL_MEMORY";

void __stdcall IgnoreRing(std::int32_t, const char*, const char*) {}

PROCESS_MEMORY_COUNTERS Memory() {
    typedef BOOL(WINAPI * Query)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
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
    typedef std::int32_t(__stdcall * Show_t)(std::uint32_t);
    const auto show = reinterpret_cast<Show_t>(reinterpret_cast<void*>(plugin.ByName("ShowProperties")));
    if (!show) ExitProcess(11);
    plugin.Device().InitCallbackEx(0, &IgnoreRing);
    plugin.Device().InitDevice();
    DialogWatcher watcher(GetCurrentThreadId(), DialogAction::ClickOk);
    const std::int32_t result = show(0);
    const DialogView& view = watcher.View();
    plugin.Device().CloseDevice();
    std::printf("%s\n%s\n%s\n%d\n", Utf8(view.Caption).c_str(), Utf8(view.Label).c_str(), Utf8(view.Button).c_str(),
                int(result));
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

std::string ProgramName() {
    char path[MAX_PATH];
    const std::string full(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return full.substr(full.find_last_of("\\/") + 1);
}

std::string HostEnvironment(const char* mode) {
    std::string block;
    if (char* own = GetEnvironmentStringsA()) {
        for (const char* p = own; *p; p += std::strlen(p) + 1) block.append(p).push_back('\0');
        FreeEnvironmentStringsA(own);
    }
    block.append(kHostVariable).append("=").append(mode).push_back('\0');
    block.push_back('\0');
    return block;
}

// Reads what the pipe holds now, without waiting for more.
void DrainPipe(HANDLE pipe, std::string& into) {
    char buffer[4096];
    DWORD available = 0, read = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available &&
           ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read)
        into.append(buffer, read);
}

}  // namespace

RelHostDir::RelHostDir() {
    (void)hostRan;
    for (const std::string& file : {std::string("Orvale8.dll"), std::string("TmA4Drv.dll"), ProgramName()})
        ready_ = ready_ && dir_.CopyFromBin(file);
    ready_ = ready_ && dir_.Created();
}

// Starts the host with `output` as its standard output and error.
HANDLE RelHostDir::Launch(HANDLE output, const char* mode) const {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + PathOf(ProgramName()) + "\"";
    std::string environment = HostEnvironment(mode);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, &environment[0], Path().c_str(), &startup,
                        &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
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
    DialogShown shown;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return shown;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    const HANDLE host = Launch(writeEnd, mode);
    CloseHandle(writeEnd);
    std::string output;
    if (host) {
        // Never a blocking read: a process the host starts (Wine's own
        // services, when the host is the first of a session) may inherit
        // the pipe and keep it open long after the host has ended.
        const DWORD started = GetTickCount();
        bool timedOut = false;
        while (!timedOut && WaitForSingleObject(host, 20) == WAIT_TIMEOUT) {
            DrainPipe(readEnd, output);
            timedOut = GetTickCount() - started >= DWORD(timeoutMs);
        }
        if (timedOut) {
            TerminateProcess(host, 1);
            WaitForSingleObject(host, INFINITE);
        }
        DrainPipe(readEnd, output);
        DWORD code = 0;
        GetExitCodeProcess(host, &code);
        shown.ExitCode = code;
        shown.Ran = !timedOut && code == 0;
        CloseHandle(host);
    }
    CloseHandle(readEnd);
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        shown.Lines.push_back(line);
    }
    return shown;
}

HANDLE RelHostDir::StartHost() const {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                   0, nullptr);
    const HANDLE host = Launch(nul, "1");
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    return host;
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

std::string ReadBytes(const std::string& path) {
    // Shared for deletion too: a reader must not make a writer's replace fail.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
    CloseHandle(file);
    return bytes;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return bool(out.flush());
}

std::vector<std::string> ShownLines(const std::string& caption, const std::string& label, const std::string& button) {
    // The watcher reads window texts through a 256-character buffer.
    const auto shown = [](const std::string& text) { return Utf8(Wide936(text).substr(0, 255)); };
    return {shown(caption), shown(label), shown(button), "-1"};
}

}  // namespace ovtest
