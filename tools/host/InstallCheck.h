// ovhost --check: a host's folder looked over as a support engineer would,
// one line per finding ("ok", "warning" or "error", with what to do).
#pragma once

#include <string>

// Checks `folder` (with or without its trailing separator), or the folder of
// the host program it names (HOST.exe), against that program's processor;
// returns the process's exit code: 1 when any finding is an error, else 0.
int RunInstallCheck(const std::string& folder);
