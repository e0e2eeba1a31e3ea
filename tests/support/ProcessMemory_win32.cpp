#include "tests/support/ProcessMemory_win32.h"

#include <windows.h>

namespace ovtest {

std::uint64_t PrivateCommittedBytes() {
    std::uint64_t sum = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* p = nullptr; VirtualQuery(p, &region, sizeof region);) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) sum += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= p) break;
        p = next;
    }
    return sum;
}

}  // namespace ovtest
