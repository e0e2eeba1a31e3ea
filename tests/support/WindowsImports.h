// The system functions shipped binaries may import, each with the oldest
// Windows that has it.
#pragma once

#include <vector>

namespace ovtest {

// In order of release, but for XP x64 (NT 5.2, as Server 2003 SP1), which
// branched from XP SP2 beside XP SP3: Includes says which has what.
enum class Windows { XP, XPSP2, XPSP3, XP64, Vista, Seven, Eight, Ten };

// The oldest systems the shops' hosts run on, 32-bit and 64-bit: every
// shipped binary loads on the one of its processor.
constexpr Windows kOldestWindows = Windows::XPSP3;
constexpr Windows kOldestWindows64 = Windows::XP64;

const char* NameOf(Windows version);

// Whether `system` has the functions that came with `release`.
constexpr bool Includes(Windows system, Windows release) {
    return release <= system && !(system == Windows::XP64 && release == Windows::XPSP3);
}

struct KnownImport {
    const char* Dll;  // lower case
    const char* Function;
    Windows Oldest;
};

const std::vector<KnownImport>& KnownImports();

}  // namespace ovtest
