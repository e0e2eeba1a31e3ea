#include "tests/support/RelMeters.h"

#include "tests/support/ProcessMemory_win32.h"
#include "tests/support/TestSystemFunctions_win32.h"

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ovtest {
namespace {

// Kernel handle values are small multiples of 4; past the last one in use a
// long run of free values follows.
constexpr std::uintptr_t kHandleStep = 4;
constexpr int kFreeRunToStop = 4096;
constexpr std::uintptr_t kHighestHandle = 1u << 22;
constexpr int kHandlesNamed = 8;  // in a difference's description

long SystemHandleCount() {
    DWORD count = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &count) ? long(count) : 0;
}

long ThreadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    long count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

// Wine keeps a process's GDI objects in a table the PEB points to, as
// Windows once did; an entry in use has a type. The layout is Wine's (the
// same for 32- and 64-bit processes).
struct GdiTableEntry {
    std::uint64_t Object;
    std::uint32_t Owner;
    std::uint16_t Unique;
    std::uint8_t Type;
    std::uint8_t Flags;
    std::uint64_t UserPointer;
};
static_assert(sizeof(GdiTableEntry) == 24, "Wine's GDI_HANDLE_ENTRY");
constexpr int kGdiTableEntries = 0x4000;
#if defined(__x86_64__)
constexpr unsigned kPebGdiTableOffset = 0xF8;  // 64-bit PEB, at gs:[0x60]
#define OV_READ_PEB "movq %%gs:0x60, %0"
#else
constexpr unsigned kPebGdiTableOffset = 0x94;  // 32-bit PEB, at fs:[0x30]
#define OV_READ_PEB "movl %%fs:0x30, %0"
#endif

long GdiTableCount() {
    const char* peb;
    asm(OV_READ_PEB : "=r"(peb));
    const auto* table = *reinterpret_cast<const GdiTableEntry* const*>(peb + kPebGdiTableOffset);
    if (!table) return -1;
    long count = 0;
    for (int i = 0; i < kGdiTableEntries; ++i) count += table[i].Type != 0;
    return count;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<long*>(count);
    return TRUE;
}

BOOL CALLBACK CountOwnTopLevel(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<long*>(count);
    EnumChildWindows(window, &CountChild, count);
    return TRUE;
}

// The windows of this process, message-only ones included: where
// GetGuiResources is a stub, the USER objects a leak would show first.
long WindowCount() {
    long count = 0;
    EnumWindows(&CountOwnTopLevel, reinterpret_cast<LPARAM>(&count));
    for (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr))
        CountOwnTopLevel(w, reinterpret_cast<LPARAM>(&count));
    return count;
}

long GuiResources(DWORD which) { return long(GetGuiResources(GetCurrentProcess(), which)); }

std::uint64_t HeapBusyBytes() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    const DWORD n = GetProcessHeaps(DWORD(heaps.size()), heaps.data());
    std::uint64_t sum = 0;
    for (DWORD i = 0; i < n && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) sum += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return sum;
}

std::uint64_t PagefileUsage() {
    const auto query = ovtest::DynK32GetProcessMemoryInfo();
    if (!query) return 0;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return query(GetCurrentProcess(), &counters, sizeof counters) ? counters.PagefileUsage : 0;
}

}  // namespace

std::vector<std::uintptr_t> OpenHandleValues() {
    std::vector<std::uintptr_t> values;
    int freeRun = 0;
    for (std::uintptr_t value = kHandleStep; value < kHighestHandle && freeRun < kFreeRunToStop;
         value += kHandleStep) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            values.push_back(value);
            freeRun = 0;
        } else {
            ++freeRun;
        }
    }
    return values;
}

std::string HandleKind(std::uintptr_t value) {
    const auto query = ovtest::DynNtQueryObject();
    // OBJECT_TYPE_INFORMATION starts with the type's name as a UNICODE_STRING.
    struct TypeName {
        USHORT Length, MaximumLength;
        const wchar_t* Buffer;
    };
    alignas(8) unsigned char buffer[1024] = {};
    if (!query || query(reinterpret_cast<HANDLE>(value), ObjectTypeInformation, buffer, sizeof buffer, nullptr) < 0)
        return "?";
    const auto* name = reinterpret_cast<const TypeName*>(buffer);
    std::string text;
    for (USHORT i = 0; name->Buffer && i < name->Length / 2; ++i) text += char(name->Buffer[i]);
    return text;
}

ResourceSample SampleResources() {
    ResourceSample s;
    // Memory first, before the sample allocates anything of its own.
    s.HeapBytes = HeapBusyBytes();
    s.PrivateBytes = PrivateCommittedBytes();
    s.PagefileUsage = PagefileUsage();
    s.HandleValues = OpenHandleValues();
    s.Handles = SystemHandleCount();
    if (s.Handles == 0) s.Handles = long(s.HandleValues.size());
    s.EventHandles = 0;
    for (std::uintptr_t v : s.HandleValues) s.EventHandles += HandleKind(v) == "Event";
    s.Threads = ThreadCount();
    s.GdiObjects = GuiResources(GR_GDIOBJECTS);
    if (s.GdiObjects == 0) s.GdiObjects = GdiTableCount();
    s.UserObjects = GuiResources(GR_USEROBJECTS);
    if (s.UserObjects == 0) s.UserObjects = WindowCount();
    return s;
}

MeterSources SourcesOfMeters() {
    MeterSources m;
    m.Handles = SystemHandleCount() ? "GetProcessHandleCount" : "scan of handle values (GetHandleInformation)";
    m.GdiObjects = GuiResources(GR_GDIOBJECTS) ? "GetGuiResources" : "PEB GDI handle table";
    m.UserObjects = GuiResources(GR_USEROBJECTS) ? "GetGuiResources" : "windows of the process";
    return m;
}

std::string Describe(const ResourceSample& s) {
    return "handles " + std::to_string(s.Handles) + ", threads " + std::to_string(s.Threads) + ", GDI " +
           std::to_string(s.GdiObjects) + ", USER " + std::to_string(s.UserObjects) + ", private " +
           std::to_string(s.PrivateBytes) + " B, heap " + std::to_string(s.HeapBytes) + " B, pagefile " +
           std::to_string(s.PagefileUsage) + " B";
}

std::string CountDifferences(const ResourceSample& base, const ResourceSample& now) {
    std::string text;
    const auto compare = [&](const char* what, long a, long b) {
        if (a != b) text += std::string(text.empty() ? "" : ", ") + what + " " + std::to_string(a) + " -> " +
                            std::to_string(b);
    };
    compare("handles", base.Handles, now.Handles);
    compare("threads", base.Threads, now.Threads);
    compare("GDI objects", base.GdiObjects, now.GdiObjects);
    compare("USER objects", base.UserObjects, now.UserObjects);
    if (base.Handles != now.Handles) {
        text += "; handles gained:";
        int gained = 0;
        for (std::uintptr_t v : now.HandleValues)
            if (std::find(base.HandleValues.begin(), base.HandleValues.end(), v) == base.HandleValues.end() &&
                ++gained <= kHandlesNamed)
                text += " " + std::to_string(v) + " (" + HandleKind(v) + ")";
        if (gained > kHandlesNamed) text += " and " + std::to_string(gained - kHandlesNamed) + " more";
    }
    return text;
}

}  // namespace ovtest
