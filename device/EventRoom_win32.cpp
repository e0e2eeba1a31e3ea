#include "device/EventRoom.h"

#include <windows.h>

namespace unitOVDrv {
namespace {

// A guard page faults once, on any access, and then stays readable: it can
// tell afterwards that it was touched, which a page without access cannot.
bool ArmGuard(void* page, std::size_t size) {
    DWORD old = 0;
    return VirtualProtect(page, size, PAGE_READONLY | PAGE_GUARD, &old) != 0;
}

}  // namespace

bool EventRoom::Reserve() {
    if (start_) return true;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    void* start = VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!start) return false;
    if (!ArmGuard(static_cast<char*>(start) + page, page)) {
        VirtualFree(start, 0, MEM_RELEASE);
        return false;
    }
    start_ = start;
    size_ = page;
    return true;
}

TDriverEvent* EventRoom::Record() const { return static_cast<TDriverEvent*>(start_); }

void EventRoom::Release() {
    if (start_) VirtualFree(start_, 0, MEM_RELEASE);
    start_ = nullptr;
    size_ = 0;
}

bool EventRoom::TakeOverrun() {
    if (!start_) return false;
    char* guard = static_cast<char*>(start_) + size_;
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(guard, &info, sizeof info) || (info.Protect & PAGE_GUARD)) return false;
    ArmGuard(guard, size_);
    return true;
}

}  // namespace unitOVDrv
