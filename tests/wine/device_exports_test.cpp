// The plug-in's boundary as a loader and a host see it before any ring:
// export and import tables, calling convention, fixed results.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <set>
#include <utility>
#include <vector>

#include "platform/runtime/Paths.h"
#include "tests/support/DeviceTest.h"
#include "tests/support/HostDir.h"
#include "tests/support/StackProbe.h"
#include "tools/host/PluginExports.h"
#include "tools/pe/PeImage.h"

namespace ovtest {
namespace {

// The exports as the tools and the tests find them, by name and ordinal.
std::vector<std::pair<std::string, WORD>> PluginExports() {
    std::vector<std::pair<std::string, WORD>> exports;
    PluginFunctions unused;
    ForEachPluginExport(unused, [&](const char* name, WORD ordinal, auto&) { exports.emplace_back(name, ordinal); });
    return exports;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool InSystemDirectory(const std::string& dll) {
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    return length && platform::FileExists(std::string(system, length) + "\\" + dll);
}

using ExportsTest = DeviceTest;

TEST_F(ExportsTest, NamesAndOrdinalsResolveToTheSameUndecoratedFunctions) {
    const Plugin& plugin = LoadedPlugin();
    for (const auto& [name, ordinal] : PluginExports()) {
        SCOPED_TRACE(name);
        const FARPROC byName = plugin.ByName(name.c_str());
        ASSERT_NE(nullptr, byName);
        EXPECT_EQ(byName, plugin.ByOrdinal(ordinal));
    }
    for (const char* decorated : {"ShowProperties@4", "InitCallbackEx@8", "_InitCallbackEx@8", "InitDevice@0",
                                  "CloseDevice@0", "OV_GetLastError", "OV_GetLastError@0", "_GetLastError@0"})
        EXPECT_EQ(nullptr, plugin.ByName(decorated)) << decorated;
    // The export shadows the system function by name only.
    EXPECT_NE(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetLastError"), plugin.ByName("GetLastError"));
}

TEST_F(ExportsTest, ExportTableNamesOnlyTheHostFunctions) {
    std::set<std::string> allowed;
    for (const auto& named : PluginExports()) allowed.insert(named.first);
    const std::vector<std::string> names = pe::PeImage::Loaded(LoadedPlugin().Module()).ExportNames();
    EXPECT_EQ(allowed, std::set<std::string>(names.begin(), names.end()));
    EXPECT_EQ(allowed.size(), names.size());
}

TEST_F(ExportsTest, ImportsOnlySystemDllsAndTheFourDriverFunctionsByName) {
    const std::set<std::string> driverFunctions = {"Tma4drv_DLL_Version", "TV_Initialize", "TV_Disable",
                                                   "TV_GetEvent"};
    std::set<std::string> fromDriver;
    const HMODULE plugin = LoadedPlugin().Module();
    std::vector<pe::ImportedModule> imports;
    ASSERT_TRUE(pe::PeImage::Loaded(plugin).Imports(imports));
    for (const pe::ImportedModule& module : imports) {
        if (Lower(module.Dll) != "tma4drv.dll") {
            EXPECT_TRUE(InSystemDirectory(module.Dll)) << module.Dll << " is not a system DLL";
            continue;
        }
        EXPECT_FALSE(module.Delayed) << "the driver must be imported at load time";
        for (const pe::ImportedFunction& f : module.Functions) {
            EXPECT_FALSE(f.Name.empty()) << "driver function imported by ordinal " << f.Ordinal;
            fromDriver.insert(f.Name);
            // Bound to the driver the loader found beside the plug-in.
            EXPECT_EQ(reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleA("TmA4Drv.dll"), f.Name.c_str())),
                      *reinterpret_cast<const void* const*>(reinterpret_cast<const BYTE*>(plugin) + f.Slot))
                << f.Name;
        }
    }
    // The x64 plug-in reaches the 32-bit driver through its companion.
    EXPECT_EQ(sizeof(void*) == 4 ? driverFunctions : std::set<std::string>{}, fromDriver);
}

// The size the benchmark reports for a stripped release. The test builds
// carry debug information, in sections with long names ("/4" in the header).
TEST(PeImage, TheSizeWithoutDebugInformationLeavesOutTheDebugSections) {
    const std::string file = ReadBytes(platform::ExecutableDirectory() + "Orvale8.dll");
    const std::size_t stripped = pe::PeImage(file).SizeWithoutDebugInfo();
    EXPECT_GT(stripped, 100000u);
    EXPECT_LT(stripped, file.size() / 2) << "debug sections counted";
    EXPECT_EQ(0u, pe::PeImage(std::string_view(file).substr(0, 600)).SizeWithoutDebugInfo());  // its section table cut short
}

TEST_F(ExportsTest, LoadsWithoutTheDriverBesideItOnlyOnX64) {
    PrivateHostDir withDriver, withoutDriver;
    ASSERT_TRUE(withDriver.CopyFromBin("Orvale8.dll") && withDriver.CopyFromBin("TmA4Drv.dll"));
    ASSERT_TRUE(withoutDriver.CopyFromBin("Orvale8.dll"));
    EXPECT_EQ(0, ProbeLoadIn(withDriver, "Orvale8.dll"));
    // The x64 plug-in loads it in its companion, at the first open.
    EXPECT_EQ(sizeof(void*) == 4 ? ERROR_MOD_NOT_FOUND : 0, ProbeLoadIn(withoutDriver, "Orvale8.dll"));
}

TEST_F(ExportsTest, InitCallbackExReturnsMinusOneAndRemovesItsArgumentsWhateverItIsGiven) {
    const void* initCallbackEx = reinterpret_cast<const void*>(Device().InitCallbackEx);
    const std::int32_t garbage = 0x00000001;  // never called: the device stays closed
    const std::vector<std::pair<std::int32_t, std::int32_t>> calls = {
        {0, 0},
        {kHostData, static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(recorder::First))},
        {INT_MIN, garbage},
        {INT_MAX, -1},
        {-1, static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(recorder::Second))},
        {42, 0},
    };
    for (const auto& [data, callback] : calls) {
        const std::int32_t args[] = {data, callback};
        std::int32_t result = 0;
        EXPECT_EQ(0, StackDeltaOfCall(initCallbackEx, args, 2, result)) << "InitCallbackEx is not stdcall";
        EXPECT_EQ(OV_TRUE, result) << "data " << data << ", callback " << callback;
    }
    EXPECT_EQ(0u, recorder::Count());
}

