#include "bench/perf/ProductModes_win32.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "Orvale8.h"
#include "bench/perf/ChildSupport_win32.h"
#include "bench/perf/Clock_win32.h"
#include "bench/perf/Events.h"
#include "bench/perf/Pump_win32.h"
#include "bench/perf/SimDriver_win32.h"

namespace perf {
namespace {

// Written by the callback, on the host thread only.
std::vector<std::int64_t> arrivals;
int arrived = 0;

void __stdcall OnDeviceEvent(int, const char* text, const char* event) {
    const std::int64_t entered = Now();
    if (!text || !event || std::strcmp(event, OV_EVENT_RING) != 0) return;
    const int index = EventIndex(text, std::strlen(text));
    if (index < 0 || std::size_t(index) >= arrivals.size() || arrivals[std::size_t(index)] >= 0) return;
    arrivals[std::size_t(index)] = entered;
    if (++arrived == int(arrivals.size())) PostQuitMessage(0);
}

bool AttachDriver(SimDriver& sim) {
    if (sim.Attach(GetModuleHandleA("TmA4Drv.dll"))) return true;
    EmitError("TmA4Drv.dll beside the host is not the simulated driver");
    return false;
}

bool Open() {
    if (InitDevice() == OV_TRUE) return true;
    EmitError(std::string("InitDevice failed: ") + OrvaleGetLastError());
    return false;
}

}  // namespace

int ProductRing(int events) {
    SimDriver sim;
    if (!AttachDriver(sim)) return 1;
    sim.Reset();
    for (int i = 0; i < events; ++i) sim.QueueEvent(kRingCode, EventText(i));
    arrivals.assign(std::size_t(events), -1);
    arrived = 0;
    InitCallbackEx(0, OnDeviceEvent);
    if (!Open()) return 1;
    const bool allArrived = RunUntilQuit((events + 10) * 300 + 5000);
    CloseDevice();
    InitCallbackEx(0, nullptr);
    if (!allArrived) EmitError("not every event arrived in time");
    EmitPairing("hop_us", PairArrivals(sim.Polls(), arrivals, TicksPerSecond()), kWarmupEvents);
    return 0;
}

int ProductIdle(int seconds) {
    SimDriver sim;
    if (!AttachDriver(sim)) return 1;
    sim.Reset();
    InitCallbackEx(0, OnDeviceEvent);
    if (!Open()) return 1;
    const IdleWindow window = MeasureIdle(seconds);
    CloseDevice();
    EmitIdle(window, sim.Polls());
    return 0;
}

int ProductClose(int trials) {
    SimDriver sim;
    if (!AttachDriver(sim)) return 1;
    InitCallbackEx(0, OnDeviceEvent);
    for (int t = 0; t < trials; ++t) {
        sim.Reset();
        if (!Open()) return 1;
        PumpFor(CloseDelayMs(t));
        const std::int64_t called = Now();
        CloseDevice();
        const std::int64_t returned = Now();
        EmitClose(called, LastPollTime(sim.Log(), called), returned);
    }
    return 0;
}

int ProductDialog(int warm) {
    MeasureDialogs([] { return ShowProperties(nullptr); }, warm);
    return 0;
}

}  // namespace perf
