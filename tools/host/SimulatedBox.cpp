#include "tools/host/SimulatedBox.h"

#include <windows.h>

#include "platform/runtime/TextConvert.h"
#include "tools/simdrv/ScenarioLoad.h"

bool PlayOnSimulatedBox(const std::string& path, simdrv::ScenarioInfo& info, std::string& error) {
    // Behind the tracing driver the simulated box carries the vendor's file name.
    decltype(&SimDrv_PlayScenario) play = nullptr;
    for (const char* name : {"TmA4Drv.dll", "TmA4Drv_vendor.dll"}) {
        const HMODULE driver = GetModuleHandleA(name);
        if (driver && !play)
            play = reinterpret_cast<decltype(&SimDrv_PlayScenario)>(
                reinterpret_cast<void*>(GetProcAddress(driver, "SimDrv_PlayScenario")));
    }
    if (!play) {
        error = "TmA4Drv.dll beside ovhost.exe is not the simulated box (the kit's simbox\\TmA4Drv.dll); nothing "
                "to replay";
        return false;
    }
    if (play(path.c_str(), &info) < 0) {
        error = info.Report;
        return false;
    }
    return true;
}

void PlayInCompanion(const std::string& path) {
    SetEnvironmentVariableW(simdrv::kScenarioVariable, platform::WideFromUtf8(path).c_str());
}
