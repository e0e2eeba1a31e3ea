// The five groups of figures: which processes measure them, from which
// directories, in which order (Figures.h turns their samples into figures).
#include <algorithm>
#include <numeric>

#include "bench/perf/Figures.h"
#include "bench/perf/Orchestrator_win32.h"
#include "bench/perf/PeSize.h"
#include "bench/perf/Stats.h"

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

double Sum(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); }
double Median(const std::vector<double>& v) { return Summarize(v).Median; }

std::size_t FileSize(const std::string& path, bool withoutDebug) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return 0;
    return withoutDebug ? SizeWithoutDebugInfo(bytes) : bytes.size();
}

}  // namespace

void Orchestrator::Load() {
    PrivateDir withLanguage("lang");
    if (!withLanguage.CopyIn(bin_, {kFloor, "Orvale8.dll", "TmA4Drv.dll"}) ||
        !withLanguage.Write("kdwusr70.ini", kSettingsEnglish) || !withLanguage.Write("Orvale7.lng", kLanguageFile)) {
        notes_.push_back("error: the start-up directories could not be prepared");
        failed_ = true;
        return;
    }
    ChildReport r;
    for (int round = 0; round < options_.LoadRounds; ++round) {
        Progress("start-up, round " + std::to_string(round + 1) + " of " + std::to_string(options_.LoadRounds));
        RunIn(*plain_, kFloor, "load perf_empty.dll load_floor_us", 60000, r);
        RunIn(*plain_, kFloor, "load perf_window.dll load_window_us", 60000, r);
        RunIn(*plain_, kFloor, "load Orvale8.dll load_plain_us", 60000, r);
        RunIn(withLanguage, kFloor, "load Orvale8.dll load_lang_us", 60000, r);
    }
    const std::string dll = bin_ + "Orvale8.dll", empty = bin_ + "perf_empty.dll";
    DllSizes sizes;
    sizes.Plugin = double(FileSize(dll, true));
    sizes.PluginFile = double(FileSize(dll, false));
    sizes.Empty = double(FileSize(empty, true));
    sizes.EmptyFile = double(FileSize(empty, false));
    Add(StartupFigures(r, sizes));
}

void Orchestrator::Dialog() {
    PrivateDir dir("dialog");
    if (!dir.CopyIn(bin_, {kFloor, kHost, "Orvale8.dll", "TmA4Drv.dll"}) ||
        !dir.Write("kdwusr70.ini", kSettingsEnglish)) {
        notes_.push_back("error: the dialog directory could not be prepared");
        failed_ = true;
        return;
    }
    ChildReport product, floor;
    std::vector<double> written;
    const std::string warm = std::to_string(options_.WarmDialogs);
    for (int round = 0; round < options_.DialogRounds; ++round) {
        Progress("dialog, round " + std::to_string(round + 1) + " of " + std::to_string(options_.DialogRounds));
        dir.Write("Orvale7.lng", "");  // cold: English mode, empty language file
        RunIn(dir, kHost, "dialog " + warm, 120000, product);
        written.push_back(double(FileSize(dir.Path() + "Orvale7.lng", false)));
        RunIn(dir, kFloor, "dialog-floor " + warm, 120000, floor);
    }
    Add(DialogFigures(product, floor));
    const double least = written.empty() ? 0 : *std::min_element(written.begin(), written.end());
    notes_.push_back("dialog: each cold call filled the empty language file with at least " +
                     FormatNumber(least) + " bytes (English mode on)");
    if (least <= 0) failed_ = true;
}

void Orchestrator::Ring() {
    ChildReport product, floor;
    for (int events : SplitIntoRounds(options_.Events, 50)) {
        const std::string n = std::to_string(events);
        const int timeout = events * 300 + 30000;
        Progress("ring latency, " + n + " events through the plug-in");
        RunIn(*plain_, kHost, "ring " + n, timeout, product);
        Progress("ring latency, " + n + " events through the bare hop");
        RunIn(*plain_, kFloor, "ring-floor " + n, timeout, floor);
    }
    roundTrips_ = floor.Of("roundtrip_us");
    Add(RingFigures(product, floor));
    notes_.push_back("ring: " + std::to_string(product.Of("hop_us").size()) + " events through the plug-in, " +
                     std::to_string(floor.Of("hop_us").size()) +
                     " through the bare hop; from TV_GetEvent's entry to the host's code");
}

double Orchestrator::RoundTripFloorUs() {
    if (roundTrips_.empty()) {
        ChildReport floor;
        Progress("close: the bare hop's round trip, 30 events");
        RunIn(*plain_, kFloor, "ring-floor 30", 60000, floor);
        roundTrips_ = floor.Of("roundtrip_us");
    }
    return Median(roundTrips_);
}

void Orchestrator::Close() {
    const double marshalled = RoundTripFloorUs();
    ChildReport product, floor;
    for (int trials : SplitIntoRounds(options_.CloseTrials, 10)) {
        const std::string n = std::to_string(trials);
        Progress("CloseDevice, " + n + " trials, and the bare worker stopped as often");
        RunIn(*plain_, kHost, "close " + n, trials * 2000 + 30000, product);
        RunIn(*plain_, kFloor, "close-floor " + n, trials * 2000 + 30000, floor);
    }
    Add(CloseFigures(product, floor, marshalled));
    notes_.push_back("close: floor of the first two = the pause in progress + one poll and one marshalled call (the "
                     "bare hop's round trip, " + FormatNumber(marshalled) + " us); of the last two, the bare worker "
                     "stopped and waited for in the same way");
}

void Orchestrator::Idle() {
    ChildReport product, floor;
    for (int seconds : SplitIntoRounds(options_.IdleSeconds, 10)) {
        const std::string s = std::to_string(seconds);
        const int timeout = (seconds + 30) * 1000;
        Progress("idle, " + s + " s with the device open, then " + s + " s of the bare hop");
        RunIn(*plain_, kHost, "idle " + s, timeout, product);
        RunIn(*plain_, kFloor, "idle-floor " + s, timeout, floor);
    }
    std::string spread;
    Add(IdleFigures(product, floor, spread));
    const double wall = Sum(product.Of("idle_wall_us")) / 1e6;
    notes_.push_back("idle: " + FormatNumber(wall) + " s each in windows of up to 10 s; polls " +
                     FormatNumber(Sum(product.Of("idle_polls"))) + " (plug-in), " +
                     FormatNumber(Sum(floor.Of("idle_polls"))) + " (bare hop); window-by-window ratios: " + spread);
}

}  // namespace perf
