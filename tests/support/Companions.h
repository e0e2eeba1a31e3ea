// The x64 plug-in's companion processes (Orvale8Drv32.exe), as the system
// lists them.
#pragma once

#include <windows.h>

#include <vector>

namespace ovtest {

// The running companions that process `parent` started.
std::vector<DWORD> CompanionsOf(DWORD parent);
// Waits up to `timeoutMs` for `parent` to have no companion running; true
// when none is left.
bool CompanionsGoneWithin(DWORD parent, int timeoutMs);
// Ends a companion from outside, as a user or another program could.
bool KillCompanion(DWORD id);

}  // namespace ovtest
