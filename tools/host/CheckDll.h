// What the install check asks of a DLL in a host's folder: its version text,
// whether and why it loads, and where the loader would find one by name.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/runtime/Handles_win32.h"

// The file's version text from its version resource; empty when it has none.
std::string VersionText(const std::string& path);

// Loaded from its folder, with that folder first on the search path for what
// it imports, as the host's loader would find it. error: 0, or why not.
platform::UniqueModule LoadFrom(const std::string& path, DWORD& error);

// " (error N)" and what the error means for the file at `path`; for a
// missing import, which DLL of its import table is missing.
std::string LoadFailure(DWORD error, const std::string& path);

// The full path of `name` in the folders a loader searches after the host's
// own: the system folders (a 32-bit process's when `for32Bit`) and PATH;
// empty when it is in none.
std::string OnSearchPath(const std::string& name, bool for32Bit = sizeof(void*) == 4);

// The first DLL the file imports that is neither loaded, nor beside it, nor
// on the search path of its processor; empty when each is found.
std::string MissingImport(const std::string& path, bool for32Bit = sizeof(void*) == 4);

// Reads as a list: "A", "A and B", "A, B and C".
std::string Listed(const std::vector<std::string>& names);
