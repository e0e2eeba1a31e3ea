// The 64-bit millisecond count that shipped binaries get in place of the
// system's GetTickCount64, which Windows XP lacks.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/runtime/TickCount64.h"

#if defined(_WIN32)
#include <windows.h>

#include "platform/runtime/SystemFunctions_win32.h"
#include "tools/pe/PeImage.h"

// Hidden by the build's _WIN32_WINNT (XP); the import goes to our stand-in.
extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64();
#endif

using platform::ExtendTickCount;

namespace {

// A host PC that runs for months: the 32-bit count wraps every 49.7 days.
TEST(TickCount64, ExtendsTheWrappingCountAcrossWrapsWithoutGoingBack) {
    EXPECT_EQ(12345u, ExtendTickCount(0, 12345));
    EXPECT_EQ(0x100000100ull, ExtendTickCount(0xFFFFFF00ull, 0x100));
    EXPECT_EQ(0x200000005ull, ExtendTickCount(0x1FFFFFFF0ull, 5));
    // Calls a day, then almost 25 days, apart over three wraps.
    std::uint64_t truth = 0xFFFF0000ull - 86400000ull, newest = 0;
    for (const std::uint64_t step : {86400000ull, 2147483000ull}) {
        for (int i = 0; i < 12; ++i) {
            truth += step;
            const std::uint64_t next = ExtendTickCount(newest, static_cast<std::uint32_t>(truth));
            ASSERT_GE(next, newest) << "went back at " << truth;
            if (newest) {
                ASSERT_EQ(step, next - newest) << "at " << truth;
            }
            newest = next;
        }
    }
    EXPECT_EQ(static_cast<std::uint32_t>(truth), static_cast<std::uint32_t>(newest));
    EXPECT_GE(newest >> 32, 3u);
}

#if defined(_WIN32)

// Where the system has GetTickCount64 (Vista on, and Wine), the stand-in
// this program imports it through hands on the system's own count.
TEST(TickCount64, TheStandInIsLinkedInsteadOfTheImportAndAgreesWithTheSystem) {
    std::vector<pe::ImportedModule> imports;
    ASSERT_TRUE(pe::PeImage::Loaded(GetModuleHandleA(nullptr)).Imports(imports));
    for (const pe::ImportedModule& module : imports)
        for (const pe::ImportedFunction& f : module.Functions) EXPECT_NE("GetTickCount64", f.Name) << module.Dll;
    const auto system = platform::DynGetTickCount64();
    ASSERT_NE(nullptr, system);
    const ULONGLONG before = system(), ours = GetTickCount64(), after = system();
    EXPECT_LE(before, ours);
    EXPECT_LE(ours, after);
}

#endif

}  // namespace
