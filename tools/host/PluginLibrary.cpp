#include "tools/host/PluginLibrary.h"

#include "platform/HostPath.h"

// UTF-8, like every path of the bench: the ANSI code page cannot spell
// every folder.
std::string ExecutableDirectory() { return platform::ExecutableDirectory(); }

PluginLibrary::PluginLibrary(const char* fileName) : path_(ExecutableDirectory() + fileName) {
    module_ = LoadLibraryW(platform::WideFromUtf8(path_).c_str());
    if (!module_) loadError_ = ::GetLastError();
}

PluginLibrary::~PluginLibrary() {
    if (module_) FreeLibrary(module_);
}

namespace {

template <class F>
bool Find(HMODULE module, const char* name, F& function, std::string& missing) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!function && missing.empty()) missing = name;
    return function != nullptr;
}

}  // namespace

bool PluginLibrary::Resolve(DeviceFunctions& f, std::string& missing) const {
    missing.clear();
    if (!module_) return false;
    bool all = Find(module_, "InitCallbackEx", f.InitCallbackEx, missing);
    all &= Find(module_, "InitDevice", f.InitDevice, missing);
    all &= Find(module_, "CloseDevice", f.CloseDevice, missing);
    all &= Find(module_, "GetLastError", f.GetLastError, missing);
    return all;
}
