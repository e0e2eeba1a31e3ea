#include "tools/host/SimulatedBox.h"

#include <windows.h>

#include "platform/runtime/HostPath.h"

namespace {

std::string AnsiFromUtf8(const std::string& utf8) {
    const std::wstring wide = platform::WideFromUtf8(utf8);
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string ansi(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0], n, nullptr, nullptr);
    return ansi;
}

}  // namespace

bool PlayOnSimulatedBox(const std::string& path, simdrv::ScenarioInfo& info, std::string& error) {
    // Behind the tracing driver the simulated box carries the vendor's file name.
    SimDrv_PlayScenario_t play = nullptr;
    for (const char* name : {"TmA4Drv.dll", "TmA4Drv_vendor.dll"}) {
        const HMODULE driver = GetModuleHandleA(name);
        if (driver && !play)
            play = reinterpret_cast<SimDrv_PlayScenario_t>(
                reinterpret_cast<void*>(GetProcAddress(driver, "SimDrv_PlayScenario")));
    }
    if (!play) {
        error = "TmA4Drv.dll beside ovhost.exe is not the simulated box (the kit's simbox\\TmA4Drv.dll); nothing "
                "to replay";
        return false;
    }
    // The simulated box opens the file through the ANSI API.
    if (play(AnsiFromUtf8(path).c_str(), &info) < 0) {
        error = info.Report;
        return false;
    }
    return true;
}
