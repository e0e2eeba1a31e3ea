// The reliability suite's fixture: the plug-in freshly loaded beside the
// simulated driver for each test, the test's thread as the host's loading
// thread, with a watchdog sized for long runs rather than single rings.
// Also the numbered ring texts the suite floods the plug-in with.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Pump_win32.h"
#include "tests/support/SimDriver_win32.h"
#include "tests/support/Plugin.h"
#include "tests/support/Recorder.h"
#include "tests/support/Threads.h"

namespace ovtest {

constexpr int kPollMs = 200;

typedef decltype(&::ShowProperties) ShowProperties_t;

class RelDeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // How long one test of the fixture may take before the watchdog ends it.
    virtual DWORD WatchdogMs() const { return 120000; }

    const PluginFunctions& Device() const { return plugin_.Device(); }
    ShowProperties_t ShowProperties() const;
    DWORD LoadingThread() const { return loadingThread_; }

    // Pumps until the recorder holds `count` calls; the time allowed grows
    // with the polls still needed.
    bool PumpUntilCalls(std::size_t count, int polls);
    bool PumpUntilPolls(int count);

    SimDriver sim;

private:
    Plugin plugin_;
    DWORD loadingThread_ = 0;
    std::unique_ptr<Watchdog> watchdog_;
};

// "来电 0007 ..." (code page 936): a ring text with its sequence number,
// padded with digits to `length` bytes (at most 46; 46 leaves no NUL).
std::string NumberedRing(int sequence, std::size_t length = 20);
// The sequence number of a NumberedRing text, -1 for any other text.
int SequenceOf(const std::string& text);

// A numbered ring for every number in [first, last), with codes 30 and 32
// in turn and every third text filling the record's whole field.
void QueueNumberedRings(const SimDriver& sim, int first, int last);

// The seed of a test's random choices: OV_REL_SEED when set (to repeat a
// run whose seed a failure printed), else a new one each run.
unsigned TestSeed();

}  // namespace ovtest
