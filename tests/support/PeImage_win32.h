// What a PE image's headers say: a loaded module's imports and exports, read
// from the mapped image itself, and a DLL file's size without its debug
// sections, what a stripped release of the same build would weigh.
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

// The headers plus the file data of every section whose name does not start
// with ".debug" (long names, "/N", are looked up in the COFF string table).
// 0 when `file` is not a well-formed PE file.
std::size_t SizeWithoutDebugInfo(const std::string& file);

}  // namespace ovtest
