#include "tools/host/PluginLibrary.h"

#include <vector>

std::string ExecutableDirectory() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            std::string full(path.data(), length);
            return full.substr(0, full.find_last_of("\\/") + 1);
        }
        path.resize(path.size() * 2);
    }
}

PluginLibrary::PluginLibrary(const char* fileName) : path_(ExecutableDirectory() + fileName) {
    module_ = LoadLibraryA(path_.c_str());
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
