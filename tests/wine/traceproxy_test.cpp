// The tracing driver between the plug-in and the (simulated) vendor driver:
// the host bench rings through it, and every call lands in its log.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/wine/support/CodePage.h"
#include "tests/wine/support/HostDir.h"

namespace {

using ovtest::PrivateHostDir;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Installs the tracing driver as TmA4Drv.dll with the simulated box renamed
// to the vendor's file name behind it, as the host guide tells a technician.
bool InstallTraced(const PrivateHostDir& dir) {
    return dir.CopyFromBin("ovhost.exe") && dir.CopyFromBin("Orvale8.dll") &&
           dir.CopyFromBin("TmA4DrvTrace.dll", "TmA4Drv.dll") && dir.CopyFromBin("TmA4Drv.dll", "TmA4Drv_vendor.dll");
}

TEST(TraceProxy, ForwardsEveryCallAndLogsRecords) {
    ovtest::ExpectAnsiCodePage();
    PrivateHostDir dir;
    ASSERT_TRUE(InstallTraced(dir));
    const auto run = ovtest::RunProgram("\"" + dir.Path() + "ovhost.exe\" --scenario --seconds=3", dir.Path(), 60000);
    ASSERT_TRUE(run.Started);
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    // Rings travelled through the proxy to the host...
    EXPECT_NE(run.Output.find("ue_ring"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("13800138000"), std::string::npos) << run.Output;

    // ...and the log shows each call in order, with the rings' records.
    const std::string log = ReadFile(dir.Path() + "TmA4Drv.trace.log");
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

TEST(TraceProxy, WithoutTheVendorDriverAnswersNoEventAndSaysWhy) {
    ovtest::ExpectAnsiCodePage();
    PrivateHostDir dir;
    ASSERT_TRUE(dir.CopyFromBin("ovhost.exe") && dir.CopyFromBin("Orvale8.dll") &&
                dir.CopyFromBin("TmA4DrvTrace.dll", "TmA4Drv.dll"));
    const auto run = ovtest::RunProgram("\"" + dir.Path() + "ovhost.exe\" --seconds=1", dir.Path(), 60000);
    ASSERT_TRUE(run.Started);
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_EQ(run.Output.find("ue_ring"), std::string::npos) << run.Output;
    const std::string log = ReadFile(dir.Path() + "TmA4Drv.trace.log");
    EXPECT_NE(log.find("TV_GetEvent: vendor driver TmA4Drv_vendor.dll not found or incomplete"), std::string::npos)
        << log;
}

}  // namespace
