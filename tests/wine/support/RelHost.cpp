#include "tests/wine/support/RelHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

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

std::string HostEnvironment() {
    std::string block;
    if (char* own = GetEnvironmentStringsA()) {
        for (const char* p = own; *p; p += std::strlen(p) + 1) block.append(p).push_back('\0');
        FreeEnvironmentStringsA(own);
    }
    block.append(kHostVariable).append("=1").push_back('\0');
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
HANDLE RelHostDir::Launch(HANDLE output) const {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + PathOf(ProgramName()) + "\"";
    std::string environment = HostEnvironment();
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, &environment[0], Path().c_str(), &startup,
                        &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

DialogShown RelHostDir::ShowDialog(int timeoutMs) const {
    DialogShown shown;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return shown;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    const HANDLE host = Launch(writeEnd);
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
    const HANDLE host = Launch(nul);
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

std::vector<std::string> ShownLines(const std::string& caption, const std::string& label, const std::string& button) {
    // The watcher reads window texts through a 256-character buffer.
    const auto shown = [](const std::string& text) { return Utf8(Wide936(text).substr(0, 255)); };
    return {shown(caption), shown(label), shown(button), "-1"};
}

}  // namespace ovtest
