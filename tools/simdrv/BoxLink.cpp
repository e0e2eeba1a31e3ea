// The connections of a driver whose box lives in another process: one per
// calling thread, made at its first call and closed when the thread ends.
#include <string>

#include "tools/simdrv/DriverSide.h"

namespace simdrv {
namespace {

// How long a call waits for the box's pipe to take another connection.
constexpr DWORD kConnectWaitMs = 5000;

DWORD ConnectionSlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

HANDLE Connect(const std::string& pipe) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        const HANDLE link = CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (link != INVALID_HANDLE_VALUE) return link;
        // Busy: every instance taken; not found: the box is between instances.
        if (GetLastError() == ERROR_PIPE_BUSY) WaitNamedPipeA(pipe.c_str(), kConnectWaitMs);
        else Sleep(10);
    }
    return nullptr;
}

HANDLE ThreadConnection(const std::string& pipe) {
    HANDLE link = static_cast<HANDLE>(TlsGetValue(ConnectionSlot()));
    if (!link && (link = Connect(pipe))) TlsSetValue(ConnectionSlot(), link);
    return link;
}

void CloseThreadConnection() {
    if (HANDLE link = static_cast<HANDLE>(TlsGetValue(ConnectionSlot()))) {
        CloseHandle(link);
        TlsSetValue(ConnectionSlot(), nullptr);
    }
}

}  // namespace

// A box that cannot be reached (its test ended) gets the answer of a poll
// with nothing to report.
BoxAnswer AskOverPipe(const std::string& pipe, const LogEntry& call) {
    BoxAnswer answer{};
    const HANDLE link = ThreadConnection(pipe);
    if (link && WriteAll(link, &call, sizeof call) && ReadAll(link, &answer, sizeof answer)) return answer;
    CloseThreadConnection();
    return BoxAnswer{Act::Return, call.Function == fnGetEvent ? 0 : 1, 0, {}};
}

}  // namespace simdrv

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_THREAD_DETACH) simdrv::CloseThreadConnection();
    return TRUE;
}
