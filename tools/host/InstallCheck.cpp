#include "tools/host/InstallCheck.h"

#include <windows.h>

#include <vector>

#include "platform/HostPath.h"
#include "platform/UniqueResource.h"
#include "tools/host/CheckReport.h"

namespace {

using UniqueModule = platform::UniqueResource<HMODULE, &FreeLibrary>;

constexpr const char* kDriverFunctions[] = {"Tma4drv_DLL_Version", "TV_Initialize", "TV_Disable", "TV_GetEvent"};
constexpr const char* kPluginFunctions[] = {"ShowProperties", "InitCallbackEx", "CloseDevice", "InitDevice",
                                            "GetLastError"};

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(platform::FullWidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

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
    char key[64];
    wsprintfA(key, "\\StringFileInfo\\%04x%04x\\FileVersion", translations->Language, translations->CodePage);
    char* text = nullptr;
    if (!VerQueryValueA(data.data(), key, reinterpret_cast<void**>(&text), &length) || !length) return std::string();
    return Cp936ToUtf8(text);
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

// The driver stays loaded while the plug-in is checked, so the plug-in's
// import of it is the one in the folder; none is returned when it is missing,
// does not load or lacks a function.
UniqueModule CheckDriver(const std::string& folder, CheckReport& report) {
    const std::string path = folder + "TmA4Drv.dll";
    if (!FileExists(path)) {
        report.Error("TmA4Drv.dll not found in " + folder +
                     ": install the voice box vendor's driver beside the host program; without it Orvale8.dll does "
                     "not load");
        return UniqueModule();
    }
    DWORD error = 0;
    UniqueModule driver = LoadFrom(path, error);
    if (!driver) {
        report.Error("TmA4Drv.dll does not load" + LoadFailure(error) + ": reinstall the vendor's driver");
        return driver;
    }
    bool complete = true;
    for (const char* name : kDriverFunctions) {
        if (GetProcAddress(driver.Get(), name)) continue;
        complete = false;
        report.Error(std::string("TmA4Drv.dll lacks the function ") + name +
                     ": it is not the voice box driver, or a damaged copy; reinstall the vendor's driver");
    }
    if (complete) report.Ok("TmA4Drv.dll loads and has its four functions");
    const std::string version = VersionText(path);
    if (version.empty())
        report.Warning("TmA4Drv.dll carries no version text: ask the vendor which version it is");
    else
        report.Ok("TmA4Drv.dll version text: " + version);
    if (GetProcAddress(driver.Get(), "SimDrv_Reset"))
        report.Warning("TmA4Drv.dll is the simulated box of the test kit, not the vendor's driver: install the "
                       "vendor's driver for a real line");
    if (FileExists(folder + "TmA4Drv_vendor.dll"))
        report.Warning("the tracing driver is installed (TmA4Drv_vendor.dll beside it): when the diagnosis is done, "
                       "delete TmA4Drv.dll and TmA4Drv.trace.log and rename TmA4Drv_vendor.dll back to TmA4Drv.dll");
    if (!complete) driver.Reset();
    return driver;
}

// Not loaded beside a driver that is missing or incomplete: Windows then
// refuses it, but Wine would load it with a stub for the missing function.
void CheckPlugin(const std::string& folder, bool driverSound, CheckReport& report) {
    const std::string path = folder + "Orvale8.dll";
    if (!FileExists(path)) {
        report.Error("Orvale8.dll not found in " + folder + ": copy it beside the host program");
        return;
    }
    if (!driverSound) {
        report.Error("Orvale8.dll does not load without a complete TmA4Drv.dll beside it: fix the driver first");
        return;
    }
    DWORD error = 0;
    const UniqueModule plugin = LoadFrom(path, error);
    if (!plugin) {
        report.Error("Orvale8.dll does not load" + LoadFailure(error) +
                     ": it needs TmA4Drv.dll with its four functions beside it (see above)");
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
    WriteOut("ovhost: checking " + folder + "\n");
    {
        const UniqueModule driver = CheckDriver(folder, report);
        CheckPlugin(folder, driver.Valid(), report);
    }
    HostLanguage language;
    CheckSettingsFile(folder, report, language);
    CheckLanguageFile(folder, language, report);
    CheckCodePage(report);
    WriteOut("ovhost: " + std::to_string(report.Errors()) + " errors, " + std::to_string(report.Warnings()) +
             " warnings\n");
    return report.Errors() ? 1 : 0;
}
