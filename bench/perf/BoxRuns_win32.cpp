#include "bench/perf/BoxRuns_win32.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "bench/perf/Timeline.h"
#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Pump_win32.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/SimDriver_win32.h"
#include "tools/simdrv/PollTimes.h"

namespace perf {
namespace {

using UniqueView = platform::UniqueResource<void*, &UnmapViewOfFile>;

// The shared memory the driver publishes its polls in, named in the
// environment the companion inherits.
class SharedPolls {
public:
    explicit SharedPolls(std::int32_t capacity) {
        const std::string name = "OvPerfPolls-" + std::to_string(GetCurrentProcessId());
        mapping_ = platform::UniqueHandle(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                             DWORD(simdrv::PollTimesBytes(capacity)), name.c_str()));
        if (mapping_) view_ = UniqueView(MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, 0));
        if (!view_) return;
        Times()->Capacity = capacity;
        SetEnvironmentVariableA(simdrv::kPollTimesVariable, name.c_str());
    }
    bool Valid() const { return view_.Valid(); }

    std::vector<PollRecord> Polls() const {
        std::vector<PollRecord> polls;
        const simdrv::PollTimes* times = Times();
        for (std::int32_t i = 0; i < times->Count && i < times->Capacity; ++i)
            polls.push_back({times->Polls[i].Time, times->Polls[i].Result});
        return polls;
    }

private:
    simdrv::PollTimes* Times() const { return static_cast<simdrv::PollTimes*>(view_.Get()); }
    platform::UniqueHandle mapping_;
    UniqueView view_;
};

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Linux's count of processor time, in microseconds, of every thread of the
// processes whose command line names `program` in this program's folder (a
// child's names its Windows path first); Wine runs each Windows process as
// one Linux process, the 64-bit plug-in's companion included.
double LinuxCpuUs(const std::string& program) {
    const std::string folder = platform::ExecutableDirectory();
    const std::string wanted = Lower(folder.substr(folder.find_last_of('\\', folder.size() - 2) + 1) + program);
    double total = 0;
    WIN32_FIND_DATAA found;
    const platform::UniqueFind processes(FindFirstFileA("Z:\\proc\\*", &found));
    if (!processes) return -1;
    do {
        if (found.cFileName[0] < '0' || found.cFileName[0] > '9') continue;
        const std::string process = std::string("Z:\\proc\\") + found.cFileName;
        std::string command = ovtest::ReadBytes(process + "\\cmdline");
        std::replace(command.begin(), command.end(), '/', '\\');
        if (Lower(command).find(wanted) == std::string::npos) continue;
        WIN32_FIND_DATAA task;
        const platform::UniqueFind tasks(FindFirstFileA((process + "\\task\\*").c_str(), &task));
        if (!tasks) continue;
        do {
            if (task.cFileName[0] == '.') continue;
            const std::string sched = ovtest::ReadBytes(process + "\\task\\" + task.cFileName + "\\schedstat");
            total += std::strtod(sched.c_str(), nullptr) / 1e3;  // first field: nanoseconds on a processor
        } while (FindNextFileA(tasks.Get(), &task));
    } while (FindNextFileA(processes.Get(), &found));
    return total;
}

double MicrosBetween(std::int64_t from, std::int64_t to) { return ovtest::MsBetween(from, to) * 1000; }

std::string OwnName() {
    const std::string path = platform::ExecutablePath();
    return path.substr(path.find_last_of('\\') + 1);
}

int Rings(Side& side, int events) {
    SharedPolls polls(events * 2 + 64);
    if (!polls.Valid()) return EmitError("the poll times' shared memory could not be made"), 1;
    side.Expect(std::size_t(events));
    if (!side.Open()) return EmitError("the device could not be opened"), 1;
    if (!ovtest::RunUntilQuit((events + 10) * 300 + 5000)) EmitError("not every event arrived");
    side.Close();
    const Pairing pairing = PairArrivals(polls.Polls(), side.Arrivals, ovtest::PerformanceFrequency());
    // The first is cold, alike on both sides, as in the in-process mode.
    for (std::size_t i = 1; i < pairing.LatenciesUs.size(); ++i) EmitSample("hop_us", pairing.LatenciesUs[i]);
    if (pairing.Unanswered) EmitError(std::to_string(pairing.Unanswered) + " events polled, never arrived");
    if (pairing.Inconsistent) EmitError(std::to_string(pairing.Inconsistent) + " arrivals do not match the polls");
    return 0;
}

// The host and its companion together are what the machine spends.
int Idle(Side& side, int seconds) {
    SharedPolls polls(seconds * 10 + 64);
    side.Expect(0);
    if (!polls.Valid() || !side.Open()) return EmitError("the device could not be opened"), 1;
    ovtest::PumpFor(1000);
    const std::string host = OwnName(), companion = "Orvale8Drv32.exe";
    const double hostStart = LinuxCpuUs(host), companionStart = LinuxCpuUs(companion);
    const std::int64_t start = ovtest::PerformanceNow();
    ovtest::PumpFor(seconds * 1000);
    const double hostEnd = LinuxCpuUs(host), companionEnd = LinuxCpuUs(companion);
    const std::int64_t end = ovtest::PerformanceNow();
    side.Close();
    int inWindow = 0;
    for (const PollRecord& p : polls.Polls()) inWindow += p.Time >= start && p.Time < end;
    EmitSample("idle_wall_us", MicrosBetween(start, end));
    EmitSample("idle_host_us", hostEnd - hostStart);
    EmitSample("idle_companion_us", companionEnd - companionStart);
    EmitSample("idle_polls", inWindow);
    return 0;
}

}  // namespace

std::string RingScenario(int events) {
    std::string scenario;
    for (int i = 0; i < events; ++i) scenario += "0 " + std::to_string(kRingCode) + " " + EventText(i) + "\r\n";
    return scenario;
}

int RunBoxSide(const std::vector<std::string>& args, Side& side) {
    const std::string mode = args.empty() ? "" : args[0];
    const int n = args.size() == 2 ? std::atoi(args[1].c_str()) : 0;
    if (mode == "ring-box" && n > 0) return Rings(side, n);
    if (mode == "idle-box" && n > 0) return Idle(side, n);
    return -1;
}

}  // namespace perf
