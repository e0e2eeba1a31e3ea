#include "tests/support/DeviceTest.h"

#include "tests/support/CodePage.h"
#include "tests/support/Companions.h"

namespace ovtest {

namespace {

// One test's ceiling; the slowest takes a few seconds.
constexpr DWORD kTestTimeoutMs = 60000;

}  // namespace

void DeviceTest::SetUp() {
    ExpectAnsiCodePage();
    watchdog_ = std::make_unique<Watchdog>(::testing::UnitTest::GetInstance()->current_test_info()->name(),
                                           kTestTimeoutMs);
    recorder::Clear();
    LoadPlugin();
}

void DeviceTest::TearDown() {
    if (plugin_.Module()) {
        // Releases a poll a failed test left blocked, then closes as a host must.
        if (sim.Module()) sim.Reset();
        recorder::SetAction(nullptr);
        Device().CloseDevice();
        UnloadPlugin();
    }
    recorder::Clear();
    watchdog_.reset();
}

// Once every plug-in the test loaded is gone, a derived fixture's too: the
// x64 plug-in's companion ends with it.
DeviceTest::~DeviceTest() {
    if (sizeof(void*) == 8) {
        EXPECT_TRUE(CompanionsGoneWithin(GetCurrentProcessId(), 1000)) << "Orvale8Drv32.exe outlived the plug-in";
    }
}

void DeviceTest::LoadPlugin() {
    ASSERT_TRUE(plugin_.Load()) << "Orvale8.dll did not load or lacks a device export, error "
                                << plugin_.LoadError();
    ASSERT_TRUE(sim.Attach()) << "TmA4Drv.dll beside the plug-in is not the simulated driver";
    sim.Reset();
}

void DeviceTest::UnloadPlugin() {
    plugin_.Unload();
    sim = SimDriver();
}

void DeviceTest::OpenDevice() {
    ASSERT_EQ(-1, Device().InitCallbackEx(kHostData, recorder::First));
    ASSERT_EQ(-1, Device().InitDevice());
}

bool DeviceTest::PumpUntilCalls(std::size_t count, int timeoutMs) {
    return PumpUntil([count] { return recorder::Count() >= count; }, timeoutMs);
}

bool DeviceTest::PumpUntilPolls(int count, int timeoutMs) {
    return PumpUntil([this, count] { return sim.Count(simdrv::fnGetEvent) >= count; }, timeoutMs);
}

}  // namespace ovtest
