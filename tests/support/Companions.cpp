#include "tests/support/Companions.h"

#include <tlhelp32.h>

#include "platform/runtime/Handles_win32.h"

namespace ovtest {
namespace {

// A process listed a moment ago may have ended since.
bool Running(DWORD id) {
    const platform::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    return process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

}  // namespace

std::vector<DWORD> CompanionsOf(DWORD parent) {
    std::vector<DWORD> companions;
    const platform::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry))
        if (entry.th32ParentProcessID == parent && lstrcmpiA(entry.szExeFile, "Orvale8Drv32.exe") == 0 &&
            Running(entry.th32ProcessID))
            companions.push_back(entry.th32ProcessID);
    return companions;
}

bool CompanionsGoneWithin(DWORD parent, int timeoutMs) {
    const DWORD start = GetTickCount();
    while (!CompanionsOf(parent).empty()) {
        if (GetTickCount() - start > DWORD(timeoutMs)) return false;
        Sleep(20);
    }
    return true;
}

bool KillCompanion(DWORD id) {
    const platform::UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    return process && TerminateProcess(process.Get(), 9);
}

}  // namespace ovtest
