#include "tests/support/SimBoxServer_win32.h"

#include <windows.h>

#include <mutex>

#include "platform/runtime/Handles_win32.h"
#include "tools/simdrv/SimBox.h"

namespace ovtest {
namespace {

platform::UniqueHandle NewInstance(const std::string& name) {
    return platform::UniqueHandle(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                                   PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
}

struct Served {
    std::mutex mutex;
    std::set<unsigned long> threads;
};

Served& ServedBy() {
    static Served served;
    return served;
}

void NoteThread() {
    std::lock_guard<std::mutex> lock(ServedBy().mutex);
    ServedBy().threads.insert(GetCurrentThreadId());
}

// One driver thread's calls, answered in turn until it lets go.
DWORD WINAPI Serve(void* pipe) {
    NoteThread();
    const platform::UniqueHandle link(static_cast<HANDLE>(pipe));
    simdrv::LogEntry call;
    while (simdrv::ReadAll(link.Get(), &call, sizeof call)) {
        const simdrv::BoxAnswer answer = simdrv::SimBox::Instance().Answer(call);
        if (!simdrv::WriteAll(link.Get(), &answer, sizeof answer)) break;
    }
    return 0;
}

void StartThread(LPTHREAD_START_ROUTINE routine, void* argument) {
    platform::UniqueHandle(CreateThread(nullptr, 0, routine, argument, 0, nullptr));
}

struct Listener {
    std::string name;
    platform::UniqueHandle first;  // made before the name is handed out
};

// Each connection gets a thread of its own: a poll waiting in the box must
// not hold the driver's other thread.
DWORD WINAPI Listen(void* listener) {
    NoteThread();
    Listener& self = *static_cast<Listener*>(listener);
    for (platform::UniqueHandle pipe = std::move(self.first); pipe; pipe = NewInstance(self.name)) {
        if (!ConnectNamedPipe(pipe.Get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) continue;
        StartThread(&Serve, pipe.Release());
    }
    return 0;
}

}  // namespace

const std::string& ServeSimBox() {
    static Listener listener = [] {
        Listener made{"\\\\.\\pipe\\OvSimBox-" + std::to_string(GetCurrentProcessId()), {}};
        made.first = NewInstance(made.name);
        return made;
    }();
    static const bool started = (StartThread(&Listen, &listener), true);
    (void)started;
    return listener.name;
}

std::set<unsigned long> BoxThreads() {
    std::lock_guard<std::mutex> lock(ServedBy().mutex);
    return ServedBy().threads;
}

}  // namespace ovtest
