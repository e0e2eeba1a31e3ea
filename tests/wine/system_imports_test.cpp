// Every binary we ship loads on Windows XP SP3, and every 64-bit one on
// Windows XP x64: the loader there refuses a binary that imports a function
// its system DLLs lack, whatever the code would have done with it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/SystemFunctions_win32.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/WindowsImports.h"
#include "tools/pe/PeImage.h"

namespace ovtest {
namespace {

// The plug-in, the bench, the driver's 32-bit companion, and the minimal
// host as a vendor builds it from the sample; in the 32-bit build also the
// simulated box and the tracing driver, which stand in for the 32-bit
// vendor's driver.
#ifdef _WIN64
const std::vector<std::string> kShippedBinaries = {"Orvale8.dll", "ovhost.exe", "Orvale8Drv32.exe", "minimal_host.exe"};
#else
const std::vector<std::string> kShippedBinaries = {"Orvale8.dll",      "TmA4Drv.dll",      "TmA4DrvTrace.dll",
                                                   "ovhost.exe",       "Orvale8Drv32.exe", "minimal_host.exe"};
#endif
// The sample's build is the vendor's: its headers' versions are theirs to set.
const char* const kSample = "minimal_host.exe";
// Not the system's: the voice box's driver, and the plug-in the sample imports.
const std::vector<std::string> kOwnDlls = {"tma4drv.dll", "orvale8.dll"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

using pe::ImportedFunction;
using pe::ImportedModule;

std::vector<ImportedModule> FileImports(const std::string& binary) {
    const std::string file = ReadBytes(platform::ExecutableDirectory() + binary);
    std::vector<ImportedModule> imports;
    EXPECT_TRUE(pe::PeImage(file).Imports(imports)) << binary << " is not a PE file";
    return imports;
}

pe::Headers VersionsOf(const std::string& binary) {
    const std::string file = ReadBytes(platform::ExecutableDirectory() + binary);
    const pe::PeImage image(file);
    EXPECT_TRUE(image.Valid()) << binary;
    return image.Header();
}

// Entries as the system function lists declare theirs: one no system has, and
// one of a DLL this program does not load by itself.
OV_SYSTEM_FUNCTION(L"kernel32.dll", NoSuchSystemFunction, void(WINAPI*)())
OV_SYSTEM_FUNCTION(L"msimg32.dll", AlphaBlend, BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION))

// The oldest Windows a binary must load on, by its processor.
Windows OldestFor(const std::string& binary) {
    const WORD machine = VersionsOf(binary).Machine;
    EXPECT_TRUE(machine == IMAGE_FILE_MACHINE_I386 || machine == IMAGE_FILE_MACHINE_AMD64) << binary << ": " << machine;
    return machine == IMAGE_FILE_MACHINE_AMD64 ? kOldestWindows64 : kOldestWindows;
}

TEST(SystemImports, NoShippedBinaryImportsAFunctionNewerThanTheOldestWindowsOfItsProcessor) {
    std::map<std::pair<std::string, std::string>, Windows> known;
    for (const KnownImport& k : KnownImports()) known[{k.Dll, k.Function}] = k.Oldest;
    for (const std::string& binary : kShippedBinaries) {
        SCOPED_TRACE(binary);
        const Windows oldest = OldestFor(binary);
        std::size_t checked = 0;
        for (const ImportedModule& module : FileImports(binary)) {
            const std::string dll = Lower(module.Dll);
            if (std::find(kOwnDlls.begin(), kOwnDlls.end(), dll) != kOwnDlls.end()) continue;
            for (const ImportedFunction& f : module.Functions) {
                ++checked;
                const auto entry = known.find({dll, f.Name});
                if (f.Name.empty()) {
                    ADD_FAILURE() << dll << " ordinal " << f.Ordinal << ": system functions are imported by name";
                } else if (entry == known.end()) {
                    ADD_FAILURE() << dll << "!" << f.Name << " is not in tests/support/WindowsImports.cpp: add it "
                                  << "with the oldest Windows its documentation names";
                } else {
                    EXPECT_TRUE(Includes(oldest, entry->second))
                        << dll << "!" << f.Name << " needs " << NameOf(entry->second) << ", not in " << NameOf(oldest);
                }
            }
        }
        EXPECT_GT(checked, 10u) << "the import table was not read";
    }
}

// 5.1 for a 32-bit binary, 5.2 (XP x64) for a 64-bit one; each is built for
// this build's processor but the companion, which is 32-bit in either.
TEST(SystemImports, EveryShippedBinaryNamesTheOldestWindowsOfItsProcessorAsTheSystemItNeeds) {
    const WORD own = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    for (const std::string& binary : kShippedBinaries) {
        const pe::Headers versions = VersionsOf(binary);
        EXPECT_EQ(binary == "Orvale8Drv32.exe" ? IMAGE_FILE_MACHINE_I386 : own, versions.Machine) << binary;
        if (binary == kSample) continue;
        const WORD minor = versions.Machine == IMAGE_FILE_MACHINE_AMD64 ? 2 : 1;
        EXPECT_EQ(5, versions.SubsystemMajor) << binary;
        EXPECT_EQ(minor, versions.SubsystemMinor) << binary;
        EXPECT_EQ(5, versions.OsMajor) << binary;
        EXPECT_EQ(minor, versions.OsMinor) << binary;
    }
}

// The file reader above sees what the loader sees, or the first test could
// pass on an empty reading.
TEST(SystemImports, TheFileReaderFindsTheImportsTheLoaderBound) {
    const HMODULE plugin = LoadLibraryA((platform::ExecutableDirectory() + "Orvale8.dll").c_str());
    ASSERT_NE(nullptr, plugin);
    std::vector<std::pair<std::string, std::string>> loaded, read;
    std::vector<ImportedModule> imports;
    EXPECT_TRUE(pe::PeImage::Loaded(plugin).Imports(imports));
    for (const ImportedModule& module : imports)
        for (const ImportedFunction& f : module.Functions) loaded.emplace_back(Lower(module.Dll), f.Name);
    FreeLibrary(plugin);
    for (const ImportedModule& module : FileImports("Orvale8.dll"))
        for (const ImportedFunction& f : module.Functions) read.emplace_back(Lower(module.Dll), f.Name);
    EXPECT_GT(read.size(), 50u);
    EXPECT_EQ(loaded, read);
    // A file cut inside its import table is refused, not read past its end.
    const std::string file = ReadBytes(platform::ExecutableDirectory() + "Orvale8.dll");
    EXPECT_FALSE(pe::PeImage(std::string_view(file).substr(0, 1024)).Imports(imports));
}

// A function looked up at run time is null where the system lacks it, and a
// look made before its DLL is loaded does not keep it null once it is.
TEST(SystemImports, ALateBoundFunctionIsNullWhereMissingAndFoundOnceItsDllIsLoaded) {
    EXPECT_EQ(nullptr, DynNoSuchSystemFunction());
    ASSERT_EQ(nullptr, GetModuleHandleW(L"msimg32.dll"));
    EXPECT_EQ(nullptr, DynAlphaBlend());
    const platform::UniqueModule dll(LoadLibraryW(L"msimg32.dll"));
    ASSERT_TRUE(dll);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(dll.Get(), "AlphaBlend")), reinterpret_cast<void*>(DynAlphaBlend()));
    EXPECT_NE(nullptr, DynAlphaBlend());
}

}  // namespace
}  // namespace ovtest
