#include "tests/support/ImportPatch_win32.h"

#include <vector>

#include "tools/pe/PeImage.h"

namespace ovtest {

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement) {
    std::vector<pe::ImportedModule> imports;
    pe::PeImage::Loaded(module).Imports(imports);
    for (const pe::ImportedModule& imported : imports) {
        if (imported.Delayed || lstrcmpiA(imported.Dll.c_str(), dll) != 0) continue;
        for (const pe::ImportedFunction& f : imported.Functions)
            if (!slot_ && f.Name == function) slot_ = reinterpret_cast<const void**>(reinterpret_cast<BYTE*>(module) + f.Slot);
    }
    if (!slot_) return;
    original_ = *slot_;
    Write(replacement);
}

ImportPatch::~ImportPatch() {
    if (slot_) Write(original_);
}

void ImportPatch::Write(const void* value) {
    DWORD old = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
    *slot_ = value;
    VirtualProtect(slot_, sizeof *slot_, old, &old);
}

}  // namespace ovtest
