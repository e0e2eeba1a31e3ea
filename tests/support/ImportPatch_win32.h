// Points a loaded module's load-time import of a function at a replacement
// while it lives, so a test can make a system call fail inside the plug-in
// without the plug-in knowing.
#pragma once

#include <windows.h>

namespace ovtest {

class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool Applied() const { return slot_ != nullptr; }
    const void* Original() const { return original_; }  // the system's function

private:
    void Write(const void* value);
    const void** slot_ = nullptr;
    const void* original_ = nullptr;
};

}  // namespace ovtest
