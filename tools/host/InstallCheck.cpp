#include "tools/host/InstallCheck.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "include/Orvale8.h"
#include "platform/runtime/HostPath.h"
#include "platform/runtime/Handles_win32.h"
#include "tools/host/CheckReport.h"
#include "tools/host/PeFile.h"

namespace {

using platform::UniqueModule;

constexpr const char* kDriverFunctions[] = {"Tma4drv_DLL_Version", "TV_Initialize", "TV_Disable", "TV_GetEvent"};
constexpr const char* kPluginFunctions[] = {"ShowProperties", "InitCallbackEx", "CloseDevice", "InitDevice",
                                            "GetLastError"};

// The file's version text from its version resource; empty when it has none.
std::string VersionText(const std::string& path) {
    DWORD ignored = 0;
    const std::wstring wide = platform::WideFromUtf8(path);
    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (!size) return std::string();
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, data.data())) return std::string();
    struct Translation {
        WORD Language, CodePage;
    }* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        length < sizeof *translations)
        return std::string();
    wchar_t key[64];
    wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileVersion", translations->Language, translations->CodePage);
    // Read wide: the ANSI query would give it in the system's code page.
    wchar_t* text = nullptr;
    if (!VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&text), &length) || !length) return std::string();
    return platform::Utf8FromWide(std::wstring(text, wcsnlen(text, length)));
}

std::string LoadFailure(DWORD error) {
    std::string text = " (error " + std::to_string(error) + ")";
    if (error == ERROR_MOD_NOT_FOUND) text += ": a DLL it needs is missing";
    if (error == ERROR_PROC_NOT_FOUND) text += ": a DLL it needs lacks a function";
    if (error == ERROR_BAD_EXE_FORMAT) text += ": not a 32-bit Windows DLL";
    return text;
}

