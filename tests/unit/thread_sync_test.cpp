// Marshalled calls between a worker and the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/runtime/LoaderState.h"
#include "platform/runtime/Thread.h"

#if defined(_WIN32)
#include "tests/support/TestSystemFunctions_win32.h"
#endif

using namespace platform;

namespace {

// A worker that runs a scripted body.
class Worker : public TThread {
public:
    explicit Worker(std::function<void(Worker&)> body) : body_(std::move(body)) {}
    ~Worker() override {
        Terminate();
        WaitFor();
    }
    void Sync(const TThreadMethod& m) { Synchronize(m); }
    std::atomic<bool> done{false};  // the body ran to its end

protected:
    void Execute() override {
        body_(*this);
        done = true;
    }

private:
    std::function<void(Worker&)> body_;
};

class ThreadSync : public ::testing::Test {
protected:
    void SetUp() override {
        SetMainThread();
        SetWakeMainThread({});
    }
    void TearDown() override { SetWakeMainThread({}); }

    // Runs queued calls until pred holds or five seconds pass.
    template <class P>
    bool PumpUntil(P pred) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end) return false;
            if (!CheckSynchronize()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};

TEST_F(ThreadSync, CallsRunOnMainThreadInOrderWhileWorkerWaits) {
    const auto mainId = std::this_thread::get_id();
    std::vector<int> order;
    std::vector<std::thread::id> ranOn;
    std::atomic<bool> workerSawEveryCallDone{true};
    Worker worker([&](Worker& w) {
        for (int i = 0; i < 3; ++i) {
            w.Sync([&, i] {
                order.push_back(i);
                ranOn.push_back(std::this_thread::get_id());
            });
            // The call has run by the time Synchronize returns.
            if (order.size() != static_cast<size_t>(i + 1)) workerSawEveryCallDone = false;
        }
    });
    worker.Resume();
    ASSERT_TRUE(PumpUntil([&] { return worker.done.load(); }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    for (auto id : ranOn) EXPECT_EQ(id, mainId);
    EXPECT_TRUE(workerSawEveryCallDone);

    // Calls of several workers queued before one drain: each runs once, in
    // queuing order (the wake hook fires once a call is queued).
    std::atomic<int> queued{0};
    SetWakeMainThread({[](void* count) { ++*static_cast<std::atomic<int>*>(count); }, &queued});
    std::vector<int> drained;
    std::vector<std::unique_ptr<Worker>> workers;
    for (int i = 0; i < 4; ++i) {
        workers.push_back(
            std::make_unique<Worker>([&drained, i](Worker& w) { w.Sync([&drained, i] { drained.push_back(i); }); }));
        workers.back()->Resume();
        for (int ms = 0; queued < i + 1 && ms < 5000; ++ms) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(i + 1, queued.load());
    }
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_EQ(drained, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(ThreadSync, WaitingForWorkerOnMainThreadRunsItsCalls) {
    int ran = 0;
    {
        Worker worker([&](Worker& w) {
            for (int i = 0; i < 5; ++i) w.Sync([&] { ++ran; });
        });
        worker.Resume();
        worker.WaitFor();  // no pumping here: the wait itself must drain
    }
    EXPECT_EQ(ran, 5);
}

TEST_F(ThreadSync, StoppingWorkerBlockedInACallEndsIt) {
    std::atomic<int> cycles{0};
    Worker worker([&](Worker& w) {
        while (!w.Terminated()) {
            w.Sync([] {});
            ++cycles;
        }
    });
    worker.Resume();
    ASSERT_TRUE(PumpUntil([&] { return cycles > 0; }));
    worker.Terminate();
    worker.WaitFor();  // nobody pumps any more: the wait must drain
    EXPECT_TRUE(worker.done);
}

TEST_F(ThreadSync, WakeHookFiresOncePerQueuedCallUntilCleared) {
    static std::atomic<int> wakes;
    wakes = 0;
    SetWakeMainThread({[](void*) { ++wakes; }, nullptr});
    int ran = 0;
    Worker worker([&](Worker& w) {
        w.Sync([&] { ++ran; });
        w.Sync([&] { ++ran; });
    });
    worker.Resume();
    ASSERT_TRUE(PumpUntil([&] { return worker.done.load(); }));
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(GetWakeMainThread().Code != nullptr, true);

    SetWakeMainThread({});
    Worker quiet([&](Worker& w) { w.Sync([&] { ++ran; }); });
    quiet.Resume();
    ASSERT_TRUE(PumpUntil([&] { return quiet.done.load(); }));
    EXPECT_EQ(wakes, 2);
    EXPECT_FALSE(CheckSynchronize()) << "an extra wake-up finds nothing to run";
}

TEST_F(ThreadSync, ExceptionInMarshalledCallIsRaisedInWorker) {
    std::atomic<bool> caught{false};
    Worker worker([&](Worker& w) {
        try {
            w.Sync([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    worker.Resume();
    ASSERT_TRUE(PumpUntil([&] { return worker.done.load(); }));
    EXPECT_TRUE(caught);
}

TEST_F(ThreadSync, ABodyThatThrowsEndsWithoutTakingTheProcess) {
    Worker worker([](Worker&) { throw std::runtime_error("body"); });
    ASSERT_TRUE(worker.Resume());
    EXPECT_TRUE(worker.WaitFor(5000));
    EXPECT_FALSE(worker.done);
}

// A worker whose body blocks until released, as a driver call that does not
// return; it reports its own destruction.
class StuckWorker : public TThread {
public:
    StuckWorker(std::atomic<bool>& release, std::atomic<bool>& ran, std::atomic<bool>& destroyed)
        : release_(release), ran_(ran), destroyed_(destroyed) {}
    ~StuckWorker() override {
        Terminate();
        WaitFor();
        destroyed_ = true;
    }

protected:
    void Execute() override {
        while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Synchronize([this] { ran_ = true; });
    }

private:
    std::atomic<bool>& release_;
    std::atomic<bool>& ran_;
    std::atomic<bool>& destroyed_;
};

TEST_F(ThreadSync, AWorkerGivenUpOnNeverHasItsCallRunAndFreesItselfWhenItEnds) {
    std::atomic<bool> release{false}, ran{false}, destroyed{false};
    auto* worker = new StuckWorker(release, ran, destroyed);
    worker->Resume();
    worker->Terminate();
    EXPECT_FALSE(worker->WaitFor(100)) << "the wait is not bounded";
    ASSERT_TRUE(worker->Abandon());
    release = true;
    ASSERT_TRUE(PumpUntil([&] { return destroyed.load(); })) << "the abandoned worker was never freed";
    EXPECT_FALSE(ran) << "a call of an abandoned worker ran";
}

#if defined(_WIN32)
// The loader lock, taken as the loader takes it around a DLL's entry routine.
struct LoaderLock {
    const decltype(ovtest::DynLdrLockLoaderLock()) lock = ovtest::DynLdrLockLoaderLock();
    const decltype(ovtest::DynLdrUnlockLoaderLock()) unlock = ovtest::DynLdrUnlockLoaderLock();
    ULONG_PTR cookie = 0;
    const bool held = lock && unlock && lock(0, nullptr, &cookie) == 0;
    ~LoaderLock() {
        if (held) unlock(0, cookie);
    }
};

// A host's DLL may close the device in its entry routine: a thread cannot
// end while the loader lock is held, so the wait ends with the body.
TEST_F(ThreadSync, UnderTheLoaderLockAWaitEndsWithTheWorkersBody) {
    std::atomic<bool> running{false}, go{false};
    Worker worker([&](Worker& w) {
        running = true;
        while (!go && !w.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    worker.Resume();
    ASSERT_TRUE(PumpUntil([&] { return running.load(); }));  // past its start, which takes the lock
    EXPECT_FALSE(InsideLoaderLock());
    {
        LoaderLock lock;
        ASSERT_TRUE(lock.held);
        ASSERT_TRUE(InsideLoaderLock()) << "the loader lock held by this thread is not seen";
        go = true;
        EXPECT_TRUE(worker.WaitFor(5000));
        EXPECT_TRUE(worker.done);
    }
    EXPECT_FALSE(InsideLoaderLock());
}
#endif

}  // namespace
