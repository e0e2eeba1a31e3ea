// ovperf [options] (Options.h): runs every measuring process from a private
// directory, each floor alternating with the plug-in, and prints the table and
// figure lines; 0 when every measurement ran, whatever the goals.
// ovperf MODE ...: one measuring process of a floor (Floor_win32.h).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "bench/perf/BoxRuns_win32.h"
#include "bench/perf/Figures.h"
#include "bench/perf/Floor_win32.h"
#include "bench/perf/Options.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Proc_win32.h"
#include "tests/support/ScratchDir.h"
#include "tools/pe/PeImage.h"

namespace perf {
namespace {

const char kHost[] = "ovperf_host.exe";
const char kFloor[] = "ovperf.exe";
// The host's settings in English mode; section and key are code page 936.
const char kSettingsEnglish[] = "[语言设置]\r\n系统语言=EN\r\n";
// A language file as the dialog fills it in English mode.
const char kLanguageFile[] =
    "[TPropertyForm]\r\nCaption=Voice box settings\r\nHint=\r\nLabel1.Hint=\r\n"
    "Label1.Caption=(no settings available)\r\nbtnOk.Hint=\r\nbtnOk.Caption=&OK\r\n";

std::string WineVersion() {
    const auto version = ovtest::Proc<const char*(__cdecl*)()>(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    return version ? std::string("Wine ") + version() : std::string("Windows (not Wine)");
}

double FileSize(const std::string& path, bool withoutDebug) {
    const std::string bytes = ovtest::ReadBytes(path);
    return double(withoutDebug ? pe::PeImage(bytes).SizeWithoutDebugInfo() : bytes.size());
}

// A private directory holding copies of the named programs and DLLs (the
// plug-in finds its files beside the host's executable), or null.
std::unique_ptr<ovtest::ScratchDir> HostDir(const std::vector<std::string>& files) {
    auto dir = std::make_unique<ovtest::ScratchDir>();
    for (const std::string& f : files)
        if (!dir->CopyFromBin(f)) return nullptr;
    return dir;
}

class Orchestrator {
public:
    explicit Orchestrator(const BenchOptions& options) : options_(options) {}

    int Run() {
        plain_ = HostDir({kFloor, kHost, "Orvale8.dll", "TmA4Drv.dll", "perf_empty.dll", "perf_window.dll"});
        if (!plain_) return std::fprintf(stderr, "ovperf: cannot copy the programs into a temporary directory\n"), 2;
        if (!options_.x64Bin.empty()) {
            if (options_.Wants("x64")) X64();
        } else {
            if (options_.Wants("load")) Load();
            if (options_.Wants("dialog")) Dialog();
            if (options_.Wants("ring")) Ring();
            if (options_.Wants("close")) Close();
            if (options_.Wants("idle")) Idle();
        }
        Print();
        return failed_ ? 1 : 0;
    }

private:
    // Runs a program of the benchmark in `dir` and adds its report to
    // `into`; a failure of the child is noted and fails the run.
    void RunIn(const ovtest::ScratchDir& dir, const std::string& program, const std::string& arguments,
               int timeoutMs, ChildReport& into) {
        const std::string what = program + " " + arguments;
        const ovtest::ProgramRun run = ovtest::RunProgram("\"" + dir.File(program) + "\" " + arguments, dir.Path(),
                                                          timeoutMs);
        ParseReport(run.Output, into);
        if (!run.Started || run.TimedOut || run.ExitCode)
            into.Errors.push_back(!run.Started ? "could not be started"
                                  : run.TimedOut ? "killed after " + std::to_string(timeoutMs / 1000) + " s"
                                                 : "exit code " + std::to_string(run.ExitCode));
        for (const std::string& e : into.Errors) Fail(what + ": " + e);
        into.Errors.clear();
    }

    void Fail(const std::string& error) {
        notes_.push_back("error: " + error);
        failed_ = true;
    }

    void Progress(const std::string& text) const {
        std::fprintf(stderr, "ovperf: %s\n", text.c_str());
        std::fflush(stderr);
    }

    void Add(const std::vector<Figure>& figures) { figures_.insert(figures_.end(), figures.begin(), figures.end()); }

    void Load() {
        const auto lang = HostDir({kFloor, "Orvale8.dll", "TmA4Drv.dll"});
        if (!lang) return Fail("the start-up directories could not be prepared");
        ovtest::WriteBytes(lang->File("kdwusr70.ini"), kSettingsEnglish);
        ovtest::WriteBytes(lang->File("Orvale7.lng"), kLanguageFile);
        ChildReport r;
        for (int round = 0; round < options_.loadRounds; ++round) {
            Progress("start-up, round " + std::to_string(round + 1) + " of " + std::to_string(options_.loadRounds));
            RunIn(*plain_, kFloor, "load perf_empty.dll load_floor", 60000, r);
            RunIn(*plain_, kFloor, "load perf_window.dll load_window", 60000, r);
            RunIn(*plain_, kFloor, "load Orvale8.dll load_plain", 60000, r);
            RunIn(*lang, kFloor, "load Orvale8.dll load_lang", 60000, r);
        }
        const std::string dll = platform::ExecutableDirectory() + "Orvale8.dll";
        const std::string empty = platform::ExecutableDirectory() + "perf_empty.dll";
        const DllSizes sizes{FileSize(dll, true), FileSize(dll, false), FileSize(empty, true), FileSize(empty, false)};
        Add(StartupFigures(r, sizes));
    }

    void Dialog() {
        const auto dir = HostDir({kFloor, kHost, "Orvale8.dll", "TmA4Drv.dll"});
        if (!dir) return Fail("the dialog directory could not be prepared");
        ovtest::WriteBytes(dir->File("kdwusr70.ini"), kSettingsEnglish);
        ChildReport product, floor;
        double least = -1;
        const std::string warm = std::to_string(options_.warmDialogs);
        for (int round = 0; round < options_.dialogRounds; ++round) {
            Progress("dialog, round " + std::to_string(round + 1) + " of " + std::to_string(options_.dialogRounds));
            ovtest::WriteBytes(dir->File("Orvale7.lng"), "");  // cold: English mode, empty language file
            RunIn(*dir, kHost, "dialog " + warm, 120000, product);
            const double written = FileSize(dir->File("Orvale7.lng"), false);
            least = least < 0 ? written : std::min(least, written);
            RunIn(*dir, kFloor, "dialog-floor " + warm, 120000, floor);
        }
        Add(DialogFigures(product, floor));
        notes_.push_back("dialog: each cold call filled the empty language file with at least " +
                         FormatNumber(least) + " bytes (English mode on)");
        if (least <= 0) failed_ = true;
    }

    // Runs `rounds` of the plug-in's `mode` and the floor's alike, turn about.
    void Alternate(const std::string& what, const std::vector<int>& rounds, const std::string& mode, int msPerUnit,
                   ChildReport& product, ChildReport& floor) {
        for (int units : rounds) {
            const std::string n = std::to_string(units);
            Progress(what + ": " + n + " through the plug-in, then as many through the bare hop");
            RunIn(*plain_, kHost, mode + " " + n, units * msPerUnit + 30000, product);
            RunIn(*plain_, kFloor, mode + "-floor " + n, units * msPerUnit + 30000, floor);
        }
    }

    void Ring() {
        ChildReport product, floor;
        Alternate("ring latency events", SplitIntoRounds(options_.events, 50), "ring", 300, product, floor);
        roundTrips_ = floor.Of("roundtrip_us");
        Add(RingFigures(product, floor));
        notes_.push_back("ring: from TV_GetEvent's entry to the host's code; " +
                         std::to_string(product.Of("hop_us").size()) + " events each way timed");
    }

    void Close() {
        if (roundTrips_.empty()) {  // the floor's round trip, measured if Ring did not
            ChildReport floor;
            RunIn(*plain_, kFloor, "ring-floor 30", 60000, floor);
            roundTrips_ = floor.Of("roundtrip_us");
        }
        const double marshalled = Median(roundTrips_);
        ChildReport product, floor;
        Alternate("CloseDevice trials", SplitIntoRounds(options_.closeTrials, 10), "close", 2000, product, floor);
        Add(CloseFigures(product, floor, marshalled));
        notes_.push_back("close: floor of the first two = the pause in progress + one poll and one marshalled call "
                         "(the bare hop's round trip, " + FormatNumber(marshalled) + " us); of the last two, the "
                         "bare worker stopped and waited for in the same way");
    }

    void Idle() {
        ChildReport product, floor;
        Alternate("idle seconds", SplitIntoRounds(options_.idleSeconds, 10), "idle", 1000, product, floor);
        Add(IdleFigures(product, floor));
    }

    // The 64-bit plug-in and the 32-bit one turn about, each with the
    // simulated box publishing its polls: in the companion for the first,
    // in the host for the second.
    void X64() {
        const auto x86 = HostDir({kFloor, kHost, "Orvale8.dll", "TmA4Drv.dll"});
        auto x64 = std::make_unique<ovtest::ScratchDir>();
        for (const char* file : {kFloor, kHost, "Orvale8.dll", "Orvale8Drv32.exe", "TmA4Drv.dll"})
            if (!ovtest::CopyFileBytes(options_.x64Bin + file, x64->File(file)))
                return Fail(std::string("cannot copy ") + file + " from " + options_.x64Bin);
        if (!x86) return Fail("the 32-bit directory could not be prepared");
        ChildReport r32, r64;
        const auto both = [&](const std::string& program, const std::string& arguments, int timeoutMs) {
            RunIn(*x86, program, arguments, timeoutMs, r32);
            RunIn(*x64, program, arguments, timeoutMs, r64);
        };
        for (int events : SplitIntoRounds(options_.events, 50)) {
            Progress("x64 beside 32-bit: " + std::to_string(events) + " rings each");
            for (const ovtest::ScratchDir* dir : {x86.get(), x64.get()})
                ovtest::WriteBytes(dir->File("TmA4Drv.scenario"), RingScenario(events));
            both(kHost, "ring-box " + std::to_string(events), events * 300 + 30000);
        }
        for (const ovtest::ScratchDir* dir : {x86.get(), x64.get()}) DeleteFileA(dir->File("TmA4Drv.scenario").c_str());
        for (int seconds : SplitIntoRounds(options_.idleSeconds, 10)) {
            Progress("x64 beside 32-bit: " + std::to_string(seconds) + " idle seconds each");
            both(kHost, "idle-box " + std::to_string(seconds), seconds * 1000 + 30000);
        }
        for (int round = 0; round < options_.loadRounds; ++round) {
            Progress("x64 beside 32-bit: start-up, round " + std::to_string(round + 1));
            both(kFloor, "load Orvale8.dll start", 60000);
        }
        // A host that ended without a word must not pass for a fast one.
        for (const char* sample : {"hop_us", "idle_host_us", "start_init_us"})
            for (const ChildReport* r : {&r32, &r64})
                if (r->Of(sample).empty()) Fail(std::string("x64 beside 32-bit: no ") + sample + " from the " +
                                                (r == &r32 ? "32-bit" : "64-bit") + " side");
        Add(X64Figures(r32, r64));
        notes_.push_back("x64: the floor is the 32-bit plug-in's figure of the same run; rings from TV_GetEvent's "
                         "entry in the simulated driver (in the companion for x64), which publishes it in shared "
                         "memory; idle = host + companion, from Linux's count of their threads");
    }

    void Print() const {
        std::printf("\nOrvale8.dll against the floor of its platform, %s\n\n%s\n", WineVersion().c_str(),
                    FormatTable(figures_).c_str());
        for (const std::string& n : notes_) std::printf("%s\n", n.c_str());
        std::printf("\n");
        for (const Figure& f : figures_) std::fputs(FigureLine(f).c_str(), stdout);
        std::fflush(stdout);
    }

    BenchOptions options_;
    std::unique_ptr<ovtest::ScratchDir> plain_;  // programs and DLLs, no configuration files
    std::vector<Figure> figures_;
    std::vector<std::string> notes_;
    std::vector<double> roundTrips_;
    bool failed_ = false;
};

}  // namespace
}  // namespace perf

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int child = perf::RunFloorMode(args);
    if (child >= 0) return child;
    perf::BenchOptions options;
    std::string error;
    if (!perf::ParseOptions(args, options, error))
        return std::fprintf(stderr, "ovperf: %s\n%s", error.c_str(), perf::Usage().c_str()), 2;
    return perf::Orchestrator(options).Run();
}
