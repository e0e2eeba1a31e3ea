#include "bench/perf/Orchestrator_win32.h"

#include <windows.h>

#include <cstdio>

namespace perf {
namespace {

const std::vector<std::string> kFiles = {"ovperf.exe", "ovperf_host.exe", "Orvale8.dll", "TmA4Drv.dll",
                                         "perf_empty.dll", "perf_window.dll"};

std::string WineVersion() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    typedef const char*(__cdecl * Version_t)();
    const auto version = reinterpret_cast<Version_t>(
        reinterpret_cast<void*>(ntdll ? GetProcAddress(ntdll, "wine_get_version") : nullptr));
    return version ? std::string("Wine ") + version() : std::string("Windows (not Wine)");
}

}  // namespace

int Orchestrator::Run() {
    if (!Prepare()) return 2;
    if (Wants(options_, "load")) Load();
    if (Wants(options_, "dialog")) Dialog();
    if (Wants(options_, "ring")) Ring();
    if (Wants(options_, "close")) Close();
    if (Wants(options_, "idle")) Idle();
    Print();
    return failed_ ? 1 : 0;
}

bool Orchestrator::Prepare() {
    bin_ = ProgramDirectory();
    plain_ = std::make_unique<PrivateDir>("plain");
    if (!plain_->CopyIn(bin_, kFiles)) {
        std::fprintf(stderr, "ovperf: cannot copy the programs and DLLs from %s into a temporary directory\n",
                     bin_.c_str());
        return false;
    }
    return true;
}

void Orchestrator::RunIn(const PrivateDir& dir, const std::string& program, const std::string& arguments,
                         int timeoutMs, ChildReport& into) {
    const ChildRun run = RunChild(dir.Path(), program, arguments, timeoutMs);
    const std::string what = program + " " + arguments;
    ParseReport(run.Output, into);
    if (!run.Started) into.Errors.push_back(what + ": could not be started");
    if (run.TimedOut) into.Errors.push_back(what + ": killed after " + std::to_string(timeoutMs / 1000) + " s");
    if (run.Started && !run.TimedOut && run.ExitCode != 0)
        into.Errors.push_back(what + ": exit code " + std::to_string(run.ExitCode));
    for (const std::string& e : into.Errors) {
        notes_.push_back("error: " + e);
        failed_ = true;
    }
    into.Errors.clear();
}

void Orchestrator::Progress(const std::string& text) const {
    std::fprintf(stderr, "ovperf: %s\n", text.c_str());
    std::fflush(stderr);
}

void Orchestrator::Print() const {
    std::printf("\nOrvale8.dll against the floor of its platform, %s\n\n", WineVersion().c_str());
    std::fputs(FormatTable(figures_).c_str(), stdout);
    if (!notes_.empty()) std::printf("\n");
    for (const std::string& n : notes_) std::printf("%s\n", n.c_str());
    std::printf("\n");
    for (const Figure& f : figures_) std::fputs(FigureLine(f).c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace perf
