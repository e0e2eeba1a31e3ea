// Rings from the box to the host's callback: on the loading thread, with the
// host's data value, only the ring codes with a text, byte for byte.
#include <windows.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "tests/support/DeviceTest.h"

namespace ovtest {
namespace {

using Texts = std::vector<std::string>;

TDriverEvent Record(std::int32_t code, const std::string& text, unsigned char reserved = 0) {
    TDriverEvent record;
    std::memset(&record, reserved, sizeof record);
    record.Code = code;
    std::memset(record.Text, 0, sizeof record.Text);
    std::memcpy(record.Text, text.data(), std::min(text.size(), sizeof record.Text));
    return record;
}

class RelayTest : public DeviceTest {
protected:
    // Queues a closing ring and pumps until it arrived and the queue is empty.
    bool DrainWithMarker(const std::string& marker = "END") {
        sim.Queue(30, marker);
        return PumpUntil([&] { return sim.Pending() == 0 && !recorder::Texts().empty() &&
                                      recorder::Texts().back() == marker; },
                         kPatienceMs + sim.Pending() * kCycleMs);
    }
};

TEST_F(RelayTest, RingsArriveOnTheLoadingThreadWithTheHostsData) {
    sim.Queue(30, "13800138000");
    sim.Queue(32, "01062345678");
    OpenDevice();
    ASSERT_TRUE(PumpUntilCalls(2));
    const DWORD loadingThread = GetCurrentThreadId();
    for (const RecordedCall& call : recorder::Calls()) {
        EXPECT_EQ(loadingThread, call.ThreadId) << call.Text;
        EXPECT_EQ(kHostData, call.Data);
        EXPECT_EQ(OV_EVENT_RING, call.Event);
    }
    EXPECT_EQ((Texts{"13800138000", "01062345678"}), recorder::Texts());
    // The driver is polled from a reader of the plug-in's own.
    const std::set<DWORD> pollers = sim.PollThreads();
    EXPECT_EQ(1u, pollers.size());
    EXPECT_EQ(0u, pollers.count(loadingThread));
}

TEST_F(RelayTest, OnlyCodes30And32WithANonEmptyTextAreRelayed) {
    for (std::int32_t code : {0, 1, 29, 31, 33, -30, 30 + 256, 32 - 65536, INT_MAX, INT_MIN})
        sim.Queue(code, "code " + std::to_string(code));
    sim.Queue(30, "");
    sim.Queue(32, std::string("\0after a NUL", 12));
    sim.Queue(30, "thirty");
    sim.Queue(32, "thirty-two");
    OpenDevice();
    ASSERT_TRUE(DrainWithMarker());
    EXPECT_EQ((Texts{"thirty", "thirty-two", "END"}), recorder::Texts());
}

TEST_F(RelayTest, TextsAreCutAtTheirFirstNulAndOtherwiseDeliveredWhole) {
    const std::string full46 = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJ";
    ASSERT_EQ(46u, full46.size());
    // Non-zero bytes around the text: a reader that runs past the field picks them up.
    sim.QueueRecord(Record(30, full46, 'Z'), 1);
    sim.QueueRecord(Record(32, full46.substr(0, 45), 'Y'), 1);
    sim.Queue(30, std::string("cut\0here", 8));
    OpenDevice();
    ASSERT_TRUE(DrainWithMarker());
    EXPECT_EQ((Texts{full46, full46.substr(0, 45), "cut", "END"}), recorder::Texts());
}

TEST_F(RelayTest, TextBytesAreNeverTranscoded) {
    const std::string chinese = "\xD5\xC5\xC8\xFD\xC0\xB4\xB5\xE7";  // a name and "incoming call" in GBK
    std::string high;
    for (int byte = 0x80; byte < 0x80 + 46; ++byte) high.push_back(static_cast<char>(byte));
    sim.Queue(30, chinese);
    sim.Queue(32, high);
    sim.Queue(30, "\x01\x7F\xFF");
    OpenDevice();
    ASSERT_TRUE(DrainWithMarker());
    EXPECT_EQ((Texts{chinese, high, "\x01\x7F\xFF", "END"}), recorder::Texts());
}

TEST_F(RelayTest, WithoutACallbackEventsAreDroppedAndNotKeptForLater) {
    ASSERT_EQ(OV_TRUE, Device().InitCallbackEx(kHostData, nullptr));
    ASSERT_EQ(OV_TRUE, Device().InitDevice());
    sim.Queue(30, "nobody listens");
    sim.Queue(32, "still nobody");
    const int polls = sim.Count(simdrv::fnGetEvent);
    ASSERT_TRUE(PumpUntil([&] { return sim.Pending() == 0 && sim.Count(simdrv::fnGetEvent) >= polls + 3; },
                          kPatienceMs));
    ASSERT_EQ(OV_TRUE, Device().InitCallbackEx(kHostData, recorder::First));
    ASSERT_TRUE(DrainWithMarker());
    EXPECT_EQ((Texts{"END"}), recorder::Texts());
}

TEST_F(RelayTest, AReplacedCallbackGetsTheFollowingRingsWithItsOwnData) {
    OpenDevice();
    sim.Queue(30, "to first");
    ASSERT_TRUE(PumpUntilCalls(1));
    ASSERT_EQ(OV_TRUE, Device().InitCallbackEx(7, recorder::Second));
    sim.Queue(30, "to second");
    ASSERT_TRUE(PumpUntilCalls(2));
    // Replaced from inside a callback, as a host may do.
    recorder::SetAction([this](const RecordedCall& call) {
        if (call.Text == "switch") Device().InitCallbackEx(-8, recorder::First);
    });
    sim.Queue(32, "switch");
    sim.Queue(32, "after switch");
    ASSERT_TRUE(PumpUntilCalls(4));
    const std::vector<RecordedCall> calls = recorder::Calls();
    ASSERT_EQ(4u, calls.size());
    const int expectedCallback[] = {1, 2, 2, 1};
    const OV_DATA expectedData[] = {kHostData, 7, 7, -8};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(expectedCallback[i], calls[i].Callback) << calls[i].Text;
        EXPECT_EQ(expectedData[i], calls[i].Data) << calls[i].Text;
    }
}

// Replaced from another thread while rings arrive, as often as it can be:
// every call gets the data value registered with its own function.
TEST_F(RelayTest, APairReplacedFromAnotherThreadArrivesWhole) {
    constexpr int kRings = 100;
    for (int i = 0; i < kRings; ++i) sim.Queue(30, "ring " + std::to_string(i));
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) {
            Device().InitCallbackEx(0xA1, recorder::First);
            Device().InitCallbackEx(0xB2, recorder::Second);
        }
    });
    ASSERT_EQ(OV_TRUE, Device().InitDevice());
    const bool arrived = PumpUntilCalls(kRings, kPatienceMs + kRings * kCycleMs);
    stop = true;
    swapper.join();
    EXPECT_TRUE(arrived);
    for (const RecordedCall& call : recorder::Calls())
        EXPECT_EQ(call.Callback == 1 ? 0xA1 : 0xB2, call.Data) << call.Text << " through callback " << call.Callback;
}

