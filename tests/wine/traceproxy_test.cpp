// The tracing driver between the plug-in and the (simulated) vendor driver:
// the host bench rings through it, and every call lands in its log.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/TextLines.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/CodePage.h"
#include "tests/support/HostDir.h"

namespace {

using ovtest::PrivateHostDir;

// Installs the tracing driver as TmA4Drv.dll with the simulated box renamed
// to the vendor's file name behind it, as the host guide tells a technician,
// and the demo's scenario for ovhost --scenario, in `folder` (UTF-8).
bool InstallTraced(const std::string& folder) {
    const auto copy = [&folder](const char* file, const char* as) {
        return ovtest::CopyFileBytes(platform::ExecutableDirectory() + file, folder + as);
    };
    return copy("ovhost.exe", "ovhost.exe") && copy("demo.scenario", "demo.scenario") &&
           copy("Orvale8.dll", "Orvale8.dll") && copy("TmA4DrvTrace.dll", "TmA4Drv.dll") &&
           copy("TmA4Drv.dll", "TmA4Drv_vendor.dll");
}

// The texts of the rings the host bench printed, in order (UTF-8).
std::vector<std::string> RingsIn(const std::string& output) {
    std::vector<std::string> rings;
    for (const std::string& line : platform::SplitLines(output)) {
        const std::size_t at = line.find("ue_ring  ");
        if (at != std::string::npos) rings.push_back(line.substr(at + 9));
    }
    return rings;
}

// In a folder that no ANSI code page spells, as a shop's may be: the drivers
// find their files, the vendor's and the scenario, and write the log, through
// the wide API.
TEST(TraceProxy, ForwardsEveryCallAndLogsRecords) {
    ovtest::ExpectAnsiCodePage();
    PrivateHostDir dir;
    const std::string folder = dir.Path() + platform::Utf8FromWide(L"\u5E97\u94FA \u0E23\u0E49\u0E32\u0E19\\");
    ASSERT_TRUE(ovtest::MakeDirectories(folder));
    ASSERT_TRUE(InstallTraced(folder));
    const auto run = ovtest::RunProgram("\"" + folder + "ovhost.exe\" --scenario --seconds=3", folder, 60000);
    ASSERT_TRUE(run.Started);
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    // Rings travelled through the proxy to the host...
    EXPECT_NE(run.Output.find("ue_ring"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("13800138000"), std::string::npos) << run.Output;

    // ...and the log shows each call in order, with the rings' records.
    const std::string log = ovtest::ReadBytes(folder + "TmA4Drv.trace.log");
    const size_t version = log.find("Tma4drv_DLL_Version(\"http://voicebox.local/\") -> ");
    const size_t init = log.find("TV_Initialize() -> ");
    const size_t ring = log.find("TV_GetEvent() -> 1 code=30 text=\"13800138000\" record=1e000000");
    const size_t disable = log.find("TV_Disable() -> ");
    ASSERT_NE(version, std::string::npos) << log;
    ASSERT_NE(init, std::string::npos) << log;
    ASSERT_NE(ring, std::string::npos) << log;
    ASSERT_NE(disable, std::string::npos) << log;
    EXPECT_LT(version, init);
    EXPECT_LT(init, ring);
    EXPECT_LT(ring, disable);
    EXPECT_NE(log.find("TV_GetEvent() -> 0\r\n"), std::string::npos) << "quiet polls are logged too";
}

// A session scripted for the simulated box, played through the tracing
// driver; its log then played to a host without the tracing driver must give
// that host the same rings in the same order.
TEST(TraceProxy, ARecordedTraceReplaysToTheSameRings) {
    ovtest::ExpectAnsiCodePage();
    PrivateHostDir traced, replayed;
    ASSERT_TRUE(InstallTraced(traced.Path()));
    ovtest::WriteBytes(traced.Path() + "session.scenario",
                       "# a scripted session\r\n"
                       "0.3 30 13800138000\r\n"
                       "0.4 31 13800138000\r\n"
                       "0.5 thirty 1\r\n"
                       "0.5 32 \"  spaced \\\"quoted\\\" \"\r\n"
                       "1.0 30 1234567890123456789012345678901234567890123456\r\n"
                       "1.1 30\r\n"
                       "1.3 32 \"\\xce\\xb4\\xd6\\xaa\\xba\\xc5\\xc2\\xeb\"\r\n");
    const auto recorded = ovtest::RunProgram("\"" + traced.Path() + "ovhost.exe\" --replay session.scenario",
                                             traced.Path(), 60000);
    ASSERT_TRUE(recorded.Started && !recorded.TimedOut);
    EXPECT_EQ(recorded.ExitCode, 0u) << recorded.Output;
    EXPECT_NE(recorded.Output.find("session.scenario line 4: "), std::string::npos) << "the bad line, by number";
    const std::vector<std::string> expected = {"13800138000", "  spaced \"quoted\" ",
                                               "1234567890123456789012345678901234567890123456",
                                               "\xe6\x9c\xaa\xe7\x9f\xa5\xe5\x8f\xb7\xe7\xa0\x81"};
    ASSERT_EQ(RingsIn(recorded.Output), expected) << recorded.Output;

    ASSERT_TRUE(replayed.CopyFromBin("ovhost.exe") && replayed.CopyFromBin("Orvale8.dll") &&
                replayed.CopyFromBin("TmA4Drv.dll"));
    const std::string log = ovtest::ReadBytes(traced.Path() + "TmA4Drv.trace.log");
    ovtest::WriteBytes(replayed.Path() + "field.log", log);
    const auto replay =
        ovtest::RunProgram("\"" + replayed.Path() + "ovhost.exe\" --replay=field.log", replayed.Path(), 60000);
    ASSERT_TRUE(replay.Started && !replay.TimedOut);
    EXPECT_EQ(replay.ExitCode, 0u) << replay.Output;
    EXPECT_NE(replay.Output.find("(trace log, 6 events, 0 lines skipped; ANSI"), std::string::npos) << replay.Output;
    EXPECT_EQ(RingsIn(replay.Output), expected) << replay.Output << log;
}

// Seconds since the host bench started, as printed at the start of a line
// holding `marker`, or after " from " on the replay's line; -1 when absent.
std::vector<double> TimesOf(const std::string& output, const std::string& marker) {
    std::vector<double> times;
    for (const std::string& line : platform::SplitLines(output)) {
        if (line.find(marker) == std::string::npos) continue;
        const std::size_t from = line.find(") from ");
        times.push_back(std::atof(line.c_str() + (from == std::string::npos ? 0 : from + 7)));
    }
    return times;
}

// Each replayed event reaches the host at its time after the replay began:
// not before, and within a poll or two after (the plug-in polls every
// 200 ms; the bound leaves room for a loaded machine, not for a second).
TEST(Replay, EventsReachTheHostAtTheirTimes) {
    ovtest::ExpectAnsiCodePage();
    PrivateHostDir dir;
    ASSERT_TRUE(dir.CopyFromBin("ovhost.exe") && dir.CopyFromBin("Orvale8.dll") && dir.CopyFromBin("TmA4Drv.dll"));
    ovtest::WriteBytes(dir.Path() + "timed.scenario", "0.4 30 first\n1.4 30 second\n2.5 32 third\n");
    const auto run =
        ovtest::RunProgram("\"" + dir.Path() + "ovhost.exe\" --replay timed.scenario", dir.Path(), 60000);
    ASSERT_TRUE(run.Started && !run.TimedOut);
    const std::vector<double> start = TimesOf(run.Output, "the simulated box plays");
    const std::vector<double> rings = TimesOf(run.Output, "ue_ring");
    ASSERT_EQ(start.size(), 1u) << run.Output;
    ASSERT_EQ(rings.size(), 3u) << run.Output;
    const double due[] = {0.4, 1.4, 2.5};
    for (int i = 0; i < 3; ++i) {
        EXPECT_GE(rings[i] - start[0], due[i] - 0.005) << "event " << i << "\n" << run.Output;
        EXPECT_LE(rings[i] - start[0], due[i] + 0.7) << "event " << i << "\n" << run.Output;
    }
}

// The host keeps loading (an order program must not fail to start for a
// diagnosis tool), and the log says why no ring comes: no vendor's driver
// behind the tracing driver, or the tracing driver itself there (installed
// twice over), which must not forward each call to itself.
TEST(TraceProxy, WithoutTheVendorDriverAnswersNoEventAndSaysWhy) {
    ovtest::ExpectAnsiCodePage();
    struct Behind {
        const char* file;  // copied from the build as TmA4Drv_vendor.dll; none when null
        const char* failure;
        const char* problem;
    };
    const Behind cases[] = {
        {nullptr, "FAILURE: vendor driver TmA4Drv_vendor.dll not found beside the tracing driver",
         "(TmA4Drv_vendor.dll not found): answered 0"},
        {"TmA4DrvTrace.dll",
         "FAILURE: TmA4Drv_vendor.dll is a copy of the tracing driver, not the vendor's driver: every call answers 0 "
         "and no ring reaches the host; copy the vendor's TmA4Drv.dll over TmA4Drv_vendor.dll",
         "(TmA4Drv_vendor.dll is a copy of the tracing driver, not the vendor's driver): answered 0"},
    };
    for (const Behind& behind : cases) {
        PrivateHostDir dir;
        ASSERT_TRUE(dir.CopyFromBin("ovhost.exe") && dir.CopyFromBin("Orvale8.dll") &&
                    dir.CopyFromBin("TmA4DrvTrace.dll", "TmA4Drv.dll"));
        if (behind.file) {
            ASSERT_TRUE(dir.CopyFromBin(behind.file, "TmA4Drv_vendor.dll"));
        }
        const auto run = ovtest::RunProgram("\"" + dir.Path() + "ovhost.exe\" --seconds=1", dir.Path(), 60000);
        ASSERT_TRUE(run.Started);
        ASSERT_FALSE(run.TimedOut);
        EXPECT_EQ(run.ExitCode, 0u) << run.Output;
        EXPECT_EQ(run.Output.find("ue_ring"), std::string::npos) << run.Output;
        // Said before the first call returns, and again at every call.
        const std::string log = ovtest::ReadBytes(dir.Path() + "TmA4Drv.trace.log");
        const std::size_t failure = log.find(behind.failure);
        const std::size_t firstCall = log.find(std::string("Tma4drv_DLL_Version: no vendor driver behind the tracing "
                                                           "driver ") + behind.problem);
        const std::size_t poll = log.find(std::string("TV_GetEvent: no vendor driver behind the tracing driver ") +
                                          behind.problem);
        ASSERT_NE(failure, std::string::npos) << log;
        ASSERT_NE(firstCall, std::string::npos) << log;
        EXPECT_NE(poll, std::string::npos) << log;
        EXPECT_LT(failure, firstCall);
    }
}

// Whether a process runs from an executable of this file name.
bool ProcessRuns(const char* exeName) {
    const platform::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry))
        if (lstrcmpiA(entry.szExeFile, exeName) == 0) return true;
    return false;
}

// Every host run in the suite goes through this runner: a host that hangs
// must be ended and fail its test, with what it printed kept, rather than
// hang the suite or linger after it.
TEST(HostRun, AHostThatOverrunsIsKilledAndItsOutputKept) {
    PrivateHostDir dir;
    // A name of this run's own: the suite's other runs share the process list.
    const std::string host = "ovhost-overrun-" + std::to_string(GetCurrentProcessId()) + ".exe";
    ASSERT_TRUE(dir.CopyFromBin("ovhost.exe", host) && dir.CopyFromBin("Orvale8.dll") && dir.CopyFromBin("TmA4Drv.dll"));
    const DWORD start = GetTickCount();
    const auto run = ovtest::RunProgram("\"" + dir.File(host) + "\" --seconds=600", dir.Path(), 1500);
    EXPECT_LT(GetTickCount() - start, 30000u);
    EXPECT_TRUE(run.Started && run.TimedOut);
    EXPECT_FALSE(run.Succeeded());
    EXPECT_NE(run.Output.find("pumping messages for 600 s"), std::string::npos) << run.Output;
    EXPECT_FALSE(ProcessRuns(host.c_str()));
}

}  // namespace
