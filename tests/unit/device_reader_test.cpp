// The driver adapter and the reader, against an in-process fake driver.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "device/unitOVDevice.h"
#include "device/unitOVDrv.h"
#include "platform/runtime/Thread.h"
#include "tests/support/FakeDriver.h"

namespace {

struct Received {
    OV_DATA data;
    std::string text, event;
    bool onMainThread;
};

std::vector<Received> g_received;
std::thread::id g_mainId;
void (*g_onCallback)(const std::string& text) = nullptr;

void OV_STDCALL Record(OV_DATA data, const char* text, const char* event) {
    g_received.push_back({data, text, event, std::this_thread::get_id() == g_mainId});
    if (g_onCallback) g_onCallback(text);
}

class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMainThread();
        // This test's pump waits on the queue itself; a hook that does nothing
        // stands for the hidden window, without which the device stays closed.
        platform::SetWakeMainThread({[](void*) {}, nullptr});
        g_mainId = std::this_thread::get_id();
        g_received.clear();
        g_onCallback = nullptr;
        fakedriver::Reset();
        InitCallbackEx(77, &Record);
    }
    void TearDown() override {
        CloseDevice();
        while (unitOVDevice::IsOpen()) CloseDevice();
        InitCallbackEx(0, nullptr);
    }
    template <class P>
    bool PumpUntil(P pred, int seconds = 5) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end) return false;
            if (!platform::CheckSynchronize()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    static std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& r : g_received) texts.push_back(r.text);
        return texts;
    }
};

TEST(DriverAdapter, CopiesEventTextUpToItsFirstNulOrAll46Bytes) {
    fakedriver::Reset();
    ASSERT_TRUE(unitOVDrv::OpenDriver());
    TDeviceEvent event;
    std::memset(&event, 'x', sizeof event);

    fakedriver::QueueEvent(30, std::string(46, '7'));
    ASSERT_TRUE(unitOVDrv::ReadDriverEvent(event));
    EXPECT_EQ(event.Code, 30);
    EXPECT_EQ(std::string(event.Text), std::string(46, '7'));
    for (size_t i = 46; i < sizeof event.Text; ++i) ASSERT_EQ(event.Text[i], 0) << i;

    fakedriver::QueueEvent(32, std::string("12\0" "34", 5));
    ASSERT_TRUE(unitOVDrv::ReadDriverEvent(event));
    EXPECT_STREQ(event.Text, "12");

    fakedriver::QueueEvent(30, std::string("\0" "99", 3));
    ASSERT_TRUE(unitOVDrv::ReadDriverEvent(event));
    EXPECT_STREQ(event.Text, "");
}

TEST(DriverAdapter, NoEventLeavesTheSlotUntouched) {
    fakedriver::Reset();
    ASSERT_TRUE(unitOVDrv::OpenDriver());
    TDriverEvent garbage;
    std::memset(&garbage, 0x41, sizeof garbage);
    fakedriver::QueueRecord(garbage, 0);
    fakedriver::QueueRecord(garbage, -7);
    TDeviceEvent event;
    std::memset(&event, 0x5A, sizeof event);
    TDeviceEvent before = event;
    EXPECT_FALSE(unitOVDrv::ReadDriverEvent(event));
    EXPECT_FALSE(unitOVDrv::ReadDriverEvent(event));
    EXPECT_EQ(std::memcmp(&event, &before, sizeof event), 0);
}

TEST(DriverAdapter, EachOpenPassesTheSameFixedTextThenInitializes) {
    fakedriver::Reset();
    unitOVDrv::OpenDriver();
    unitOVDrv::OpenDriver();
    unitOVDrv::CloseDriver();
    auto calls = fakedriver::Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].function, "version");
    EXPECT_EQ(calls[0].text.size(), 22u);
    EXPECT_EQ(calls[1].function, "initialize");
    EXPECT_EQ(calls[2].text, calls[0].text);
    EXPECT_EQ(calls[4].function, "disable");
    EXPECT_EQ(unitOVDrv::GetDriverErrorText(), "");
}

TEST_F(Reader, RelaysRingCodesWithTextOnTheMainThread) {
    fakedriver::QueueEvent(30, "13800138000");
    fakedriver::QueueEvent(31, "dropped: code 31");
    fakedriver::QueueEvent(30, "");
    fakedriver::QueueEvent(32, "021-5550100");
    ASSERT_EQ(InitDevice(), -1);
    ASSERT_TRUE(PumpUntil([] { return fakedriver::CountOf("poll") >= 5; }));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"13800138000", "021-5550100"}));
    for (const auto& r : g_received) {
        EXPECT_EQ(r.data, 77);
        EXPECT_EQ(r.event, "ue_ring");
        EXPECT_TRUE(r.onMainThread);
    }
}