TEST_F(RelayTest, OnlyAPositivePollResultMeansAnEvent) {
    for (std::int32_t result : {0, -1, -30, INT_MIN})
        sim.QueueRecord(Record(30, "result " + std::to_string(result)), result);
    sim.QueueRecord(Record(30, "huge"), INT_MAX);
    sim.QueueRecord(Record(32, "two"), 2);
    OpenDevice();
    ASSERT_TRUE(DrainWithMarker());
    EXPECT_EQ((Texts{"huge", "two", "END"}), recorder::Texts());
}

// What the host must see for a record: its text up to the first NUL among
// the 46 bytes, for a positive result and a ring code, and nothing else.
std::string Expected(const TDriverEvent& record, std::int32_t result) {
    if (result <= 0 || (record.Code != 30 && record.Code != 32)) return std::string();
    return std::string(record.Text, strnlen(record.Text, sizeof record.Text));
}

TEST_F(RelayTest, GarbageRecordsAndResultsNeitherCrashNorLeakBytes) {
    std::mt19937 random(20240607);
    Texts expected;
    for (int i = 0; i < 12; ++i) {
        TDriverEvent record;
        auto* bytes = reinterpret_cast<unsigned char*>(&record);
        for (std::size_t b = 0; b < sizeof record; ++b) bytes[b] = static_cast<unsigned char>(random());
        // Mostly ring codes, so the texts are checked, not just dropped.
        if (i % 4 != 3) record.Code = (i % 2) ? 30 : 32;
        if (i % 3 == 0) record.Text[random() % 46] = '\0';
        const std::int32_t result = (i % 5 == 4) ? static_cast<std::int32_t>(random() | 0x80000000u)
                                                 : static_cast<std::int32_t>(random() & 0x7FFFFFFF) | 1;
        sim.QueueRecord(record, result);
        const std::string text = Expected(record, result);
        if (!text.empty()) expected.push_back(text);
    }
    expected.push_back("END");
    OpenDevice();
    ASSERT_TRUE(DrainWithMarker());
    EXPECT_EQ(expected, recorder::Texts());
}

}  // namespace
}  // namespace ovtest
