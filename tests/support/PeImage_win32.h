// What a loaded module's PE headers say it imports and exports, read from
// the mapped image itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ovtest {

struct ImportedFunction {
    std::string Name;      // empty when imported by ordinal
    WORD Ordinal = 0;      // when imported by ordinal
    const void* Bound = nullptr;  // the address the loader put in the import table
};

struct ImportedModule {
    std::string Dll;
    bool Delayed = false;
    std::vector<ImportedFunction> Functions;
};

// Load-time and delay-load imports of `module`.
std::vector<ImportedModule> ImportsOf(HMODULE module);

// The names in the export directory of `module`.
std::vector<std::string> ExportNamesOf(HMODULE module);

}  // namespace ovtest
