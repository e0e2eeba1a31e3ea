#include "tools/host/InstallCheck.h"

#include <windows.h>

#include <vector>

#include "platform/runtime/HostPath.h"
#include "platform/runtime/Handles_win32.h"
#include "tools/host/CheckDll.h"
#include "tools/host/CheckReport.h"
#include "tools/host/PeFile.h"

namespace {

using platform::UniqueModule;

constexpr const char* kPluginFunctions[] = {"ShowProperties", "InitCallbackEx", "CloseDevice", "InitDevice",
                                            "GetLastError"};

// The kit's tools, its guide and its samples describe their own release: a
// plug-in of another one may behave otherwise than they say.
void CheckPluginVersion(const std::string& version, CheckReport& report) {
    const std::string tools = VersionText(platform::ExecutablePath());
    if (version.empty() || tools.empty() || version == tools) return;
    report.Warning("Orvale8.dll is version " + version + ", these tools are version " + tools +
                   ": what the tools and the kit's guide say may not hold for it; install the Orvale8.dll of this "
                   "kit, or check with the tools of the kit it came with");
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
        report.Error("Orvale8.dll " + damage + ": replace it with the released file");
        return;
    }
    if (!driverSound) {
        report.Error("Orvale8.dll does not load without a complete TmA4Drv.dll beside it: fix the driver first");
        return;
    }
    DWORD error = 0;
    const UniqueModule plugin = LoadFrom(path, error);
    if (!plugin) {
        report.Error("Orvale8.dll does not load" + LoadFailure(error, path) + ": replace it with the released file");
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
    CheckPluginVersion(version, report);
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
