// The system functions shipped binaries may import, each with the oldest
// Windows that has it.
#pragma once

#include <vector>

namespace ovtest {

enum class Windows { XP, XPSP2, XPSP3, Vista, Seven, Eight, Ten };

// The oldest system the shops' hosts run on: every shipped binary loads there.
constexpr Windows kOldestWindows = Windows::XPSP3;

const char* NameOf(Windows version);

struct KnownImport {
    const char* Dll;  // lower case
    const char* Function;
    Windows Oldest;
};

const std::vector<KnownImport>& KnownImports();

}  // namespace ovtest