TEST_F(ExportsTest, GetLastErrorIsOneFixedAddressWithAnEmptyText) {
    const char* const first = Device().GetLastError();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ('\0', first[0]);
    const auto expectSame = [&](const char* when) {
        const char* now = Device().GetLastError();
        EXPECT_EQ(first, now) << when;
        if (now) {
            EXPECT_STREQ("", now) << when;
        }
    };
    OpenDevice();
    expectSame("after InitDevice");
    ASSERT_TRUE(PumpUntilPolls(2));
    expectSame("while polling");
    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    expectSame("after CloseDevice");
    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    expectSame("after a second CloseDevice");
}

TEST_F(ExportsTest, OpeningPassesTheDriverOneFixedReadOnlyTextOf22Characters) {
    OpenDevice();
    EXPECT_EQ(OV_TRUE, Device().InitDevice());
    EXPECT_EQ(OV_TRUE, Device().CloseDevice());
    const std::vector<simdrv::LogEntry> versions = sim.Calls(simdrv::fnVersion);
    ASSERT_EQ(2u, versions.size());
    for (const simdrv::LogEntry& v : versions) {
        EXPECT_EQ(22, v.TextLength) << v.Text;
        EXPECT_EQ(0, v.TextWritable) << "the driver could write to the text";
        EXPECT_STREQ(versions[0].Text, v.Text);
    }
}

}  // namespace
}  // namespace ovtest
