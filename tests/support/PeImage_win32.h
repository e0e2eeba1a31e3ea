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

// The same read from a PE file's bytes (nothing bound); false when `file`
// is not a well-formed PE file or a table lies outside it.
bool ImportsOfFile(const std::string& file, std::vector<ImportedModule>& imports);

// The systems a PE file's optional header says it needs, and the processor
// it is for (IMAGE_FILE_MACHINE_I386 or _AMD64).
struct ImageVersions {
    WORD OsMajor = 0, OsMinor = 0;
    WORD SubsystemMajor = 0, SubsystemMinor = 0;
    WORD Machine = 0;
};
bool VersionsOfFile(const std::string& file, ImageVersions& versions);

// The names in the export directory of `module`.
std::vector<std::string> ExportNamesOf(HMODULE module);

// Points `module`'s load-time import of `function` from `dll` at `replacement`
// while it lives, so a test can make a system call fail inside the plug-in
// without the plug-in knowing. Original() is the system's function.
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool Applied() const { return slot_ != nullptr; }
    const void* Original() const { return original_; }

private:
    void Write(const void* value);
    const void** slot_ = nullptr;
    const void* original_ = nullptr;
};

// The headers plus the file data of every section whose name does not start
// with ".debug" (long names, "/N", are looked up in the COFF string table).
// 0 when `file` is not a well-formed PE file.
std::size_t SizeWithoutDebugInfo(const std::string& file);

}  // namespace ovtest
