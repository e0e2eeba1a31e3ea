// ovperf_host MODE N: the plug-in's side of each figure (Measure_win32.h), a
// host linked with Orvale8.dll through the SDK's import library, as host
// vendors build.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "bench/perf/BoxRuns_win32.h"
#include "bench/perf/Measure_win32.h"
#include "include/Orvale8.h"
#include "tests/support/SimDriver_win32.h"

namespace {

perf::Side* g_side = nullptr;  // the callback's context: one side per process

void OV_STDCALL OnDeviceEvent(OV_DATA, const char* text, const char* event) {
    const std::int64_t entered = ovtest::PerformanceNow();
    if (text && event && std::strcmp(event, OV_EVENT_RING) == 0)
        g_side->Arrived(perf::EventIndex(text, std::strlen(text)), entered);
}

class PluginSide : public perf::Side {
public:
    PluginSide() { g_side = this; }
    bool Open() override {
        InitCallbackEx(0, OnDeviceEvent);
        return InitDevice() == OV_TRUE || (perf::EmitError(std::string("InitDevice: ") + OrvaleGetLastError()), false);
    }
    void Close() override { CloseDevice(); }
    int ShowDialog() override { return ShowProperties(nullptr); }
};

}  // namespace

int main(int argc, char** argv) {
    PluginSide side;
    const std::vector<std::string> args(argv + 1, argv + argc);
    int result = perf::RunBoxSide(args, side);
    if (result < 0) result = perf::RunSide(args, side);
    if (result < 0)
        std::fprintf(stderr, "usage: ovperf_host ring N | idle SECONDS | close TRIALS | dialog WARM | ring-box N | "
                             "idle-box SECONDS\n");
    return result < 0 ? 2 : result;
}
