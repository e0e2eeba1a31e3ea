// The install check of the voice box driver: where the host's loader finds
// TmA4Drv.dll, whether it is the driver Orvale8.dll imports, and, when it is
// the tracing driver, what stands behind it.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "include/Orvale8.h"
#include "platform/runtime/Paths.h"
#include "tools/host/CheckDll.h"
#include "tools/host/CheckReport.h"
#include "tools/host/PeFile.h"

namespace {

using platform::UniqueModule;

struct DriverFunction {
    const char* Name;
    const char* Decorated;  // as a stdcall build without a .def file exports it
};
constexpr DriverFunction kDriverFunctions[] = {{"Tma4drv_DLL_Version", "Tma4drv_DLL_Version@4"},
                                               {"TV_Initialize", "TV_Initialize@0"},
                                               {"TV_Disable", "TV_Disable@0"},
                                               {"TV_GetEvent", "TV_GetEvent@4"}};

// The driver as the check sees it: loaded when this bench is 32-bit like it,
// else read from its file, what it exports; a 64-bit bench calls none of it.
struct DriverView {
    platform::UniqueModule Module;
    std::vector<std::string> Exports;

    bool Has(const std::string& name) const {
        return Module ? GetProcAddress(Module.Get(), name.c_str()) != nullptr
                      : std::find(Exports.begin(), Exports.end(), name) != Exports.end();
    }
};

constexpr bool kLoadsTheDriver = sizeof(void*) == 4;

bool IsTracingDriver(const DriverView& driver) { return driver.Has("TraceProxy_VendorProblem"); }

// The functions the plug-in imports that the driver lacks, each by name;
// empty when it has all four. `decorated`: those it has only decorated.
std::vector<std::string> MissingFunctions(const DriverView& driver, std::vector<std::string>& decorated) {
    std::vector<std::string> missing;
    for (const DriverFunction& f : kDriverFunctions) {
        if (driver.Has(f.Name)) continue;
        missing.push_back(f.Name);
        for (const std::string& name : {std::string(f.Decorated), "_" + std::string(f.Decorated)})
            if (driver.Has(name)) decorated.push_back(name);
    }
    return missing;
}

// Reports the functions the plug-in imports that the driver lacks; true
// when it has all four.
bool CheckFunctions(const DriverView& driver, CheckReport& report) {
    std::vector<std::string> decorated;
    const std::vector<std::string> missing = MissingFunctions(driver, decorated);
    if (missing.empty()) {
        report.Ok(driver.Module ? "TmA4Drv.dll loads and has its four functions"
                                : "TmA4Drv.dll is a 32-bit DLL and has its four functions (read from its file: a "
                                  "64-bit program cannot load it)");
        return true;
    }
    if (decorated.size() == missing.size())
        report.Error("TmA4Drv.dll exports " + Listed(decorated) + ": the names are there but decorated (the "
                     "stdcall form, with @ and the size of the arguments), and Orvale8.dll imports the plain names, "
                     "so no copy of this same build will do: ask the vendor for a build that exports the plain "
                     "names (through a .def file)");
    else
        report.Error("TmA4Drv.dll lacks the function" + std::string(missing.size() > 1 ? "s " : " ") +
                     Listed(missing) + ": it is not the voice box driver, or a damaged copy; reinstall the "
                     "vendor's driver");
    return false;
}

// The tracing driver installed twice over: it would forward every call to
// itself until the host's stack overflows. Asked of the file, not of the
// tracing driver in front, so that an older tracing driver is caught too.
bool VendorIsTracingDriver(const DriverView& driver, const std::string& vendorPath) {
    if (!platform::FileExists(vendorPath)) return false;
    if (!driver.Module) {
        const std::vector<std::string> exports = PeExportedNames(vendorPath);
        return std::find(exports.begin(), exports.end(), "TraceProxy_VendorProblem") != exports.end();
    }
    DWORD error = 0;
    DriverView vendor;
    vendor.Module = LoadFrom(vendorPath, error);
    return vendor.Module && (vendor.Module.Get() == driver.Module.Get() || IsTracingDriver(vendor));
}

// Why the vendor's driver behind the tracing driver is not usable; empty
// when it is. Asked of the tracing driver itself when it is loaded here.
std::string VendorProblem(const DriverView& driver, const std::string& vendorPath) {
    if (driver.Module) {
        using Problem = std::int32_t(OV_STDCALL*)(char*, std::int32_t);
        const auto problem = reinterpret_cast<Problem>(
            reinterpret_cast<void*>(GetProcAddress(driver.Module.Get(), "TraceProxy_VendorProblem")));
        char why[256] = {};
        return problem(why, sizeof why) ? why : "";
    }
    if (!platform::FileExists(vendorPath)) return "TmA4Drv_vendor.dll not found";
    const std::string damage = PeFileDamage(vendorPath);
    if (!damage.empty()) return "TmA4Drv_vendor.dll " + damage;
    DriverView vendor;
    vendor.Exports = PeExportedNames(vendorPath);
    std::vector<std::string> decorated;
    const std::vector<std::string> missing = MissingFunctions(vendor, decorated);
    return missing.empty() ? "" : "TmA4Drv_vendor.dll lacks " + Listed(missing);
}

// A tracing driver answers every call with "no event" when the vendor's
// driver is not behind it: the host opens the device and never hears a ring.
void CheckTracingDriver(const DriverView& driver, const std::string& folder, CheckReport& report) {
    const std::string vendorPath = folder + "TmA4Drv_vendor.dll";
    if (VendorIsTracingDriver(driver, vendorPath)) {
        report.Error("TmA4Drv_vendor.dll is itself a copy of the tracing driver (the install steps run twice): the "
                     "tracing driver would call itself until the host crashes; copy the vendor's TmA4Drv.dll over "
                     "TmA4Drv_vendor.dll");
        return;
    }
    const std::string why = VendorProblem(driver, vendorPath);
    if (!why.empty()) {
        report.Error("TmA4Drv.dll is the tracing driver, and the vendor's driver behind it is not usable (" + why +
                     "): the device opens but no ring ever reaches the host; "
                     "rename the vendor's driver to TmA4Drv_vendor.dll beside it, or put the vendor's driver back "
                     "as TmA4Drv.dll");
        return;
    }
    report.Warning("the tracing driver is installed (TmA4Drv_vendor.dll behind it): when the diagnosis is done, "
                   "delete TmA4Drv.dll and TmA4Drv.trace.log and rename TmA4Drv_vendor.dll back to TmA4Drv.dll");
    const std::string version = VersionText(vendorPath);
    if (version.empty())
        report.Warning("the vendor's driver behind it, TmA4Drv_vendor.dll, carries no version text: ask the vendor "
                       "which version it is");
    else
        report.Ok("the vendor's driver behind it, TmA4Drv_vendor.dll, version text: " + version);
}

// The driver's file as the host's loader finds it: in the host's folder, or
// else on the DLL search path; empty when in neither.
std::string FindDriver(const std::string& folder, const std::string& shown, CheckReport& report) {
    const std::string path = folder + "TmA4Drv.dll";
    if (platform::FileExists(path)) return path;
    const std::string found = OnSearchPath("TmA4Drv.dll", true);
    if (found.empty())
        report.Error("TmA4Drv.dll not found in " + shown + " nor on the DLL search path" +
                     ": install the voice box vendor's driver beside the host program; without it Orvale8.dll does "
                     "not load");
    else
        report.Warning("TmA4Drv.dll is not in " + shown + " but on the DLL search path, at " + found +
                       ": the host loads it from there; a copy beside the host program is safer, since another "
                       "program's setup may replace or remove that one");
    return found;
}

}  // namespace

