#include "tests/wine/support/Plugin.h"

namespace ovtest {

namespace {

template <class F>
void Resolve(const Plugin& plugin, const char* name, F& function) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(plugin.ByName(name)));
}

}  // namespace

bool Plugin::Load(const std::string& path) {
    Unload();
    module_ = LoadLibraryA(path.c_str());
    if (!module_) {
        loadError_ = ::GetLastError();
        return false;
    }
    Resolve(*this, "InitCallbackEx", device_.InitCallbackEx);
    Resolve(*this, "InitDevice", device_.InitDevice);
    Resolve(*this, "CloseDevice", device_.CloseDevice);
    Resolve(*this, "GetLastError", device_.GetLastError);
    Resolve(*this, "ShowProperties", device_.ShowProperties);
    loadError_ = ERROR_PROC_NOT_FOUND;
    return device_.InitCallbackEx && device_.InitDevice && device_.CloseDevice && device_.GetLastError &&
           device_.ShowProperties;
}

void Plugin::Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    device_ = DeviceExports{};
}

FARPROC Plugin::ByName(const char* name) const { return module_ ? GetProcAddress(module_, name) : nullptr; }

FARPROC Plugin::ByOrdinal(WORD ordinal) const {
    return module_ ? GetProcAddress(module_, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

}  // namespace ovtest
