#include "tools/simdrv/PollTimes.h"

#include <windows.h>

#include <mutex>

#include "platform/runtime/Handles_win32.h"

namespace simdrv {
namespace {

using UniqueView = platform::UniqueResource<void*, &UnmapViewOfFile>;

// The shared memory the environment names, mapped at the first poll and
// kept for the driver's lifetime; none without the variable.
class PublishedPolls {
public:
    static PublishedPolls& Instance() {
        static PublishedPolls polls;
        return polls;
    }

    void Add(std::int64_t entered, std::int32_t result) {
        std::call_once(opened_, [this] { Open(); });
        auto* times = static_cast<PollTimes*>(view_.Get());
        if (!times) return;
        // One reader thread polls at a time; the count is published last.
        const std::int32_t at = times->Count;
        if (at < 0 || at >= times->Capacity) return;
        times->Polls[at] = PolledAt{entered, result, 0};
        InterlockedExchange(reinterpret_cast<volatile LONG*>(&times->Count), at + 1);
    }

private:
    void Open() {
        char name[256];
        const DWORD length = GetEnvironmentVariableA(kPollTimesVariable, name, sizeof name);
        if (!length || length >= sizeof name) return;
        mapping_ = platform::UniqueHandle(OpenFileMappingA(FILE_MAP_WRITE, FALSE, name));
        if (mapping_) view_ = UniqueView(MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, 0));
    }

    std::once_flag opened_;
    platform::UniqueHandle mapping_;
    UniqueView view_;
};

}  // namespace

std::int64_t PollEntered() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void PollReturned(std::int64_t entered, std::int32_t result) { PublishedPolls::Instance().Add(entered, result); }

}  // namespace simdrv