// Loaded from the folder itself, with that folder first on the search path
// for what it imports, as the host's loader would find it. The path is full
// already, and the loader takes it without the long-path prefix.
UniqueModule LoadFrom(const std::string& path, DWORD& error) {
    UniqueModule module(LoadLibraryExW(platform::WideFromUtf8(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    error = module ? 0 : GetLastError();
    return module;
}

// Reads as a list: "A", "A and B", "A, B and C".
std::string Listed(const std::vector<const char*>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + std::string(names[i]);
    return text;
}

std::vector<const char*> MissingFunctions(HMODULE module) {
    std::vector<const char*> missing;
    for (const char* name : kDriverFunctions)
        if (!GetProcAddress(module, name)) missing.push_back(name);
    return missing;
}

// A tracing driver answers every call with "no event" when the vendor's
// driver is not behind it: the host opens the device and never hears a ring.
void CheckTracingDriver(HMODULE driver, const std::string& folder, CheckReport& report) {
    using VendorProblem = std::int32_t(OV_STDCALL*)(char*, std::int32_t);
    const auto problem =
        reinterpret_cast<VendorProblem>(reinterpret_cast<void*>(GetProcAddress(driver, "TraceProxy_VendorProblem")));
    if (!problem) {
        if (platform::FileExists(folder + "TmA4Drv_vendor.dll"))
            report.Warning("TmA4Drv_vendor.dll lies beside TmA4Drv.dll, as the tracing driver needs it, but "
                           "TmA4Drv.dll is not the tracing driver: rename TmA4Drv_vendor.dll back to TmA4Drv.dll");
        return;
    }
    char why[256] = {};
    if (problem(why, sizeof why)) {
        report.Error(std::string("TmA4Drv.dll is the tracing driver, and the vendor's driver behind it is not "
                                 "usable (") + why + "): the device opens but no ring ever reaches the host; "
                     "rename the vendor's driver to TmA4Drv_vendor.dll beside it, or put the vendor's driver back "
                     "as TmA4Drv.dll");
        return;
    }
    report.Warning("the tracing driver is installed (TmA4Drv_vendor.dll behind it): when the diagnosis is done, "
                   "delete TmA4Drv.dll and TmA4Drv.trace.log and rename TmA4Drv_vendor.dll back to TmA4Drv.dll");
}

// The driver stays loaded while the plug-in is checked, so the plug-in's
// import of it is the one in the folder; none is returned when it is missing,
// broken, does not load or lacks a function. A DLL that lacks one is no voice
// box driver: nothing more of it is asked or called.
UniqueModule CheckDriver(const std::string& folder, const std::string& shown, CheckReport& report) {
    const std::string path = folder + "TmA4Drv.dll";
    if (!platform::FileExists(path)) {
        report.Error("TmA4Drv.dll not found in " + shown +
                     ": install the voice box vendor's driver beside the host program; without it Orvale8.dll does "
                     "not load");
        return UniqueModule();
    }
    DWORD error = 0;
    UniqueModule driver = LoadFrom(path, error);
    if (!driver) {
        // Only then is the vendor's file judged by its headers: what the
        // loader accepts is not for the check to call broken.
        const std::string damage = PeFileDamage(path);
        report.Error((damage.empty() ? "TmA4Drv.dll does not load" + LoadFailure(error)
                                     : "TmA4Drv.dll is broken, " + damage) +
                     ": reinstall the vendor's driver");
        return driver;
    }
    const std::vector<const char*> missing = MissingFunctions(driver.Get());
    if (!missing.empty()) {
        report.Error("TmA4Drv.dll lacks the function" + std::string(missing.size() > 1 ? "s " : " ") +
                     Listed(missing) + ": it is not the voice box driver, or a damaged copy; reinstall the "
                     "vendor's driver");
        return UniqueModule();
    }
    report.Ok("TmA4Drv.dll loads and has its four functions");
    const std::string version = VersionText(path);
    if (version.empty())
        report.Warning("TmA4Drv.dll carries no version text: ask the vendor which version it is");
    else
        report.Ok("TmA4Drv.dll version text: " + version);
    if (GetProcAddress(driver.Get(), "SimDrv_Reset"))
        report.Warning("TmA4Drv.dll is the simulated box of the test kit, not the vendor's driver: install the "
                       "vendor's driver for a real line");
    CheckTracingDriver(driver.Get(), folder, report);
    return driver;
}

// Not loaded beside a driver that is missing or incomplete: Windows then
// refuses it, but Wine would load it with a stub for the missing function.
void CheckPlugin(const std::string& folder, const std::string& shown, bool driverSound, CheckReport& report) {
    const std::string path = folder + "Orvale8.dll";
    if (!platform::FileExists(path)) {
        report.Error("Orvale8.dll not found in " + shown + ": copy it beside the host program");
        return;
    }
    if (platform::FileExists(path + ".debug"))
        report.Warning("Orvale8.dll.debug is installed: it is the debug information for reading crash reports, "
                       "of no use to the host; delete it here and keep it with the release");
    const std::string damage = PeFileDamage(path);
    if (!damage.empty()) {
        report.Error("Orvale8.dll is broken, " + damage + ": replace it with the released file");
        return;
    }
    if (!driverSound) {
        report.Error("Orvale8.dll does not load without a complete TmA4Drv.dll beside it: fix the driver first");
        return;
    }
    DWORD error = 0;
    const UniqueModule plugin = LoadFrom(path, error);
    if (!plugin) {
        report.Error("Orvale8.dll does not load" + LoadFailure(error) + ": replace it with the released file");
        return;
    }
    bool complete = true;
    for (const char* name : kPluginFunctions) {
        if (GetProcAddress(plugin.Get(), name)) continue;
        complete = false;
        report.Error(std::string("Orvale8.dll lacks the function ") + name + ": replace it with the released file");
    }
    const std::string version = VersionText(path);
    if (complete)
        report.Ok("Orvale8.dll " + (version.empty() ? std::string("(no version text)") : version) +
                  " loads and has its five functions");
}

void CheckCodePage(CheckReport& report) {
    const UINT acp = GetACP();
    if (acp == 936) {
        report.Ok("the system's ANSI code page is 936: the caller texts (GB2312) read correctly in the host");
        return;
    }
    report.Warning("the system's ANSI code page is " + std::to_string(acp) +
                   ", not 936: a host showing the caller texts through the ANSI API shows Chinese garbled; set "
                   "Windows' language for non-Unicode programs to Chinese (Simplified, PRC). The plug-in's dialog "
                   "reads right either way");
}

}  // namespace

int RunInstallCheck(const std::string& folderName) {
    std::string folder = folderName;
    // "C:\Shop\" on a command line reaches us as C:\Shop" (the backslash
    // escapes the quote), so a quote at the end is that separator.
    if (!folder.empty() && folder.back() == '"') folder.back() = '\\';
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    // Full, as loading with the folder first on the search path needs it.
    std::vector<wchar_t> full(32768);
    const DWORD length = GetFullPathNameW(platform::WideFromUtf8(folder).c_str(), 32768, full.data(), nullptr);
    if (length && length < full.size()) folder = platform::Utf8FromWide(std::wstring(full.data(), length));
    CheckReport report;
    const DWORD attributes = GetFileAttributesW(platform::FullWidePath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        report.Error(folderName + " is not a folder: give the folder of the host program");
        return 1;
    }
    const std::string& shown = folder;  // paths are UTF-8, as the findings are
    WriteOut("ovhost: checking " + shown + "\n");
    {
        const UniqueModule driver = CheckDriver(folder, shown, report);
        CheckPlugin(folder, shown, driver.Valid(), report);
    }
    HostLanguage language;
    CheckSettingsFile(folder, report, language);
    CheckLanguageFile(folder, language, report);
    CheckCodePage(report);
    WriteOut("ovhost: " + std::to_string(report.Errors()) + " errors, " + std::to_string(report.Warnings()) +
             " warnings\n");
    return report.Errors() ? 1 : 0;
}
