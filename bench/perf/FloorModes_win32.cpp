#include "bench/perf/FloorModes_win32.h"

#include <windows.h>

#include "bench/perf/ChildSupport_win32.h"
#include "bench/perf/Clock_win32.h"
#include "bench/perf/Events.h"
#include "bench/perf/FloorDialog_win32.h"
#include "bench/perf/FloorHop_win32.h"
#include "bench/perf/Pump_win32.h"
#include "bench/perf/SimDriver_win32.h"
#include "bench/perf/Workspace_win32.h"

namespace perf {
namespace {

// The simulated driver, loaded as the plug-in loads it: from beside the program.
bool LoadDriver(SimDriver& sim, DriverCalls& calls) {
    const HMODULE driver = LoadLibraryA((ProgramDirectory() + "TmA4Drv.dll").c_str());
    if (sim.Attach(driver) && calls.Find(driver)) return true;
    EmitError("the simulated TmA4Drv.dll could not be loaded");
    return false;
}

}  // namespace

int FloorRing(int events) {
    SimDriver sim;
    DriverCalls calls;
    if (!LoadDriver(sim, calls)) return 1;
    sim.Reset();
    for (int i = 0; i < events; ++i) sim.QueueEvent(kRingCode, EventText(i));
    calls.Initialize();
    FloorHop hop(calls, events);
    if (!hop.Ready()) {
        EmitError("the floor's window or event could not be created");
        return 1;
    }
    hop.Start();
    const bool allArrived = RunUntilQuit((events + 10) * 300 + 5000);
    hop.Stop();
    if (!allArrived) EmitError("not every event arrived in time");
    const std::vector<PollRecord> polls = sim.Polls();
    EmitPairing("hop_us", PairArrivals(polls, hop.Arrivals(), TicksPerSecond()), kWarmupEvents);
    EmitPairing("roundtrip_us", PairArrivals(polls, hop.Returns(), TicksPerSecond()), kWarmupEvents);
    return 0;
}

int FloorIdle(int seconds) {
    SimDriver sim;
    DriverCalls calls;
    if (!LoadDriver(sim, calls)) return 1;
    sim.Reset();
    calls.Initialize();
    FloorHop hop(calls, 0);
    if (!hop.Ready()) {
        EmitError("the floor's window or event could not be created");
        return 1;
    }
    hop.Start();
    const IdleWindow window = MeasureIdle(seconds);
    hop.Stop();
    EmitIdle(window, sim.Polls());
    return 0;
}

int FloorClose(int trials) {
    SimDriver sim;
    DriverCalls calls;
    if (!LoadDriver(sim, calls)) return 1;
    for (int t = 0; t < trials; ++t) {
        sim.Reset();
        calls.Initialize();
        FloorHop hop(calls, 0);
        if (!hop.Ready()) {
            EmitError("the floor's window or event could not be created");
            return 1;
        }
        hop.Start();
        PumpFor(CloseDelayMs(t));
        const std::int64_t called = Now();
        hop.Stop();
        const std::int64_t returned = Now();
        EmitClose(called, LastPollTime(sim.Log(), called), returned);
    }
    return 0;
}

int FloorDialog(int warm) {
    MeasureDialogs([] { return ShowFloorDialog(); }, warm);
    return 0;
}

int LoadOnce(const std::string& file, const std::string& name) {
    const std::string path = ProgramDirectory() + file;
    const std::int64_t start = Now();
    const HMODULE module = LoadLibraryA(path.c_str());
    const std::int64_t loaded = Now();
    if (!module) {
        EmitError("LoadLibrary(" + file + ") failed with error " + std::to_string(GetLastError()));
        return 1;
    }
    EmitSample(name, MicrosBetween(start, loaded));
    return 0;
}

}  // namespace perf