namespace {

// The driver opened as the check sees it; false, with an error, when it is
// broken, of the wrong processor or would not load.
bool OpenDriver(const std::string& path, WORD host, DriverView& driver, CheckReport& report) {
    const std::string refusedBy = host == IMAGE_FILE_MACHINE_AMD64
                                      ? std::string(kCompanion) + ", which runs it for the 64-bit plug-in, cannot load"
                                      : "a 32-bit host cannot load";
    const std::string advice = ": reinstall the vendor's 32-bit driver";
    DWORD error = 0;
    if (kLoadsTheDriver && (driver.Module = LoadFrom(path, error))) return true;
    // Only then is the vendor's file judged by its headers: what the loader
    // accepts is not for the check to call broken.
    const std::string damage = PeFileDamage(path, IMAGE_FILE_MACHINE_I386, refusedBy);
    if (kLoadsTheDriver || !damage.empty()) {
        report.Error("TmA4Drv.dll " + (damage.empty() ? "does not load" + LoadFailure(error, path) : damage) + advice);
        return false;
    }
    const std::string missing = MissingImport(path, true);
    if (!missing.empty()) {
        report.Error("TmA4Drv.dll cannot load: it needs " + missing +
                     ", which is neither beside it nor on the DLL search path" + advice);
        return false;
    }
    driver.Exports = PeExportedNames(path);
    return true;
}

}  // namespace

bool CheckDriver(const std::string& folder, const std::string& shown, WORD host, CheckReport& report,
                 UniqueModule& loaded) {
    const std::string path = FindDriver(folder, shown, report);
    DriverView driver;
    if (path.empty() || !OpenDriver(path, host, driver, report) || !CheckFunctions(driver, report)) return false;
    const std::string version = VersionText(path);
    const bool tracing = IsTracingDriver(driver);
    if (version.empty())
        report.Warning("TmA4Drv.dll carries no version text: ask the vendor which version it is");
    else
        report.Ok((tracing ? "TmA4Drv.dll is the tracing driver, its version text: " : "TmA4Drv.dll version text: ") +
                  version);
    if (driver.Has("SimDrv_Reset"))
        report.Warning("TmA4Drv.dll is the simulated box of the test kit, not the vendor's driver: install the "
                       "vendor's driver for a real line");
    if (tracing)
        CheckTracingDriver(driver, platform::DirectoryOf(path), report);
    else if (platform::FileExists(platform::DirectoryOf(path) + "TmA4Drv_vendor.dll"))
        report.Warning("TmA4Drv_vendor.dll lies beside TmA4Drv.dll, as the tracing driver needs it, but "
                       "TmA4Drv.dll is not the tracing driver: rename TmA4Drv_vendor.dll back to TmA4Drv.dll");
    loaded = std::move(driver.Module);
    return true;
}
