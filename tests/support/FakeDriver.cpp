#include "tests/support/FakeDriver.h"

#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>

namespace fakedriver {
namespace {

struct Poll {
    TDriverEvent record;
    std::int32_t result;
    bool fault;
};

struct State {
    std::mutex mutex;
    std::deque<Poll> polls;
    std::vector<Call> calls;
};

State& S() {
    static State state;
    return state;
}

void Log(const char* function, const std::string& text = {}) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().calls.push_back({function, text});
}

}  // namespace

void Reset() {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().polls.clear();
    S().calls.clear();
}

void QueueRecord(const TDriverEvent& record, std::int32_t result) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().polls.push_back({record, result, false});
}

void QueueEvent(std::int32_t code, const std::string& text) {
    TDriverEvent record{};
    record.Code = code;
    std::memcpy(record.Text, text.data(), std::min(text.size(), sizeof record.Text));
    QueueRecord(record);
}

void ThrowOnNextPoll() {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().polls.push_back({TDriverEvent{}, 0, true});
}

std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().calls;
}

int CountOf(const std::string& function) {
    int n = 0;
    for (const Call& c : Calls()) n += c.function == function;
    return n;
}

}  // namespace fakedriver

using namespace fakedriver;

extern "C" {

std::int32_t OV_STDCALL Tma4drv_DLL_Version(const char* text) {
    Log("version", text);
    return 1;
}

std::int32_t OV_STDCALL TV_Initialize() {
    Log("initialize");
    return 1;
}

std::int32_t OV_STDCALL TV_Disable() {
    Log("disable");
    return 1;
}

std::int32_t OV_STDCALL TV_GetEvent(TDriverEvent* event) {
    Log("poll");
    Poll poll;
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        if (S().polls.empty()) return 0;
        poll = S().polls.front();
        S().polls.pop_front();
    }
    if (poll.fault) throw std::runtime_error("driver fault");
    *event = poll.record;
    return poll.result;
}

}  // extern "C"
