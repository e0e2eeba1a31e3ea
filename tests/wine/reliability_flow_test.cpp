// Rings under pressure: a box that has an event at every poll for minutes,
// a host whose callback takes a second, and a host that stops pumping its
// messages for seconds. Every ring arrives once, in order, on the loading
// thread, and the reader never polls faster than its pause allows.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/support/RelDevice.h"

namespace ovtest {
namespace {

constexpr int kFloodRings = 300;
constexpr std::int32_t kData = 0x600DF00D;
// Below the 200 ms pause by more than the timer's jitter under load.
constexpr double kShortestPause = 180.0;

// Every ring of [0, count) exactly once, in order, whole, as a host gets it.
void ExpectNumberedRings(int count, DWORD loadingThread) {
    const std::vector<RecordedCall> calls = recorder::Calls();
    ASSERT_EQ(std::size_t(count), calls.size());
    for (int i = 0; i < count; ++i) {
        const RecordedCall& call = calls[i];
        ASSERT_EQ(NumberedRing(i, i % 3 ? 20 : 46), call.Text) << "ring " << i;
        ASSERT_EQ(OV_EVENT_RING, call.Event) << "ring " << i;
        ASSERT_EQ(kData, call.Data) << "ring " << i;
        ASSERT_EQ(loadingThread, call.ThreadId) << "ring " << i;
    }
}

// The pauses between consecutive polls, in milliseconds.
std::vector<double> PausesBetween(const std::vector<simdrv::LogEntry>& polls) {
    std::vector<double> pauses;
    for (std::size_t i = 1; i < polls.size(); ++i) pauses.push_back(MsBetween(polls[i - 1].Time, polls[i].Time));
    return pauses;
}

// Polls made between two moments.
int PollsBetween(const SimDriver& sim, std::int64_t from, std::int64_t to) {
    int n = 0;
    for (const simdrv::LogEntry& poll : sim.Calls(simdrv::fnGetEvent)) n += poll.Time >= from && poll.Time <= to;
    return n;
}

class Flow : public RelDeviceTest {
protected:
    void Open() {
        ASSERT_EQ(-1, Device().InitCallbackEx(kData, recorder::First));
        ASSERT_EQ(-1, Device().InitDevice());
    }
};

TEST_F(Flow, AFloodOfRingsArrivesWholeOnceEachInOrderOnTheLoadingThread) {
    QueueNumberedRings(sim, 0, kFloodRings);
    std::vector<std::int64_t> delivered;
    delivered.reserve(kFloodRings);
    recorder::SetAction([&](const RecordedCall&) { delivered.push_back(PerformanceNow()); });
    Open();
    const std::int64_t started = PerformanceNow();
    ASSERT_TRUE(PumpUntilCalls(kFloodRings, kFloodRings));
    const std::int64_t finished = PerformanceNow();
    ASSERT_EQ(-1, Device().CloseDevice());

    ExpectNumberedRings(kFloodRings, LoadingThread());
    // The box had an event at every poll: the rings took one poll each.
    const std::vector<simdrv::LogEntry> polls = sim.Calls(simdrv::fnGetEvent);
    ASSERT_GE(polls.size(), std::size_t(kFloodRings));
    for (int i = 0; i < kFloodRings; ++i) ASSERT_EQ(1, polls[i].Result) << "poll " << i;
    EXPECT_EQ(1u, sim.PollThreads().size());
    EXPECT_EQ(0u, sim.PollThreads().count(LoadingThread()));

    const std::vector<double> pauses = PausesBetween(polls);
    const double shortest = *std::min_element(pauses.begin(), pauses.end());
    const double longest = *std::max_element(pauses.begin(), pauses.end());
    EXPECT_GE(shortest, kShortestPause) << "the reader polled without its pause";
    double latest = 0;
    for (int i = 0; i < kFloodRings; ++i) latest = std::max(latest, MsBetween(polls[i].Time, delivered[i]));
    std::printf("[flood] %d rings in %.0f ms; pause between polls %.1f to %.1f ms; poll to callback at most %.1f ms\n",
                kFloodRings, MsBetween(started, finished), shortest, longest, latest);
}

TEST_F(Flow, ACallbackThatTakesASecondHoldsTheReaderAndLosesNoRing) {
    constexpr int kRings = 8;
    QueueNumberedRings(sim, 0, kRings);
    struct Slow {
        std::int64_t Start, End;
    };
    std::vector<Slow> slow;
    recorder::SetAction([&](const RecordedCall& call) {
        const int sequence = SequenceOf(call.Text);
        if (sequence != 2 && sequence != 5) return;
        const std::int64_t start = PerformanceNow();
        Sleep(1000);
        slow.push_back({start, PerformanceNow()});
    });
    Open();
    ASSERT_TRUE(PumpUntilCalls(kRings, kRings + 10));
    ASSERT_EQ(-1, Device().CloseDevice());

    ExpectNumberedRings(kRings, LoadingThread());
    ASSERT_EQ(2u, slow.size());
    const std::vector<simdrv::LogEntry> polls = sim.Calls(simdrv::fnGetEvent);
    for (const Slow& s : slow) {
        EXPECT_EQ(0, PollsBetween(sim, s.Start, s.End)) << "the reader polled while its ring was being handled";
        // After the callback the reader pauses as usual, not at once.
        for (const simdrv::LogEntry& poll : polls)
            if (poll.Time > s.End) {
                EXPECT_GE(MsBetween(s.End, poll.Time), kShortestPause);
                break;
            }
    }
    for (double pause : PausesBetween(polls)) EXPECT_GE(pause, kShortestPause);
}

TEST_F(Flow, AHostThatStopsPumpingPausesTheReaderAndLosesNoRing) {
    constexpr int kRings = 10;
    QueueNumberedRings(sim, 0, kRings);
    Open();
    ASSERT_TRUE(PumpUntilCalls(2, 2));
    for (int pause = 0; pause < 2; ++pause) {
        const int before = sim.Count(simdrv::fnGetEvent);
        Sleep(3000);  // busy: no messages
        const int during = sim.Count(simdrv::fnGetEvent) - before;
        EXPECT_LE(during, 1) << "the reader polled " << during << " times while the host did not pump";
        std::printf("[slow host] %d poll(s) while the host did not pump for 3 s\n", during);
        ASSERT_TRUE(PumpUntilCalls(recorder::Count() + 1, 2));
    }
    ASSERT_TRUE(PumpUntilCalls(kRings, kRings));
    PumpFor(3 * kPollMs);
    ExpectNumberedRings(kRings, LoadingThread());
    EXPECT_EQ(0, sim.Pending());
}

TEST_F(Flow, AHostThatStopsPumpingOnAQuietLinePausesTheReader) {
    // The reader's quiet cycles are marshalled too, so they wait as rings do.
    Open();
    ASSERT_TRUE(PumpUntilPolls(2));
    const int before = sim.Count(simdrv::fnGetEvent);
    Sleep(2000);
    EXPECT_LE(sim.Count(simdrv::fnGetEvent) - before, 1);
    const int resumed = sim.Count(simdrv::fnGetEvent);
    ASSERT_TRUE(PumpUntilPolls(resumed + 3)) << "the reader did not resume with the messages";
    QueueNumberedRings(sim, 0, 1);
    ASSERT_TRUE(PumpUntilCalls(1, 3));
    ExpectNumberedRings(1, LoadingThread());
}

}  // namespace
}  // namespace ovtest
