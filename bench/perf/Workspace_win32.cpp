#include "bench/perf/Workspace_win32.h"

#include <windows.h>

#include <thread>

#include "bench/perf/Handle_win32.h"

namespace perf {
namespace {

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

// Reads until the last write end closes. Blocking reads rather than polling,
// so the orchestrator costs nothing while a child measures idle time.
void ReadAll(HANDLE pipe, std::string* into) {
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read) into->append(buffer, read);
}

}  // namespace

std::string ProgramDirectory() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/") + 1);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    bytes.clear();
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read) bytes.append(buffer, read);
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

PrivateDir::PrivateDir(const std::string& tag) {
    char temp[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, temp)) return;
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = std::string(temp) + "ovperf-" + std::to_string(GetCurrentProcessId()) + "-" +
                                      tag + "-" + std::to_string(serial++) + "\\";
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
}

PrivateDir::~PrivateDir() {
    if (!path_.empty()) DeleteTree(path_);
}

bool PrivateDir::CopyIn(const std::string& from, const std::vector<std::string>& names) const {
    for (const std::string& name : names) {
        if (!Created() || !CopyFileA((from + name).c_str(), (path_ + name).c_str(), FALSE)) return false;
    }
    return true;
}

bool PrivateDir::Write(const std::string& name, const std::string& bytes) const {
    return Created() && WriteWholeFile(path_ + name, bytes);
}

void PrivateDir::Remove(const std::string& name) const { DeleteFileA((path_ + name).c_str()); }

ChildRun RunChild(const std::string& dir, const std::string& program, const std::string& arguments, int timeoutMs) {
    ChildRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    UniqueHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writer.Get();
    startup.hStdError = writer.Get();
    PROCESS_INFORMATION info{};
    std::string command = "\"" + dir + program + "\" " + arguments;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, dir.c_str(), &startup, &info))
        return run;
    run.Started = true;
    UniqueHandle process(info.hProcess), thread(info.hThread);
    writer.Reset();  // the child holds the only write end now, so reads end with it

    std::thread collector(ReadAll, reader.Get(), &run.Output);
    if (WaitForSingleObject(process.Get(), DWORD(timeoutMs)) != WAIT_OBJECT_0) {
        run.TimedOut = true;
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), INFINITE);
    }
    collector.join();
    GetExitCodeProcess(process.Get(), &run.ExitCode);
    return run;
}

}  // namespace perf