TEST_F(Reader, RepeatedOpenKeepsOneReaderAndCloseStopsPolling) {
    ASSERT_EQ(InitDevice(), -1);
    ASSERT_EQ(InitDevice(), -1);
    ASSERT_TRUE(PumpUntil([] { return fakedriver::CountOf("poll") >= 2; }));
    ASSERT_EQ(CloseDevice(), -1);
    EXPECT_FALSE(unitOVDevice::IsOpen());
    EXPECT_EQ(fakedriver::CountOf("version"), 2);
    EXPECT_EQ(fakedriver::CountOf("initialize"), 2);
    EXPECT_EQ(fakedriver::CountOf("disable"), 1);
    // One reader polls once per cycle; two would poll about twice as often.
    int polls = fakedriver::CountOf("poll");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    platform::CheckSynchronize();
    EXPECT_EQ(fakedriver::CountOf("poll"), polls) << "no poll after CloseDevice returned";
}

TEST_F(Reader, CloseWithoutOpenStillDisablesTheDriver) {
    EXPECT_EQ(CloseDevice(), -1);
    EXPECT_EQ(fakedriver::CountOf("disable"), 1);
    EXPECT_STREQ(OrvaleGetLastError(), "");
}

// Lets the reader finish one quiet cycle and start its next pause, so its
// next poll comes after the CloseDevice about to be made.
void StartAndReleaseOneCycle(Reader*) {
    ASSERT_EQ(InitDevice(), -1);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!platform::CheckSynchronize()) {
        ASSERT_LT(std::chrono::steady_clock::now(), end);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Past its stop test and into the 200 ms pause.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
}

TEST_F(Reader, RingFromThePollAfterDisableIsDeliveredDuringClose) {
    StartAndReleaseOneCycle(this);
    fakedriver::QueueEvent(30, "last ring");
    ASSERT_EQ(CloseDevice(), -1);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"last ring"}));
    auto calls = fakedriver::Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].function, "disable");
    EXPECT_EQ(calls.back().function, "poll");
}

TEST_F(Reader, OpeningFromACallbackDuringCloseStartsANewReader) {
    g_onCallback = [](const std::string&) { InitDevice(); };
    StartAndReleaseOneCycle(this);
    fakedriver::QueueEvent(30, "reopen");
    ASSERT_EQ(CloseDevice(), -1);
    EXPECT_TRUE(unitOVDevice::IsOpen());
    g_onCallback = nullptr;
    int polls = fakedriver::CountOf("poll");
    ASSERT_TRUE(PumpUntil([&] { return fakedriver::CountOf("poll") > polls; }));
    EXPECT_EQ(fakedriver::CountOf("version"), 2);
}

TEST_F(Reader, FaultingPollAndThrowingCallbackDoNotStopTheReader) {
    g_onCallback = [](const std::string& text) {
        if (text == "throw") throw std::runtime_error("host failure");
    };
    fakedriver::ThrowOnNextPoll();
    fakedriver::QueueEvent(30, "throw");
    fakedriver::QueueEvent(30, "after");
    ASSERT_EQ(InitDevice(), -1);
    ASSERT_TRUE(PumpUntil([] { return g_received.size() >= 2; }));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"throw", "after"}));
}

TEST_F(Reader, EventsWithoutACallbackAreDroppedNotKept) {
    InitCallbackEx(5, nullptr);
    fakedriver::QueueEvent(30, "nobody listens");
    ASSERT_EQ(InitDevice(), -1);
    ASSERT_TRUE(PumpUntil([] { return fakedriver::CountOf("poll") >= 2; }));
    EXPECT_EQ(InitCallbackEx(9, &Record), -1);
    int polls = fakedriver::CountOf("poll");
    ASSERT_TRUE(PumpUntil([&] { return fakedriver::CountOf("poll") >= polls + 2; }));
    EXPECT_TRUE(g_received.empty());
}

// The hidden window could not be made: an open device would never deliver a
// ring. Last in the file: the last-error text it leaves outlives the test.
TEST_F(Reader, WithNoWayToWakeTheHostThreadOpenFailsWithATextAndNoDriverCall) {
    platform::SetWakeMainThread({});
    EXPECT_EQ(InitDevice(), 0);
    EXPECT_FALSE(unitOVDevice::IsOpen());
    EXPECT_NE(std::string(OrvaleGetLastError()).find("hidden window"), std::string::npos) << OrvaleGetLastError();
    EXPECT_TRUE(fakedriver::Calls().empty());
}

}  // namespace
