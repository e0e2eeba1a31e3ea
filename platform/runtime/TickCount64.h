// A millisecond count that does not wrap, built from one that wraps every
// 49.7 days (GetTickCount's), for systems without GetTickCount64.
#pragma once

#include <cstdint>

namespace platform {

// The count at `now`, the 32-bit count read after `newest`, the last value
// handed out: time has gone forward from it by the low halves' difference,
// across a wrap when the low half went down. Right as long as calls are less
// than 49.7 days apart.
inline std::uint64_t ExtendTickCount(std::uint64_t newest, std::uint32_t now) {
    return newest + static_cast<std::uint32_t>(now - static_cast<std::uint32_t>(newest));
}

}  // namespace platform
