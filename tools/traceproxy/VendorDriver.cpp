#include "tools/traceproxy/VendorDriver.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <utility>

#include "platform/runtime/Module_win32.h"
#include "platform/runtime/Paths.h"
#include "tools/traceproxy/TraceLog.h"

namespace traceproxy {
namespace {

template <class Fn>
bool Resolve(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return fn != nullptr;
}

// A tracing driver behind this one (installed twice over) would forward
// every call back here until the stack overflows: only this driver exports
// the install check's question.
bool IsTracingDriver(HMODULE module) {
    return module == platform::ThisModule() || GetProcAddress(module, "TraceProxy_VendorProblem") != nullptr;
}

}  // namespace

const std::string& ProxyFolder() {
    static const std::string folder = platform::DirectoryOf(platform::ModulePath(platform::ThisModule()));
    return folder;
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
        if (!VendorFilePresent()) {
            loaded.problem = std::string(kVendorFileName) + " not found";
            return;
        }
        // Never released: the vendor's driver stays for the proxy's lifetime,
        // as it would if the plug-in had loaded it directly.
        HMODULE module = LoadLibraryW(platform::WideFromUtf8(ProxyFolder() + kVendorFileName).c_str());
        if (!module) {
            loaded.problem = std::string(kVendorFileName) + " does not load (error " +
                             std::to_string(GetLastError()) + ")";
            return;
        }
        if (IsTracingDriver(module)) {
            FreeLibrary(module);
            loaded.problem = std::string(kVendorFileName) + " is a copy of the tracing driver, not the vendor's driver";
            AppendLine("FAILURE: " + loaded.problem + ": every call answers 0 and no ring reaches the host; copy the "
                       "vendor's TmA4Drv.dll over " + kVendorFileName + " in this folder");
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

bool VendorFilePresent() { return platform::FileExists(ProxyFolder() + kVendorFileName); }

}  // namespace traceproxy
