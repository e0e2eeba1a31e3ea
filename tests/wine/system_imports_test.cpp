// Every binary we ship loads on Windows XP SP3: the loader there refuses a
// binary that imports a function its system DLLs lack, whatever the code
// would have done with it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/HostPath.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PeImage_win32.h"
#include "tests/support/ScratchDir.h"
#include "tests/wine/support/WindowsImports.h"

namespace ovtest {
namespace {

// The plug-in, the simulated box, the tracing driver and the bench.
const std::vector<std::string> kShippedBinaries = {"Orvale8.dll", "TmA4Drv.dll", "TmA4DrvTrace.dll", "ovhost.exe"};
// Not the system's: the voice box's driver, which the plug-in imports.
const char* const kDriverDll = "tma4drv.dll";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::vector<ImportedModule> FileImports(const std::string& binary) {
    std::vector<ImportedModule> imports;
    EXPECT_TRUE(ImportsOfFile(ReadBytes(platform::ExecutableDirectory() + binary), imports))
        << binary << " is not a PE file";
    return imports;
}

TEST(SystemImports, NoShippedBinaryImportsAFunctionNewerThanWindowsXpSp3) {
    std::map<std::pair<std::string, std::string>, Windows> known;
    for (const KnownImport& k : KnownImports()) known[{k.Dll, k.Function}] = k.Oldest;
    for (const std::string& binary : kShippedBinaries) {
        SCOPED_TRACE(binary);
        std::size_t checked = 0;
        for (const ImportedModule& module : FileImports(binary)) {
            const std::string dll = Lower(module.Dll);
            if (dll == kDriverDll) continue;
            for (const ImportedFunction& f : module.Functions) {
                ++checked;
                const auto entry = known.find({dll, f.Name});
                if (f.Name.empty()) {
                    ADD_FAILURE() << dll << " ordinal " << f.Ordinal << ": system functions are imported by name";
                } else if (entry == known.end()) {
                    ADD_FAILURE() << dll << "!" << f.Name << " is not in tests/wine/support/WindowsImports.cpp: add it "
                                  << "with the oldest Windows its documentation names";
                } else {
                    EXPECT_TRUE(entry->second <= kOldestWindows)
                        << dll << "!" << f.Name << " needs " << NameOf(entry->second);
                }
            }
        }
        EXPECT_GT(checked, 10u) << "the import table was not read";
    }
}

TEST(SystemImports, EveryShippedBinaryNamesWindowsXpAsTheSystemItNeeds) {
    for (const std::string& binary : kShippedBinaries) {
        ImageVersions versions;
        ASSERT_TRUE(VersionsOfFile(ReadBytes(platform::ExecutableDirectory() + binary), versions)) << binary;
        EXPECT_EQ(5, versions.SubsystemMajor) << binary;
        EXPECT_EQ(1, versions.SubsystemMinor) << binary;
        EXPECT_EQ(5, versions.OsMajor) << binary;
        EXPECT_EQ(1, versions.OsMinor) << binary;
    }
}

// The file reader above sees what the loader sees, or the first test could
// pass on an empty reading.
TEST(SystemImports, TheFileReaderFindsTheImportsTheLoaderBound) {
    const HMODULE plugin = LoadLibraryA((platform::ExecutableDirectory() + "Orvale8.dll").c_str());
    ASSERT_NE(nullptr, plugin);
    std::vector<std::pair<std::string, std::string>> loaded, read;
    for (const ImportedModule& module : ImportsOf(plugin))
        for (const ImportedFunction& f : module.Functions) loaded.emplace_back(Lower(module.Dll), f.Name);
    FreeLibrary(plugin);
    for (const ImportedModule& module : FileImports("Orvale8.dll"))
        for (const ImportedFunction& f : module.Functions) read.emplace_back(Lower(module.Dll), f.Name);
    EXPECT_GT(read.size(), 50u);
    EXPECT_EQ(loaded, read);
    // A file cut inside its import table is refused, not read past its end.
    const std::string file = ReadBytes(platform::ExecutableDirectory() + "Orvale8.dll");
    std::vector<ImportedModule> imports;
    EXPECT_FALSE(ImportsOfFile(file.substr(0, 1024), imports));
}

}  // namespace
}  // namespace ovtest
