#include "tests/support/Plugin.h"

#include "platform/runtime/Paths.h"
#include "tests/support/Proc_win32.h"

namespace ovtest {

bool Plugin::Load(const std::string& path) {
    Unload();
    module_ = LoadLibraryW(platform::WideFromUtf8(path).c_str());
    if (!module_) {
        loadError_ = ::GetLastError();
        return false;
    }
    std::string missing;
    loadError_ = ERROR_PROC_NOT_FOUND;
    return FindPluginFunctions(module_, device_, missing);
}

void Plugin::Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    device_ = PluginFunctions{};
}

FARPROC Plugin::ByName(const char* name) const { return module_ ? GetProcAddress(module_, name) : nullptr; }

FARPROC Plugin::ByOrdinal(WORD ordinal) const {
    return module_ ? GetProcAddress(module_, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

}  // namespace ovtest
