#include "tools/traceproxy/VendorDriver.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <utility>

#include "platform/runtime/Module.h"

namespace traceproxy {
namespace {

template <class Fn>
bool Resolve(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return fn != nullptr;
}

}  // namespace

const char* ProxyFolder() {
    static const std::string folder = [] {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(platform::ThisModule(), path, sizeof path - 1);
        std::string p = path;
        return p.substr(0, p.find_last_of("\\/") + 1);
    }();
    return folder.c_str();
}

namespace {

struct Loaded {
    VendorDriver driver{};
    std::string problem;  // empty when every function was found
};

const Loaded& LoadVendor() {
    static Loaded loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        const std::string path = std::string(ProxyFolder()) + kVendorFileName;
        if (!VendorFilePresent()) {
            loaded.problem = std::string(kVendorFileName) + " not found";
            return;
        }
        // Never released: the vendor's driver stays for the proxy's lifetime,
        // as it would if the plug-in had loaded it directly.
        HMODULE module = LoadLibraryA(path.c_str());
        if (!module) {
            loaded.problem = std::string(kVendorFileName) + " does not load (error " +
                             std::to_string(GetLastError()) + ")";
            return;
        }
        VendorDriver& d = loaded.driver;
        const std::pair<const char*, bool> functions[] = {
            {"Tma4drv_DLL_Version", Resolve(module, "Tma4drv_DLL_Version", d.Version)},
            {"TV_Initialize", Resolve(module, "TV_Initialize", d.Initialize)},
            {"TV_Disable", Resolve(module, "TV_Disable", d.Disable)},
            {"TV_GetEvent", Resolve(module, "TV_GetEvent", d.GetEvent)}};
        for (const auto& [name, found] : functions)
            if (!found) loaded.problem += (loaded.problem.empty() ? "" : ", ") + std::string(name);
        if (!loaded.problem.empty()) loaded.problem = std::string(kVendorFileName) + " lacks " + loaded.problem;
    });
    return loaded;
}

}  // namespace

const VendorDriver* Vendor() {
    const Loaded& loaded = LoadVendor();
    return loaded.problem.empty() ? &loaded.driver : nullptr;
}

const std::string& VendorProblem() { return LoadVendor().problem; }

bool VendorFilePresent() {
    const DWORD attributes = GetFileAttributesA((std::string(ProxyFolder()) + kVendorFileName).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace traceproxy
