// The fixture of the boundary tests: Orvale8.dll freshly loaded beside the
// simulated driver for every test, the test's thread acting as the host's
// loading thread, and everything closed and unloaded afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "tests/support/Pump_win32.h"
#include "tests/support/SimDriver_win32.h"
#include "tests/support/Plugin.h"
#include "tests/support/Recorder.h"
#include "tests/support/Threads.h"

namespace ovtest {

// The host's data value: distinctive in every byte, all eight of a 64-bit host's.
constexpr OV_DATA kHostData = static_cast<OV_DATA>(sizeof(OV_DATA) == 8 ? 0x3C96A5E15AC3E117 : 0x5AC3E117);
// The 32-bit plug-in calls the driver in this process; the x64 one in its
// companion, whose threads the driver's log then names.
constexpr bool kDriverInProcess = sizeof(void*) == 4;
// Generous bounds for work that takes a few 200 ms cycles.
constexpr int kCycleMs = 200;
constexpr int kPatienceMs = 5000;

class DeviceTest : public ::testing::Test {
protected:
    ~DeviceTest() override;
    void SetUp() override;
    void TearDown() override;

    // Loads the plug-in and attaches to its driver; the fixture does this once.
    void LoadPlugin();
    void UnloadPlugin();
    // The test unloaded the plug-in itself; the fixture lets go of it.
    void ForgetPlugin() {
        plugin_.Forget();
        sim = SimDriver();
    }
    const PluginFunctions& Device() const { return plugin_.Device(); }
    const Plugin& LoadedPlugin() const { return plugin_; }

    // Registers the first recorder callback with kHostData and opens the device.
    void OpenDevice();
    // Pumps until `count` callbacks were recorded in all.
    bool PumpUntilCalls(std::size_t count, int timeoutMs = kPatienceMs);
    // Pumps until the driver has been polled `count` times in all.
    bool PumpUntilPolls(int count, int timeoutMs = kPatienceMs);

    SimDriver sim;

private:
    Plugin plugin_;
    std::unique_ptr<Watchdog> watchdog_;
};

}  // namespace ovtest
