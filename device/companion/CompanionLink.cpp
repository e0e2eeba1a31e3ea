#include "device/companion/CompanionLink.h"

#include "platform/runtime/Module_win32.h"
#include "platform/runtime/Paths.h"

namespace companion {
namespace {

// A fresh 32-bit process under WoW64 (or Wine) takes a while; a companion
// that has not said hello by then is not coming.
constexpr DWORD kHelloWaitMs = 10000;

constexpr DWORD kExitWaitMs = 1000;

std::wstring NewPipeBase() {
    static std::atomic<unsigned> serial{0};
    return L"\\\\.\\pipe\\Orvale8Drv32." + std::to_wstring(GetCurrentProcessId()) + L"." +
           std::to_wstring(++serial) + L"." + std::to_wstring(GetTickCount());
}

// What is left of timeoutMs since start, a GetTickCount reading; INFINITE stays so.
DWORD Remaining(DWORD start, DWORD timeoutMs) {
    if (timeoutMs == INFINITE) return INFINITE;
    const DWORD spent = GetTickCount() - start;
    return spent < timeoutMs ? timeoutMs - spent : 0;
}

std::string StartFailure(DWORD error) {
    std::string text = std::string(kExeName) + " could not be started (error " + std::to_string(error) + ")";
    if (error == ERROR_ACCESS_DENIED || error == ERROR_NOT_ENOUGH_QUOTA)
        text += ": the host may run in a job or under a policy that allows it no child process";
    return text;
}

}  // namespace

std::unique_ptr<Link> Link::Start(const std::wstring& hostFolder, std::string& problem) {
    std::unique_ptr<Link> link(new Link);
    const std::wstring base = NewPipeBase();
    if (!link->Create(base, problem) || !link->Launch(base, hostFolder, problem) || !link->AwaitHello(problem))
        return nullptr;
    return link;
}

// The pipes exist before the companion does, so it finds them at once; the
// first instance is ours, never one another program made under that name.
bool Link::Create(const std::wstring& base, std::string& problem) {
    const std::wstring names[2] = {HostPipeName(base), PollPipeName(base)};
    for (int i = 0; i < 2; ++i) {
        Connection& connection = connections_[i];
        connection.pipe.Reset(CreateNamedPipeW(names[i].c_str(),
                                               PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                               PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, kMessageSize,
                                               kMessageSize, 0, nullptr));
        connection.event.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!connection.pipe || !connection.event) {
            problem = std::string("the connection to ") + kExeName + " could not be made (error " +
                      std::to_string(GetLastError()) + ")";
            return false;
        }
    }
    return true;
}

// Beside the plug-in's own file, in the host's current folder, inheriting
// no handle; without the start-up cursor, since it shows no window.
bool Link::Launch(const std::wstring& base, const std::wstring& hostFolder, std::string& problem) {
    const std::string folder = platform::DirectoryOf(platform::ModulePath(platform::ThisModule()));
    const std::wstring exe = platform::WideFromUtf8(folder + kExeName);
    if (!platform::FileExists(folder + kExeName)) {
        problem = std::string(kExeName) + " is missing beside the plug-in (" +
                  platform::WideToGbk(platform::WideFromUtf8(folder)) + ")";
        return false;
    }
    StartArguments arguments;
    arguments.hostProcessId = GetCurrentProcessId();
    arguments.pipeBase = base;
    arguments.hostFolder = hostFolder;
    std::wstring line = L"\"" + exe + L"\" " + FormatArguments(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &started)) {
        problem = StartFailure(GetLastError());
        return false;
    }
    process_.Reset(started.hProcess);
    platform::UniqueHandle thread(started.hThread);
    return true;
}

