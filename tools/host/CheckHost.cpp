// The install check of what depends on the host's processor: which host
// the folder serves, whether Orvale8.dll is the plug-in of that processor
// (the first thing a vendor gets wrong), and, for a 64-bit host, the 32-bit
// companion that runs the vendor's 32-bit driver for the 64-bit plug-in.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "tools/host/CheckDll.h"
#include "tools/host/CheckReport.h"
#include "tools/host/PeFile.h"

namespace {

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

// The programs in the folder that may be the host, by processor: all but
// the bench and the companion, which come with the plug-in.
std::map<WORD, std::vector<std::string>> HostPrograms(const std::string& folder) {
    std::map<WORD, std::vector<std::string>> programs;
    WIN32_FIND_DATAW found;
    const platform::UniqueFind search(FindFirstFileW(platform::FullWidePath(folder + "*.exe").c_str(), &found));
    if (!search) return programs;
    do {
        const std::string name = platform::Utf8FromWide(found.cFileName);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY || lstrcmpiA(name.c_str(), "ovhost.exe") == 0 ||
            lstrcmpiA(name.c_str(), kCompanion) == 0)
            continue;
        const WORD machine = PeMachine(folder + name);
        if (machine == IMAGE_FILE_MACHINE_I386 || machine == IMAGE_FILE_MACHINE_AMD64) programs[machine].push_back(name);
    } while (FindNextFileW(search.Get(), &found));
    return programs;
}

std::string WhatItNeeds(WORD machine) {
    return machine == IMAGE_FILE_MACHINE_AMD64 ? "the 64-bit Orvale8.dll, with Orvale8Drv32.exe beside it"
                                               : "the 32-bit Orvale8.dll";
}

// The plug-in's own processor, or 32-bit when it is missing or unreadable.
WORD PluginMachine(const std::string& folder) {
    const WORD machine = PeMachine(folder + "Orvale8.dll");
    return machine == IMAGE_FILE_MACHINE_AMD64 ? machine : IMAGE_FILE_MACHINE_I386;
}

}  // namespace

WORD CheckHostProgram(const std::string& folder, const std::string& program, CheckReport& report) {
    if (!program.empty()) {
        const WORD machine = PeMachine(program);
        if (machine == IMAGE_FILE_MACHINE_I386 || machine == IMAGE_FILE_MACHINE_AMD64) {
            report.Ok(FileNameOf(program) + " is a " + BitsOf(machine) + " program: it needs " + WhatItNeeds(machine));
            return machine;
        }
        report.Error(FileNameOf(program) + " is not a 32-bit or 64-bit Windows program: give the host program, or "
                                           "its folder");
        return PluginMachine(folder);
    }
    const auto programs = HostPrograms(folder);
    if (programs.size() == 1) {
        const WORD machine = programs.begin()->first;
        report.Ok(Listed(programs.begin()->second) + (programs.begin()->second.size() > 1 ? " are " : " is a ") +
                  BitsOf(machine) + (programs.begin()->second.size() > 1 ? " programs" : " program") + ": the host needs " +
                  WhatItNeeds(machine));
        return machine;
    }
    const WORD machine = PluginMachine(folder);
    if (programs.empty())
        report.Ok(std::string("no host program in the folder: checked as a ") + BitsOf(machine) +
                  " host's, as Orvale8.dll is; give the host program (ovhost --check PATH\\HOST.exe) to check "
                  "Orvale8.dll against it");
    else
        report.Warning("the folder holds 32-bit programs (" + Listed(programs.at(IMAGE_FILE_MACHINE_I386)) +
                       ") and 64-bit ones (" + Listed(programs.at(IMAGE_FILE_MACHINE_AMD64)) + "): checked as a " +
                       BitsOf(machine) + " host's, as Orvale8.dll is; give the host program (ovhost --check "
                       "PATH\\HOST.exe) to check Orvale8.dll against it");
    return machine;
}

bool CheckPluginMachine(const std::string& folder, WORD host, CheckReport& report) {
    const WORD plugin = PeMachine(folder + "Orvale8.dll");
    if ((plugin != IMAGE_FILE_MACHINE_I386 && plugin != IMAGE_FILE_MACHINE_AMD64) || plugin == host) return true;
    report.Error(std::string("Orvale8.dll is the ") + BitsOf(plugin) + " plug-in, and the host is " + BitsOf(host) +
                 ": a " + BitsOf(host) + " program cannot load a " + BitsOf(plugin) + " DLL, so the host fails to "
                 "start or to find the plug-in; install " + WhatItNeeds(host));
    return false;
}

void CheckCompanion(const std::string& folder, const std::string& pluginVersion, CheckReport& report) {
    const std::string path = folder + kCompanion;
    if (!platform::FileExists(path)) {
        report.Error(std::string(kCompanion) + " not found beside Orvale8.dll: the 64-bit plug-in runs the vendor's "
                     "32-bit driver in it, so InitDevice fails; copy it from the kit beside Orvale8.dll");
        return;
    }
    const std::string damage =
        PeFileDamage(path, IMAGE_FILE_MACHINE_I386, "cannot load the vendor's 32-bit TmA4Drv.dll");
    if (!damage.empty()) {
        report.Error(std::string(kCompanion) + " " + damage + ": replace it with the kit's file");
        return;
    }
    const std::string version = VersionText(path);
    if (!pluginVersion.empty() && version != pluginVersion)
        report.Warning(std::string(kCompanion) + " is version " + (version.empty() ? "(none)" : version) +
                       ", Orvale8.dll version " + pluginVersion + ": install both from one kit");
    else
        report.Ok(std::string(kCompanion) + " " + (version.empty() ? std::string("(no version text)") : version) +
                  " is beside Orvale8.dll, a 32-bit program, to run the 32-bit driver for the 64-bit plug-in");
}
