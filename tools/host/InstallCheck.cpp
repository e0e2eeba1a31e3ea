#include "tools/host/InstallCheck.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/runtime/Paths.h"
#include "platform/runtime/Handles_win32.h"
#include "tools/host/CheckDll.h"
#include "tools/host/CheckReport.h"
#include "tools/host/PeFile.h"
#include "tools/host/PluginExports.h"

namespace {

using platform::UniqueModule;

// The kit's tools, its guide and its samples describe their own release: a
// plug-in of another one may behave otherwise than they say.
void CheckPluginVersion(const std::string& version, CheckReport& report) {
    const std::string tools = VersionText(platform::ExecutablePath());
    if (version.empty() || tools.empty() || version == tools) return;
    report.Warning("Orvale8.dll is version " + version + ", these tools are version " + tools +
                   ": what the tools and the kit's guide say may not hold for it; install the Orvale8.dll of this "
                   "kit, or check with the tools of the kit it came with");
}

// The five functions, by loading it when it is of this bench's processor,
// else from its file's export table; false when one is missing.
bool CheckPluginFunctions(const std::string& path, CheckReport& report) {
    const bool loads = PeMachine(path) == (sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    DWORD error = 0;
    const UniqueModule plugin = loads ? LoadFrom(path, error) : UniqueModule();
    if (loads && !plugin) {
        report.Error("Orvale8.dll does not load" + LoadFailure(error, path) + ": replace it with the released file");
        return false;
    }
    const std::vector<std::string> exports = loads ? std::vector<std::string>() : PeExportedNames(path);
    bool complete = true;
    PluginFunctions unused;
    ForEachPluginExport(unused, [&](const char* name, WORD, auto&) {
        if (plugin ? GetProcAddress(plugin.Get(), name) != nullptr
                   : std::find(exports.begin(), exports.end(), name) != exports.end())
            return;
        complete = false;
        report.Error(std::string("Orvale8.dll lacks the function ") + name + ": replace it with the released file");
    });
    return complete;
}

// The 32-bit plug-in is not loaded beside a driver that is missing or
// incomplete: Windows then refuses it, but Wine would load it with a stub
// for the missing function. The 64-bit one does not import the driver.
void CheckPlugin(const std::string& folder, const std::string& shown, WORD host, bool machineSound,
                 bool driverSound, CheckReport& report) {
    const std::string path = folder + "Orvale8.dll";
    if (!platform::FileExists(path)) {
        report.Error("Orvale8.dll not found in " + shown + ": copy it beside the host program");
        return;
    }
    if (platform::FileExists(path + ".debug"))
        report.Warning("Orvale8.dll.debug is installed: it is the debug information for reading crash reports, "
                       "of no use to the host; delete it here and keep it with the release");
    if (!machineSound) return;
    const std::string damage = PeFileDamage(path, host, std::string("a ") + BitsOf(host) + " host cannot load");
    if (!damage.empty()) {
        report.Error("Orvale8.dll " + damage + ": replace it with the released file");
        return;
    }
    if (host == IMAGE_FILE_MACHINE_I386 && !driverSound) {
        report.Error("Orvale8.dll does not load without a complete TmA4Drv.dll beside it: fix the driver first");
        return;
    }
    const bool complete = CheckPluginFunctions(path, report);
    const std::string version = VersionText(path);
    if (complete)
        report.Ok("Orvale8.dll " + (version.empty() ? std::string("(no version text)") : version) +
                  (PeMachine(path) == (sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386)
                       ? " loads and has its five functions"
                       : " has its five functions (read from its file: this bench cannot load a DLL of the other "
                         "processor)"));
    CheckPluginVersion(version, report);
    if (host == IMAGE_FILE_MACHINE_AMD64) CheckCompanion(folder, version, report);
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
    std::string program;  // the host program, when named instead of its folder
    // "C:\Shop\" on a command line reaches us as C:\Shop" (the backslash
    // escapes the quote), so a quote at the end is that separator.
    if (!folder.empty() && folder.back() == '"') folder.back() = '\\';
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    // Full, as loading with the folder first on the search path needs it.
    std::vector<wchar_t> full(32768);
    const DWORD length = GetFullPathNameW(platform::WideFromUtf8(folder).c_str(), 32768, full.data(), nullptr);
    if (length && length < full.size()) folder = platform::Utf8FromWide(std::wstring(full.data(), length));
    CheckReport report;
    DWORD attributes = GetFileAttributesW(platform::FullWidePath(folder).c_str());
    const std::string named = folder.substr(0, folder.size() - 1);
    if (attributes == INVALID_FILE_ATTRIBUTES && named.size() > 4 &&
        lstrcmpiA(named.c_str() + named.size() - 4, ".exe") == 0 && platform::FileExists(named)) {
        program = named;
        folder = platform::DirectoryOf(named);
        attributes = GetFileAttributesW(platform::FullWidePath(folder).c_str());
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        report.Error(folderName + " is not a folder: give the folder of the host program, or the program");
        return 1;
    }
    const std::string& shown = folder;  // paths are UTF-8, as the findings are
    WriteOut("ovhost: checking " + shown + "\n");
    // The plug-in of the other processor first: it is what vendors get wrong.
    const WORD host = CheckHostProgram(folder, program, report);
    const bool machineSound = CheckPluginMachine(folder, host, report);
    {
        UniqueModule driver;
        const bool driverSound = CheckDriver(folder, shown, host, report, driver);
        CheckPlugin(folder, shown, host, machineSound, driverSound, report);
    }
    HostLanguage language;
    CheckSettingsFile(folder, report, language);
    CheckLanguageFile(folder, language, report);
    CheckCodePage(report);
    WriteOut("ovhost: " + std::to_string(report.Errors()) + " errors, " + std::to_string(report.Warnings()) +
             " warnings\n");
    return report.Errors() ? 1 : 0;
}
