#include "tests/support/RelDevice.h"

#include <cstdio>
#include <cstdlib>

#include "tests/support/CodePage.h"

namespace ovtest {

namespace {

// "来电 " in code page 936, then four digits.
const char kRingPrefix[] = "\xC0\xB4\xB5\xE7 ";
constexpr std::size_t kPrefixLength = sizeof kRingPrefix - 1;

}  // namespace

void RelDeviceTest::SetUp() {
    ExpectAnsiCodePage();
    watchdog_ = std::make_unique<Watchdog>(::testing::UnitTest::GetInstance()->current_test_info()->name(),
                                           WatchdogMs());
    recorder::Clear();
    loadingThread_ = GetCurrentThreadId();
    ASSERT_TRUE(plugin_.Load()) << "Orvale8.dll did not load, error " << plugin_.LoadError();
    ASSERT_TRUE(sim.Attach()) << "TmA4Drv.dll beside the plug-in is not the simulated driver";
    sim.Reset();
}

void RelDeviceTest::TearDown() {
    if (plugin_.Module()) {
        if (sim.Module()) sim.Reset();  // releases a poll a failed test left blocked
        recorder::SetAction(nullptr);
        Device().CloseDevice();
        plugin_.Unload();
        sim = SimDriver();
    }
    recorder::Clear();
    watchdog_.reset();
}

ShowProperties_t RelDeviceTest::ShowProperties() const {
    return reinterpret_cast<ShowProperties_t>(reinterpret_cast<void*>(plugin_.ByOrdinal(1)));
}

bool RelDeviceTest::PumpUntilCalls(std::size_t count, int polls) {
    return PumpUntil([count] { return recorder::Count() >= count; }, 5000 + polls * 2 * kPollMs);
}

bool RelDeviceTest::PumpUntilPolls(int count) {
    return PumpUntil([this, count] { return sim.Count(simdrv::fnGetEvent) >= count; }, 5000 + count * 2 * kPollMs);
}

std::string NumberedRing(int sequence, std::size_t length) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", sequence);
    std::string text = std::string(kRingPrefix) + digits;
    for (std::size_t i = 0; text.size() < length; ++i) text += char('0' + i % 10);
    return text;
}

int SequenceOf(const std::string& text) {
    if (text.compare(0, kPrefixLength, kRingPrefix) != 0 || text.size() < kPrefixLength + 4) return -1;
    const std::string digits = text.substr(kPrefixLength, 4);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::atoi(digits.c_str());
}

void QueueNumberedRings(const SimDriver& sim, int first, int last) {
    for (int i = first; i < last; ++i) sim.Queue(i % 2 ? 32 : 30, NumberedRing(i, i % 3 ? 20 : 46));
}

unsigned TestSeed() {
    const char* fixed = std::getenv("OV_REL_SEED");
    return fixed ? unsigned(std::strtoul(fixed, nullptr, 10)) : unsigned(GetTickCount());
}

}  // namespace ovtest