bool Link::AwaitHello(std::string& problem) {
    const DWORD start = GetTickCount();
    const auto left = [start] { return Remaining(start, kHelloWaitMs); };
    Wait wait = Wait::kDone;
    for (Connection& connection : connections_) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = connection.event.Get();
        ResetEvent(overlapped.hEvent);
        DWORD ignored = 0;
        if (ConnectNamedPipe(connection.pipe.Get(), &overlapped) || GetLastError() == ERROR_PIPE_CONNECTED)
            continue;
        if (GetLastError() != ERROR_IO_PENDING) wait = Wait::kEnded;
        else wait = Complete(connection, overlapped, left(), ignored);
        if (wait != Wait::kDone) break;
    }
    Wire wire{};
    DWORD read = 0;
    Message hello;
    if (wait == Wait::kDone) wait = Transfer(connections_[kHostCalls], false, wire.data(), kMessageSize, left(), read);
    if (wait == Wait::kTimedOut) {
        problem = std::string(kExeName) + " did not answer within " + std::to_string(kHelloWaitMs) + " ms";
    } else if (wait == Wait::kEnded || !Decode(wire.data(), read, hello) || hello.call != Call::Hello) {
        problem = std::string(kExeName) + " ended before it was ready (" + ExitCodeText(ExitCode()) + ")";
    } else if (hello.status == Status::Refused) {
        problem = std::string(kExeName) + " could not run the driver: " + hello.PayloadBytes();
    } else if (hello.result != kProtocolVersion) {
        problem = std::string(kExeName) + " belongs to another release of Orvale8 (protocol " +
                  std::to_string(hello.result) + ", not " + std::to_string(kProtocolVersion) + ")";
    } else {
        return true;
    }
    return false;
}

Link::Wait Link::Complete(Connection& connection, OVERLAPPED& overlapped, DWORD timeoutMs, DWORD& bytes) {
    const HANDLE waits[2] = {connection.event.Get(), process_.Get()};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
    if (woken == WAIT_OBJECT_0)
        return GetOverlappedResult(connection.pipe.Get(), &overlapped, &bytes, FALSE) ? Wait::kDone : Wait::kEnded;
    // The I/O must be over before its OVERLAPPED goes; it may have finished
    // just as the process ended, and then counts.
    CancelIo(connection.pipe.Get());
    if (GetOverlappedResult(connection.pipe.Get(), &overlapped, &bytes, TRUE)) return Wait::kDone;
    return woken == WAIT_TIMEOUT ? Wait::kTimedOut : Wait::kEnded;
}

Link::Wait Link::Transfer(Connection& connection, bool write, std::uint8_t* bytes, DWORD size, DWORD timeoutMs,
                          DWORD& done) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = connection.event.Get();
    ResetEvent(overlapped.hEvent);
    const BOOL started = write ? WriteFile(connection.pipe.Get(), bytes, size, nullptr, &overlapped)
                               : ReadFile(connection.pipe.Get(), bytes, size, nullptr, &overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING) return Wait::kEnded;
    return Complete(connection, overlapped, timeoutMs, done);
}

bool Link::RoundTrip(Channel channel, const Message& request, Message& reply, DWORD timeoutMs) {
    if (Gone()) return false;
    Connection& connection = connections_[channel];
    Wire wire = Encode(request);
    const DWORD start = GetTickCount();
    const auto left = [start, timeoutMs] { return Remaining(start, timeoutMs); };
    DWORD done = 0;
    Wait wait = Transfer(connection, true, wire.data(), kMessageSize, left(), done);
    if (wait == Wait::kDone && done != kMessageSize) wait = Wait::kEnded;
    if (wait == Wait::kDone) wait = Transfer(connection, false, wire.data(), kMessageSize, left(), done);
    // A call that never returns holds the driver: only ending it frees the channel.
    if (wait == Wait::kTimedOut) End();
    const bool answered = wait == Wait::kDone && Decode(wire.data(), done, reply) && reply.call == request.call;
    if (!answered) broken_ = true;
    return answered;
}

void Link::End() {
    if (!endedHere_.exchange(true) && process_) TerminateProcess(process_.Get(), kExitEndedByPlugin);
}

bool Link::Gone() const {
    return endedHere_ || broken_ || WaitForSingleObject(process_.Get(), 0) != WAIT_TIMEOUT;
}

DWORD Link::ExitCode() const {
    // A broken pipe comes first: the process is over only once its handles are.
    WaitForSingleObject(process_.Get(), kExitWaitMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

}  // namespace companion
