// Orvale8Drv32.exe: runs the vendor's 32-bit driver for the 64-bit plug-in.
// It shows nothing, and never outlives what it serves: when the host process
// ends or a connection breaks it ends itself at once, by TerminateProcess, so
// no detach code of the driver's can keep it alive.
#include <windows.h>

#include "device/companion/DriverHost.h"
#include "device/companion/Protocol.h"
#include "platform/runtime/Handles_win32.h"

namespace {

[[noreturn]] void End(DWORD code) {
    TerminateProcess(GetCurrentProcess(), code);
    ExitProcess(code);  // not reached
}

// A crash the guard did not contain (in a thread of the driver's own, or one
// that ate the stack): the process ends with the exception's code, which the
// plug-in reports, instead of waiting for a debugger or a dialog.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* pointers) { End(pointers->ExceptionRecord->ExceptionCode); }

DWORD WINAPI WatchHost(void* host) {
    WaitForSingleObject(static_cast<HANDLE>(host), INFINITE);
    End(companion::kExitHostEnded);
}

// The command line after the program's name, which the plug-in quotes.
std::wstring ArgumentsOf(const wchar_t* line) {
    const wchar_t* at = line;
    if (*at == L'"') {
        at = wcschr(at + 1, L'"');
        at = at ? at + 1 : line + wcslen(line);
    } else {
        while (*at && *at != L' ') ++at;
    }
    while (*at == L' ') ++at;
    return at;
}

platform::UniqueHandle Connect(const std::wstring& name) {
    platform::UniqueHandle pipe(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                            nullptr));
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (pipe && !SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr)) pipe.Reset();
    return pipe;
}

void Send(HANDLE pipe, const companion::Message& message) {
    const companion::Wire wire = companion::Encode(message);
    DWORD written = 0;
    if (!WriteFile(pipe, wire.data(), static_cast<DWORD>(wire.size()), &written, nullptr) || written != wire.size())
        End(companion::kExitPipeBroken);
}

// One connection's calls, one at a time, until the plug-in lets go of it.
DWORD WINAPI Serve(void* pipe) {
    for (;;) {
        companion::Wire wire{};
        DWORD read = 0;
        if (!ReadFile(pipe, wire.data(), static_cast<DWORD>(wire.size()), &read, nullptr))
            End(companion::kExitPipeBroken);
        companion::Message request;
        companion::Message reply;
        if (companion::Decode(wire.data(), read, request)) {
            reply = companion::Serve(request);
        } else {
            reply.Refuse("a message of another release of Orvale8");
        }
        Send(pipe, reply);
    }
}

bool StartThread(LPTHREAD_START_ROUTINE body, HANDLE argument) {
    return platform::UniqueHandle(CreateThread(nullptr, 0, body, argument, 0, nullptr)).Valid();
}

// After a refusal: the plug-in lets go of the connections, which ends us.
[[noreturn]] void WaitForRelease(HANDLE pipe) {
    companion::Wire wire{};
    DWORD read = 0;
    while (ReadFile(pipe, wire.data(), static_cast<DWORD>(wire.size()), &read, nullptr)) {
    }
    End(companion::kExitPipeBroken);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
    companion::StartArguments arguments;
    if (!companion::ParseArguments(ArgumentsOf(GetCommandLineW()), arguments)) End(companion::kExitBadArguments);
    // Watched before anything can hang: the driver's loading runs its code.
    const platform::UniqueHandle host(OpenProcess(SYNCHRONIZE, FALSE, arguments.hostProcessId));
    if (!host || !StartThread(WatchHost, host.Get())) End(companion::kExitBadArguments);
    const platform::UniqueHandle hostCalls = Connect(companion::HostPipeName(arguments.pipeBase));
    const platform::UniqueHandle polls = Connect(companion::PollPipeName(arguments.pipeBase));
    if (!hostCalls || !polls) End(companion::kExitPipeBroken);

    companion::Message hello;
    const std::string problem = companion::LoadDriver(arguments.hostFolder);
    hello.result = companion::kProtocolVersion;
    if (!problem.empty()) hello.Refuse(problem);
    Send(hostCalls.Get(), hello);
    if (!problem.empty()) WaitForRelease(hostCalls.Get());
    if (!StartThread(Serve, polls.Get())) End(companion::kExitPipeBroken);
    Serve(hostCalls.Get());
    return 0;  // Serve ends the process
}
