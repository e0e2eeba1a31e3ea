#include "bench/perf/Measure_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/perf/Figures.h"
#include "tests/support/Pump_win32.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/SimDriver_win32.h"
#include "tests/support/TestSystemFunctions_win32.h"
#include "tools/simdrv/SimDrvControl.h"

namespace perf {
namespace {

// Flushed at once: a child killed for overrunning still leaves what it measured.
void EmitLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

double MicrosBetween(std::int64_t from, std::int64_t to) { return ovtest::MsBetween(from, to) * 1000; }

bool UnderWine() {
    return ovtest::Dynwine_get_version() != nullptr;
}

double ProcessTimesUs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    const auto us = [](const FILETIME& t) { return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10; };
    return us(kernel) + us(user);
}

// Linux system calls: the Windows code of a Wine process runs in that Linux
// process, whose kernel interface matches the processor mode.
#if defined(__x86_64__)
constexpr long kLinuxGetpid = 39, kLinuxClockGettime = 228;

long LinuxCall(long long number, long long a = 0, long long b = 0) {
    long long result;
    __asm__ volatile("syscall" : "=a"(result) : "a"(number), "D"(a), "S"(b) : "rcx", "r11", "memory");
    return long(result);
}
#else
constexpr long kLinuxGetpid = 20, kLinuxClockGettime = 265;

long LinuxCall(long number, long a = 0, long b = 0) {
    long result;
    __asm__ volatile("int $0x80" : "=a"(result) : "a"(number), "b"(a), "c"(b) : "memory");
    return result;
}
#endif

// clock_gettime(CLOCK_PROCESS_CPUTIME_ID), into the kernel's timespec: two
// longs of the Linux side, 64-bit in a 64-bit process.
double LinuxProcessUs() {
    struct {
        std::intptr_t seconds, nanoseconds;
    } t = {0, 0};
    const long processCpuClock = 2;
    return LinuxCall(kLinuxClockGettime, processCpuClock, reinterpret_cast<std::intptr_t>(&t)) == 0
               ? double(t.seconds) * 1e6 + double(t.nanoseconds) / 1e3
               : -1;
}

// The voluntary and involuntary switches of the process's threads in /proc,
// found by the Linux process id, since /proc/self would name the server.
double LinuxSwitches() {
    const std::string tasks = "Z:\\proc\\" + std::to_string(LinuxCall(kLinuxGetpid)) + "\\task\\";
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((tasks + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    double total = 0;
    do {
        if (found.cFileName[0] == '.') continue;
        const std::string status = ovtest::ReadBytes(tasks + found.cFileName + "\\status");
        for (const char* key : {"\nvoluntary_ctxt_switches:", "\nnonvoluntary_ctxt_switches:"}) {
            const std::size_t at = status.find(key);
            if (at != std::string::npos) total += std::strtod(status.c_str() + at + std::strlen(key), nullptr);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return total;
}

// Wine's server opens files on behalf of its clients, so /proc/self names the
// server there. Its stat line says so; schedstat starts with its nanoseconds.
double ServerUs() {
    if (ovtest::ReadBytes("Z:\\proc\\self\\stat").find("(wineserver") == std::string::npos) return -1;
    const std::string sched = ovtest::ReadBytes("Z:\\proc\\self\\schedstat");
    char* end = nullptr;
    const double ns = std::strtod(sched.c_str(), &end);
    return end != sched.c_str() ? ns / 1e3 : -1;
}

// The dialog probe's state: hook procedures take no context, and the probe
// watches one thread.
struct ProbeState {
    bool Armed = false;
    HWND Window = nullptr;
    WNDPROC Original = nullptr;
    std::int64_t PaintedAt = 0;
};
ProbeState g_probe;

LRESULT CALLBACK WatchedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcW(g_probe.Original, window, message, wParam, lParam);
    if (message == WM_PAINT && window == g_probe.Window && !g_probe.PaintedAt) {
        g_probe.PaintedAt = ovtest::PerformanceNow();
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (message == WM_NCDESTROY && window == g_probe.Window) g_probe.Window = nullptr;
    return result;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && g_probe.Armed && !g_probe.Window) {
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        // A dialog has a title bar; tool tips and message-only windows do not.
        if (!(create->style & WS_CHILD) && (create->style & WS_CAPTION) == WS_CAPTION) {
            g_probe.Window = window;
            g_probe.Armed = false;
        }
    } else if (code == HCBT_ACTIVATE && window == g_probe.Window && !g_probe.Original) {
        // At activation its owner has set its window procedure.
        g_probe.Original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchedProc)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<PollRecord> Polls() {
    ovtest::SimDriver sim;
    std::vector<PollRecord> polls;
    if (!sim.Attach()) return polls;
    for (const simdrv::LogEntry& e : sim.Calls(simdrv::fnGetEvent)) polls.push_back({e.Time, e.Result});
    return polls;
}

// The hop times of `pairing` without its first event (the pause before the
// first poll and its first hop are cold, and alike on both sides), and its
// unmatched events as errors.
void EmitPairing(const std::string& name, const std::vector<std::int64_t>& arrivals) {
    const Pairing pairing = PairArrivals(Polls(), arrivals, ovtest::PerformanceFrequency());
    for (std::size_t i = 1; i < pairing.LatenciesUs.size(); ++i) EmitSample(name, pairing.LatenciesUs[i]);
    if (pairing.Unanswered) EmitError(name + ": " + std::to_string(pairing.Unanswered) + " events polled, never arrived");
    if (pairing.Inconsistent)
        EmitError(name + ": " + std::to_string(pairing.Inconsistent) + " arrivals do not match the driver's log");
}

void EmitClose(std::int64_t called, std::int64_t returned) {
    const std::vector<PollRecord> polls = Polls();
    const std::int64_t lastPoll = polls.empty() ? called : polls.back().Time;
    const CloseSplit split = SplitClose(called, lastPoll, returned, ovtest::PerformanceFrequency());
    EmitSample("close_us", MicrosBetween(called, returned));
    EmitSample("close_pause_us", split.PauseUs);
    EmitSample("close_tail_us", split.TailUs);
}

// Pumps for a second to settle, then for `seconds` between two readings.
void MeasureIdle(int seconds) {
    ovtest::PumpFor(1000);
    const CpuReading start = ReadCpu();
    const std::int64_t startTime = ovtest::PerformanceNow();
    ovtest::PumpFor(seconds * 1000);
    const CpuReading end = ReadCpu();
    const std::int64_t endTime = ovtest::PerformanceNow();
    int inWindow = 0;
    for (const PollRecord& p : Polls()) inWindow += p.Time >= startTime && p.Time < endTime;
    EmitSample("idle_wall_us", MicrosBetween(startTime, endTime));
    EmitSample("idle_cpu_us", end.ProcessUs - start.ProcessUs);
    EmitSample("idle_ptimes_us", end.ProcessTimesUs - start.ProcessTimesUs);
    // One of each per window, so the orchestrator can pair them: -1 when unknown.
    EmitSample("idle_server_us", start.ServerUs >= 0 && end.ServerUs >= 0 ? end.ServerUs - start.ServerUs : -1);
    EmitSample("idle_switches", start.Switches >= 0 && end.Switches >= 0 ? end.Switches - start.Switches : -1);
    EmitSample("idle_polls", inWindow);
}

// Shows the dialog 1 + `warm` times, timing each call to its first paint.
int MeasureDialogs(Side& side, int warm) {
    const HHOOK hook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
    if (!hook) return EmitError("the window hook could not be installed"), 1;
    for (int i = 0; i <= warm; ++i) {
        g_probe = ProbeState{true};
        const std::int64_t called = ovtest::PerformanceNow();
        const int result = side.ShowDialog();
        if (!g_probe.PaintedAt) {
            EmitError("no dialog was painted (result " + std::to_string(result) + ")");
            break;
        }
        EmitSample(i == 0 ? "dialog_cold_us" : "dialog_warm_us", MicrosBetween(called, g_probe.PaintedAt));
    }
    UnhookWindowsHookEx(hook);
    g_probe = ProbeState{};
    return 0;
}

}  // namespace

void EmitSample(const std::string& name, double value) { EmitLine(SampleLine(name, value)); }
void EmitError(const std::string& text) { EmitLine("error " + text + "\n"); }

void Side::Arrived(int index, std::int64_t time) {
    if (index < 0 || std::size_t(index) >= Arrivals.size() || Arrivals[std::size_t(index)] >= 0) return;
    Arrivals[std::size_t(index)] = time;
    if (++arrived_ == Arrivals.size()) PostQuitMessage(0);
}

CpuReading ReadCpu() {
    static const bool wine = UnderWine();
    CpuReading r;
    r.ProcessTimesUs = ProcessTimesUs();
    r.ProcessUs = wine ? LinuxProcessUs() : r.ProcessTimesUs;
    if (r.ProcessUs < 0) r.ProcessUs = r.ProcessTimesUs;
    if (wine) {
        r.ServerUs = ServerUs();
        r.Switches = LinuxSwitches();
    }
    return r;
}

int RunSide(const std::vector<std::string>& args, Side& side) {
    const int n = args.size() == 2 ? std::atoi(args[1].c_str()) : 0;
    const std::string mode = n > 0 ? args[0] : "";
    if (mode == "dialog") return MeasureDialogs(side, n);
    if (mode != "ring" && mode != "idle" && mode != "close") return -1;
    ovtest::SimDriver sim;
    if (!sim.Attach()) return EmitError("the simulated TmA4Drv.dll is not loaded"), 1;
    const int events = mode == "ring" ? n : 0;
    for (int trial = 0; trial < (mode == "close" ? n : 1); ++trial) {
        sim.Reset();
        for (int i = 0; i < events; ++i) sim.Queue(kRingCode, EventText(i));
        side.Expect(std::size_t(events));
        if (!side.Open()) return EmitError("the device could not be opened"), 1;
        if (mode == "idle") MeasureIdle(n);
        if (mode == "ring" && !ovtest::RunUntilQuit((events + 10) * 300 + 5000)) EmitError("not every event arrived");
        if (mode == "close") ovtest::PumpFor(CloseDelayMs(trial));
        const std::int64_t called = ovtest::PerformanceNow();
        side.Close();
        if (mode == "close") EmitClose(called, ovtest::PerformanceNow());
    }
    if (mode == "ring") EmitPairing("hop_us", side.Arrivals);
    const auto kept = [](std::int64_t t) { return t >= 0; };
    if (mode == "ring" && std::any_of(side.Returns.begin(), side.Returns.end(), kept))
        EmitPairing("roundtrip_us", side.Returns);
    return 0;
}

}  // namespace perf
