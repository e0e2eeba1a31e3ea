#include "tools/traceproxy/VendorDriver.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "platform/Module.h"

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

const VendorDriver* Vendor() {
    static VendorDriver driver;
    static bool found = false;
    static std::once_flag once;
    std::call_once(once, [] {
        // Never released: the vendor's driver stays for the proxy's lifetime,
        // as it would if the plug-in had loaded it directly.
        HMODULE module = LoadLibraryA((std::string(ProxyFolder()) + kVendorFileName).c_str());
        found = module && Resolve(module, "Tma4drv_DLL_Version", driver.Version) &&
                Resolve(module, "TV_Initialize", driver.Initialize) &&
                Resolve(module, "TV_Disable", driver.Disable) && Resolve(module, "TV_GetEvent", driver.GetEvent);
    });
    return found ? &driver : nullptr;
}

}  // namespace traceproxy
