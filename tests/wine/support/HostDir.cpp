#include "tests/wine/support/HostDir.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "tests/wine/support/Plugin.h"

namespace ovtest {

namespace {

constexpr char kProbeVariable[] = "OV_PROBE_LOAD";

// The probe mode of the test program itself, decided before GoogleTest runs.
const bool probeRan = [] {
    const char* file = std::getenv(kProbeVariable);
    if (!file || !*file) return false;
    const HMODULE module = LoadLibraryA((ProgramDirectory() + file).c_str());
    ExitProcess(module ? 0 : ::GetLastError());
}();

std::string ProgramFileName() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full(path, length);
    return full.substr(full.find_last_of("\\/") + 1);
}

// Owns a kernel handle.
class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() {
        if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    HANDLE* out() { return &h_; }

private:
    HANDLE h_;
};

// The environment block of this process plus `extra` entries.
std::string EnvironmentWith(const std::vector<std::string>& extra) {
    std::string block;
    if (char* own = GetEnvironmentStringsA()) {
        for (const char* p = own; *p; p += std::strlen(p) + 1) block.append(p).push_back('\0');
        FreeEnvironmentStringsA(own);
    }
    for (const std::string& entry : extra) block.append(entry).push_back('\0');
    block.push_back('\0');
    return block;
}

void DeleteTree(const std::string& dir) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(dir + name + "\\");
            else
                DeleteFileA((dir + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

PrivateHostDir::PrivateHostDir() {
    static std::atomic<unsigned> serial{0};
    char temp[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, temp)) return;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = std::string(temp) + "ovhost-" + std::to_string(GetCurrentProcessId()) + "-" +
                                      std::to_string(serial++) + "\\";
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
}

PrivateHostDir::~PrivateHostDir() {
    if (!path_.empty()) DeleteTree(path_);
}

bool PrivateHostDir::CopyFromBin(const std::string& fileName, const std::string& as) const {
    return Created() &&
           CopyFileA((ProgramDirectory() + fileName).c_str(), (path_ + (as.empty() ? fileName : as)).c_str(), TRUE);
}

ProgramRun RunProgram(const std::string& commandLine, const std::string& directory, int timeoutMs,
                      const std::vector<std::string>& environment) {
    ProgramRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle readEnd, writeEnd;
    if (!CreatePipe(readEnd.out(), writeEnd.out(), &inherit, 0)) return run;
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION process{};
    std::string command = commandLine;
    std::string block = EnvironmentWith(environment);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, &block[0], directory.c_str(), &startup,
                        &process))
        return run;
    run.Started = true;
    Handle processHandle(process.hProcess), threadHandle(process.hThread);
    CloseHandle(*writeEnd.out());
    *writeEnd.out() = nullptr;

    const DWORD started = GetTickCount();
    char buffer[4096];
    for (;;) {
        DWORD available = 0;
        while (PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr) && available) {
            DWORD read = 0;
            if (!ReadFile(readEnd.get(), buffer, sizeof buffer, &read, nullptr) || !read) break;
            run.Output.append(buffer, read);
        }
        if (WaitForSingleObject(processHandle.get(), 20) == WAIT_OBJECT_0) break;
        if (GetTickCount() - started >= static_cast<DWORD>(timeoutMs)) {
            run.TimedOut = true;
            TerminateProcess(processHandle.get(), 1);
            WaitForSingleObject(processHandle.get(), INFINITE);
            break;
        }
    }
    DWORD read = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof buffer, &read, nullptr) && read) run.Output.append(buffer, read);
    GetExitCodeProcess(processHandle.get(), &run.ExitCode);
    return run;
}

long ProbeLoadIn(const PrivateHostDir& dir, const std::string& fileName) {
    (void)probeRan;
    const std::string program = ProgramFileName();
    if (!dir.CopyFromBin(program)) return -1;
    const ProgramRun run =
        RunProgram("\"" + dir.Path() + program + "\"", dir.Path(), 60000, {std::string(kProbeVariable) + "=" + fileName});
    if (!run.Started || run.TimedOut) return -1;
    return static_cast<long>(run.ExitCode);
}

}  // namespace ovtest
