#include "tests/support/Recorder.h"

#include <cstring>
#include <mutex>

namespace ovtest {
namespace recorder {
namespace {

// Far beyond any text the plug-in may pass; guards the recorder against a
// missing NUL rather than reading on for ever.
constexpr std::size_t kLongestText = 4096;

// A callback on the wrong thread is a finding, not a data race.
std::mutex mutex;
std::vector<RecordedCall> calls;
std::function<void(const RecordedCall&)> action;

std::string Bytes(const char* text) { return text ? std::string(text, strnlen(text, kLongestText)) : "(null)"; }

template <int Which>
void __stdcall Record(OV_DATA data, const char* text, const char* event) {
    const RecordedCall call{Which, GetCurrentThreadId(), data, Bytes(text), Bytes(event)};
    std::function<void(const RecordedCall&)> then;
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(call);
        then = action;
    }
    if (then) then(call);
}

}  // namespace

const HostCallback First = &Record<1>;
const HostCallback Second = &Record<2>;

void Clear() {
    std::lock_guard<std::mutex> lock(mutex);
    calls.clear();
    action = nullptr;
}

void SetAction(std::function<void(const RecordedCall&)> newAction) {
    std::lock_guard<std::mutex> lock(mutex);
    action = std::move(newAction);
}

std::vector<RecordedCall> Calls() {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
}

std::size_t Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return calls.size();
}

std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const RecordedCall& call : Calls()) texts.push_back(call.Text);
    return texts;
}

}  // namespace recorder
}  // namespace ovtest
