#include "tools/simdrv/ScenarioLoad.h"

#include <cstdint>

#include "platform/runtime/File.h"
#include "platform/runtime/Module_win32.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/TextConvert.h"

namespace simdrv {

bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& why) {
    constexpr std::uint64_t kLargestFile = 16u << 20;
    platform::TInFile file;
    const bool opened = file.Open(path) == platform::TReadResult::Read;
    if (opened && file.Size() > kLargestFile) {
        why = "is not a file of at most 16 MB";
        return false;
    }
    std::string bytes;
    if (!opened || !file.ReadFull(&bytes)) {
        why = "cannot be read (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    scenario = ParseScenario(bytes);
    return true;
}

std::string ScenarioBesideDriver() {
    wchar_t named[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(kScenarioVariable, named, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return platform::Utf8FromWide(named);
    return platform::DirectoryOf(platform::ModulePath(platform::ThisModule())) + "TmA4Drv.scenario";
}

}  // namespace simdrv
