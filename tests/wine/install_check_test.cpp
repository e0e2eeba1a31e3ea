// ovhost --check on host folders: a sound one, and the broken ones a support
// engineer meets. Each broken folder must give its own error and no other.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/TextConvert.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/CodePage.h"
#include "tests/support/HostDir.h"
#include "tests/support/Plugin.h"

namespace {

using ovtest::PrivateHostDir;

// The settings selecting English; names in code page 936 (the sources are
// compiled to GBK).
const char kEnglishSettings[] = "[语言设置]\r\n系统语言=EN\r\n";
const char kCompleteLanguageFile[] =
    "[TPropertyForm]\r\nCaption=Voice Box Settings\r\nHint=\r\nLabel1.Hint=\r\n"
    "Label1.Caption=(No settings available)\r\nbtnOk.Hint=\r\nbtnOk.Caption=&OK\r\n";

#ifdef _WIN64
// The 64-bit plug-in runs the 32-bit driver in its companion, and loads
// without it; the 64-bit bench reads that driver from its file.
const std::vector<const char*> kPluginFiles = {"Orvale8.dll", "TmA4Drv.dll", "Orvale8Drv32.exe"};
const char kDriverSound[] = "ok      TmA4Drv.dll is a 32-bit DLL and has its four functions";
const std::vector<std::string> kNoPlugin = {};
const char kMissingImport[] = "TmA4Drv.dll cannot load: it needs ";
#else
const std::vector<const char*> kPluginFiles = {"Orvale8.dll", "TmA4Drv.dll"};
const char kDriverSound[] = "ok      TmA4Drv.dll loads and has its four functions";
const std::vector<std::string> kNoPlugin = {"Orvale8.dll does not load without a complete TmA4Drv.dll"};
const char kMissingImport[] = "TmA4Drv.dll does not load (error 126): it needs ";
#endif

// The driver's error, and the plug-in's that follows from it in a 32-bit host.
std::vector<std::string> DriverErrors(const std::string& driver) {
    std::vector<std::string> errors = {driver};
    errors.insert(errors.end(), kNoPlugin.begin(), kNoPlugin.end());
    return errors;
}

std::string SystemFolder32() {
    char folder[MAX_PATH] = {};
#ifdef _WIN64
    EXPECT_GT(GetSystemWow64DirectoryA(folder, MAX_PATH), 0u);
#else
    EXPECT_GT(GetSystemDirectoryA(folder, MAX_PATH), 0u);
#endif
    return std::string(folder) + "\\";
}

// The files of the fixture's folder, to copy it whole.
std::vector<std::string> FolderFiles() {
    std::vector<std::string> files(kPluginFiles.begin(), kPluginFiles.end());
    files.insert(files.end(), {"kdwusr70.ini", "Orvale7.lng"});
    return files;
}

class InstallCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ovtest::ExpectAnsiCodePage();
        for (const char* file : kPluginFiles) ASSERT_TRUE(dir_.CopyFromBin(file)) << file;
        ovtest::WriteBytes(dir_.Path() + "kdwusr70.ini", kEnglishSettings);
        ovtest::WriteBytes(dir_.Path() + "Orvale7.lng", kCompleteLanguageFile);
    }
    void TearDown() override { SetFileAttributesA(Path("Orvale7.lng").c_str(), FILE_ATTRIBUTE_NORMAL); }

    std::string Path(const char* file) const { return dir_.Path() + file; }

    // Checks the folder, given as "C:\dir\" as a support engineer types it
    // (or the program `named` in it), and expects exactly the errors that
    // start with `errors`, in order, and the exit code that goes with them;
    // returns what it printed.
    std::string Check(const std::vector<std::string>& errors = {}, const std::string& named = "") const {
        const auto run = ovtest::RunProgram("\"" + platform::ExecutableDirectory() + "ovhost.exe\" --check \"" +
                                                dir_.Path() + named + "\"",
                                            dir_.Path(), 60000);
        EXPECT_TRUE(run.Started && !run.TimedOut);
        std::vector<std::string> found;  // the error lines, without their verdict
        for (const std::string& line : run.Lines())
            if (line.rfind("error   ", 0) == 0) found.push_back(line.substr(8));
        EXPECT_EQ(run.ExitCode, errors.empty() ? 0u : 1u) << run.Output;
        EXPECT_EQ(found.size(), errors.size()) << run.Output;
        for (std::size_t i = 0; i < errors.size() && i < found.size(); ++i)
            EXPECT_EQ(found[i].rfind(errors[i], 0), 0u) << errors[i] << "\n" << run.Output;
        return run.Output;
    }

    PrivateHostDir dir_;
};

// The finding's line as printed, verdict first, when it is in `output`.
void ExpectFinding(const std::string& output, const std::string& line) {
    EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
}

// The check tries the plug-in's own write on the language file, which
// leaves its bytes as they were.
TEST_F(InstallCheck, ASoundFolderPasses) {
    const std::string language = ovtest::ReadBytes(Path("Orvale7.lng"));
    const std::string output = Check();
    EXPECT_EQ(ovtest::ReadBytes(Path("Orvale7.lng")), language);
    for (const char* finding :
         {kDriverSound, "ok      Orvale8.dll " OV_VERSION ".0 loads",
          "ok      kdwusr70.ini selects English", "ok      Orvale7.lng is 8-bit text",
          "ok      Orvale7.lng has every text of the dialog"})
        EXPECT_NE(output.find(finding), std::string::npos) << finding << "\n" << output;
}

TEST_F(InstallCheck, DriverMissing) {
    ASSERT_TRUE(DeleteFileA(Path("TmA4Drv.dll").c_str()));
    Check(DriverErrors("TmA4Drv.dll not found"));

    // On the DLL search path the host's loader finds it: where, is said.
    ASSERT_TRUE(ovtest::MakeDirectories(Path("drivers\\")) && dir_.CopyFromBin("TmA4Drv.dll", "drivers\\TmA4Drv.dll"));
    char path[32768] = {};
    GetEnvironmentVariableA("PATH", path, sizeof path);
    ASSERT_TRUE(SetEnvironmentVariableA("PATH", (Path("drivers") + ";" + path).c_str()));
    const std::string output = Check();
    SetEnvironmentVariableA("PATH", path);
    ExpectFinding(output, "warning TmA4Drv.dll is not in " + dir_.Path() + " but on the DLL search path, at " +
                              Path("drivers\\TmA4Drv.dll") + ": the host loads it from there");
}

// The simulated driver with one export's name changed in its export table.
TEST_F(InstallCheck, DriverWithoutAFunction) {
    std::string image = ovtest::ReadBytes(Path("TmA4Drv.dll"));
    const std::string name("TV_Disable\0", 11);
    std::size_t renamed = 0;
    for (std::size_t at = image.find(name); at != std::string::npos; at = image.find(name, at + 1), ++renamed)
        image[at + 9] = 'X';  // "TV_DisablX" keeps the names in sorted order
    ASSERT_GT(renamed, 0u);
    ovtest::WriteBytes(Path("TmA4Drv.dll"), image);
    Check(DriverErrors("TmA4Drv.dll lacks the function TV_Disable"));
}

TEST_F(InstallCheck, EnglishWithoutALanguageFile) {
    ASSERT_TRUE(DeleteFileA(Path("Orvale7.lng").c_str()));
    Check({"the host is set to English but Orvale7.lng is missing"});
}

// Held open by another program that shares nothing.
TEST_F(InstallCheck, UnreadableLanguageFile) {
    const platform::UniqueHandle held(
        CreateFileA(Path("Orvale7.lng").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    Check({"Orvale7.lng cannot be read"});
}

// The tracing driver with nothing behind it opens the device and never rings:
// an error, not a pass; with the vendor's driver behind it, only a reminder.
TEST_F(InstallCheck, TracingDriverWithoutTheVendorDriver) {
    ASSERT_TRUE(dir_.CopyFromBin("TmA4DrvTrace.dll", "TmA4Drv.dll"));
    const std::string output =
        Check({"TmA4Drv.dll is the tracing driver, and the vendor's driver behind it is not usable "
               "(TmA4Drv_vendor.dll not found): the device opens but no ring ever reaches the host; rename the "
               "vendor's driver to TmA4Drv_vendor.dll beside it"});
    EXPECT_EQ(output.find("warning the tracing driver is installed"), std::string::npos) << output;

    ASSERT_TRUE(dir_.CopyFromBin("TmA4Drv.dll", "TmA4Drv_vendor.dll"));
    ExpectFinding(Check(), "warning the tracing driver is installed (TmA4Drv_vendor.dll behind it)");

    // The version shown is the vendor's, behind the tracing driver's own.
    ASSERT_TRUE(dir_.CopyFromBin("stub_driver_old.dll", "TmA4Drv_vendor.dll"));
    const std::string old = Check();
    ExpectFinding(old, "ok      TmA4Drv.dll is the tracing driver, its version text: " OV_VERSION ".0");
    ExpectFinding(old, "ok      the vendor's driver behind it, TmA4Drv_vendor.dll, version text: 1.0.0.2");

    // Installed twice over, it would forward each call to itself.
    ASSERT_TRUE(dir_.CopyFromBin("TmA4DrvTrace.dll", "TmA4Drv_vendor.dll"));
    Check({"TmA4Drv_vendor.dll is itself a copy of the tracing driver (the install steps run twice): the tracing "
           "driver would call itself until the host crashes; copy the vendor's TmA4Drv.dll over TmA4Drv_vendor.dll"});
}

// Where the file data of the last section ends: the end of a released DLL,
// whose symbols are stripped. Read here apart from the bench's PE reader,
// which a fault of that reader would otherwise pass.
std::size_t SectionsEnd(const std::string& image) {
    IMAGE_DOS_HEADER dos{};
    IMAGE_FILE_HEADER file{};
    std::memcpy(&dos, image.data(), sizeof dos);
    std::memcpy(&file, image.data() + dos.e_lfanew + 4, sizeof file);
    const std::size_t table = dos.e_lfanew + 4 + sizeof file + file.SizeOfOptionalHeader;
    std::size_t end = 0;
    for (WORD i = 0; i < file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section{};
        std::memcpy(&section, image.data() + table + i * sizeof section, sizeof section);
        end = std::max<std::size_t>(end, section.PointerToRawData + section.SizeOfRawData);
    }
    return end;
}

// The broken file is named, not the sound driver beside it.
TEST_F(InstallCheck, TruncatedFiles) {
    const std::string image = ovtest::ReadBytes(Path("Orvale8.dll"));
    // Cut in the middle, and one byte short of its last section.
    for (const std::size_t size : {image.size() / 2, SectionsEnd(image) - 1}) {
        ovtest::WriteBytes(Path("Orvale8.dll"), image.substr(0, size));
        const std::string output = Check({"Orvale8.dll is broken, it is cut short: " + std::to_string(size) +
                                          " bytes where its sections need"});
        ExpectFinding(output, "replace it with the released file");
        ExpectFinding(output, kDriverSound);
        EXPECT_EQ(output.find("see above"), std::string::npos) << output;
    }

    // And the driver cut short is named as broken, not merely as not loading.
    ovtest::WriteBytes(Path("Orvale8.dll"), image);
    const std::string driver = ovtest::ReadBytes(Path("TmA4Drv.dll"));
    ovtest::WriteBytes(Path("TmA4Drv.dll"), driver.substr(0, driver.size() / 2));
    Check(DriverErrors("TmA4Drv.dll is broken, it is cut short"));
}

// Some other DLL under the driver's name: one error naming every missing
// function, and nothing more of that DLL is reported (no version as "ok").
TEST_F(InstallCheck, AnotherDllUnderTheDriversName) {
    ovtest::WriteBytes(Path("TmA4Drv.dll"), ovtest::ReadBytes(SystemFolder32() + "version.dll"));
    const std::string output =
        Check(DriverErrors("TmA4Drv.dll lacks the functions Tma4drv_DLL_Version, TV_Initialize, TV_Disable and "
                           "TV_GetEvent: it is not the voice box driver"));
    EXPECT_EQ(output.find("TmA4Drv.dll version text"), std::string::npos) << output;
    EXPECT_EQ(output.find("TmA4Drv.dll carries no version"), std::string::npos) << output;
}

// Every occurrence of `from` in the file replaced by `to`, of its length;
// how many there were.
std::size_t Patch(const std::string& path, const std::string& from, const std::string& to) {
    std::string bytes = ovtest::ReadBytes(path);
    std::size_t count = 0;
    for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 1), ++count)
        bytes.replace(at, from.size(), to);
    ovtest::WriteBytes(path, bytes);
    return count;
}

std::string Utf16(const std::string& ascii) {
    std::string wide;
    for (char c : ascii) wide += std::string{c, '\0'};
    return wide;
}

// Folders with one fault each, as technicians met them: the finding must name
// the fault and what to do, not only that something does not load.
TEST_F(InstallCheck, FoldersWithOneFault) {
    const std::string driver = Path("TmA4Drv.dll");
    struct Fault {
        std::function<bool()> make;
        std::vector<std::string> errors;
        std::string finding;  // a line of the output, verdict first; empty when the errors say it all
        std::string absent;   // advice that would mislead here
    };
    const Fault faults[] = {
        {[&] { return dir_.CopyFromBin("stub_driver_decorated.dll", "TmA4Drv.dll"); },
         DriverErrors("TmA4Drv.dll exports Tma4drv_DLL_Version@4, TV_Initialize@0, TV_Disable@0 and TV_GetEvent@4: "
                      "the names are there but decorated"), "", "reinstall"},
        {[&] { return Patch(driver, "msvcrt.dll", "ovgone.dll") > 0; },
         DriverErrors(kMissingImport + std::string("ovgone.dll, which is neither beside it nor on the DLL search path")),
         "", ""},
        // The machine field after the signature: x86-64. Whoever loads it,
        // a 32-bit host or the companion, is 32-bit.
        {[&] { return Patch(driver, std::string("PE\0\0\x4c\x01", 6), std::string("PE\0\0\x64\x86", 6)) == 1; },
         DriverErrors(sizeof(void*) == 8 ? "TmA4Drv.dll is a 64-bit DLL, which Orvale8Drv32.exe, which runs it for "
                                           "the 64-bit plug-in, cannot load"
                                         : "TmA4Drv.dll is a 64-bit DLL, which a 32-bit host cannot load"), "", ""},
        {[&] { return ovtest::WriteBytes(driver, "TV_Initialize\r\n"), true; },
         DriverErrors("TmA4Drv.dll is not a Windows DLL at all"), "", ""},
        {[&] { return Patch(Path("Orvale8.dll"), Utf16(OV_VERSION ".0"), Utf16("7.5.0.0")) > 0; },
         {}, "warning Orvale8.dll is version 7.5.0.0, these tools are version " OV_VERSION ".0", ""},
        {[&] { return ovtest::WriteBytes(Path("kdwusr70.ini"), kEnglishSettings + std::string("[语言设置]\r\n系统语言=CN\r\n")), true; },
         {}, "warning kdwusr70.ini has section [\xe8\xaf\xad\xe8\xa8\x80\xe8\xae\xbe\xe7\xbd\xae] 2 times: the "
             "plug-in reads the one at line 1 and ignores the one at line 3; merge them", ""},
        {[&] { return ovtest::WriteBytes(Path("Orvale7.lng"), "[TPropertyForm]\r\nCaption=Settings\r\n\r\n" + std::string(kCompleteLanguageFile)), true; },
         {}, "warning Orvale7.lng has section [TPropertyForm] 2 times: the plug-in reads the one at line 1 and "
             "ignores the one at line 4; merge them", "translate them then"},
    };
    for (const Fault& fault : faults) {
        for (const char* file : kPluginFiles) ASSERT_TRUE(dir_.CopyFromBin(file)) << file;
        ovtest::WriteBytes(Path("kdwusr70.ini"), kEnglishSettings);
        ovtest::WriteBytes(Path("Orvale7.lng"), kCompleteLanguageFile);
        ASSERT_TRUE(fault.make());
        const std::string output = Check(fault.errors);
        if (!fault.finding.empty()) ExpectFinding(output, fault.finding);
        if (!fault.absent.empty()) {
            EXPECT_EQ(output.find(fault.absent), std::string::npos) << output;
        }
    }
}

// The host's processor, its program's named or found in the folder, against
// the plug-in's: the plug-in of the other processor is the fault named. The
// check takes a program's processor from its header, so the 32-bit build
// makes a 64-bit host of a copy of a 32-bit program.
TEST_F(InstallCheck, TheHostsProcessorAgainstThePlugins) {
    const std::string x86(std::string("PE\0\0\x4c\x01", 6)), x64(std::string("PE\0\0\x64\x86", 6));
#ifdef _WIN64
    const auto other = [&] { return dir_.CopyFromBin("Orvale8Drv32.exe", "other.exe"); };
    const std::string mismatch = "Orvale8.dll is the 64-bit plug-in, and the host is 32-bit: a 32-bit program "
                                 "cannot load a 64-bit DLL";
#else
    const auto other = [&] { return dir_.CopyFromBin("ovhost.exe", "other.exe") && Patch(Path("other.exe"), x86, x64) == 1; };
    const std::string mismatch = "Orvale8.dll is the 32-bit plug-in, and the host is 64-bit: a 64-bit program "
                                 "cannot load a 32-bit DLL";
#endif
    const auto own = [&] { return dir_.CopyFromBin("ovhost.exe", "shop.exe"); };
    struct Row {
        std::function<bool()> make;
        std::string named;  // the program given instead of the folder
        std::vector<std::string> errors;
        std::string finding;
    };
    const std::vector<Row> rows = {
        {own, "", {}, std::string("ok      shop.exe is a ") + (sizeof(void*) == 8 ? "64" : "32") + "-bit program"},
        {other, "", {mismatch}, ""},
        {[&] { return own() && other(); }, "", {}, "warning the folder holds 32-bit programs ("},
        {[&] { return own() && other(); }, "other.exe", {mismatch}, ""},
#ifdef _WIN64
        {[&] { return DeleteFileA(Path("Orvale8Drv32.exe").c_str()) != 0; }, "",
         {"Orvale8Drv32.exe not found beside Orvale8.dll: the 64-bit plug-in runs the vendor's 32-bit driver in it"}, ""},
        {[&] { return Patch(Path("Orvale8Drv32.exe"), x86, x64) == 1; }, "",
         {"Orvale8Drv32.exe is a 64-bit program, which cannot load the vendor's 32-bit TmA4Drv.dll"}, ""},
        // A 32-bit host's folder, looked over by the 64-bit bench.
        {[&] { return ovtest::CopyFileBytes(OV_WIN32_BIN "Orvale8.dll", Path("Orvale8.dll")); }, "", {},
         "ok      Orvale8.dll " OV_VERSION ".0 has its five functions (read from its file"},
#endif
    };
    for (const Row& row : rows) {
        for (const char* file : kPluginFiles) ASSERT_TRUE(dir_.CopyFromBin(file)) << file;
        DeleteFileA(Path("shop.exe").c_str());
        DeleteFileA(Path("other.exe").c_str());
        ASSERT_TRUE(row.make());
        const std::string output = Check(row.errors, row.named);
        if (!row.finding.empty()) ExpectFinding(output, row.finding);
    }
}

TEST_F(InstallCheck, DebugFileInAShopFolder) {
    ovtest::WriteBytes(Path("Orvale8.dll.debug"), "debug sections");
    ExpectFinding(Check(), "warning Orvale8.dll.debug is installed: it is the debug information for reading crash "
                           "reports, of no use to the host; delete it here");
}

// ovhost --where with the debug information beside it (the unstripped
// plug-in holds the same): each offset of a list is answered in its place,
// an address at the preferred base is read as base plus offset, and a
// function the line table lacks is named without a line.
TEST(CrashWhere, EveryOffsetOfAList) {
    PrivateHostDir dir;
    ASSERT_TRUE(dir.CopyFromBin("ovhost.exe") && dir.CopyFromBin("Orvale8.dll", "Orvale8.dll.debug"));
    const std::string image = ovtest::ReadBytes(dir.File("Orvale8.dll.debug"));
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS32 nt{};
    IMAGE_NT_HEADERS64 nt64{};  // the x64 build's: an eight-byte base (read apart from the bench's reader)
    std::memcpy(&dos, image.data(), sizeof dos);
    std::memcpy(&nt, image.data() + dos.e_lfanew, sizeof nt);
    std::memcpy(&nt64, image.data() + dos.e_lfanew, sizeof nt64);
    const unsigned long long base =
        nt.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? nt64.OptionalHeader.ImageBase : nt.OptionalHeader.ImageBase;
    char entry[24], address[24];
    std::snprintf(entry, sizeof entry, "0x%lx", nt.OptionalHeader.AddressOfEntryPoint);
    std::snprintf(address, sizeof address, "0x%llx", base + nt.OptionalHeader.AddressOfEntryPoint);
    const auto where = [&dir](const std::string& list, std::vector<std::string>& answers) {
        const auto run = ovtest::RunProgram("\"" + dir.File("ovhost.exe") + "\" --where " + list, dir.Path(), 60000);
        EXPECT_TRUE(run.Started && !run.TimedOut);
        answers.clear();
        for (const std::string& line : run.Lines())
            if (line.rfind("ovhost: ", 0) != 0) answers.push_back(line);
        return run;
    };
    std::vector<std::string> answers;
    const auto run = where(std::string(entry) + "," + address + ",0,zz", answers);
    EXPECT_EQ(run.ExitCode, 1u) << run.Output;
    ASSERT_EQ(answers.size(), 8u) << run.Output;
    EXPECT_NE(answers[0], "??");
    EXPECT_NE(answers[1].find_last_of(':'), std::string::npos);
    EXPECT_EQ(answers[1].find_first_not_of("0123456789", answers[1].find_last_of(':') + 1), std::string::npos);
    EXPECT_EQ(std::vector<std::string>(answers.begin() + 2, answers.end()),
              (std::vector<std::string>{answers[0], answers[1], "??", "??:0", "??", "??:0"}));
    ExpectFinding(run.Output, "ovhost: " + std::string(address) + " is an address: read as the preferred base");
    ExpectFinding(run.Output, "ovhost: 0x0: outside Orvale8.dll's code");
    ExpectFinding(run.Output, "ovhost: 'zz' is no offset");

    // Without its line table the functions are still known: no failure.
    ASSERT_GT(Patch(dir.File("Orvale8.dll.debug"), std::string(".debug_line\0", 12), std::string(".debug_lin_\0", 12)), 0u);
    const std::string function = answers[0];
    EXPECT_EQ(where(entry, answers).ExitCode, 0u);
    EXPECT_EQ(answers, (std::vector<std::string>{function, "no line information"}));
}

// A folder whose name the ANSI code page spells in bytes that are not UTF-8
// (GBK under 936, Latin-1 under 1252): the path in the findings comes out
// in UTF-8 like the rest, so the output is one encoding throughout. (The
// support library's command lines are UTF-8.)
TEST_F(InstallCheck, OneEncodingForPathsAndFindings) {
    const std::wstring wideFolder = std::wstring(dir_.Path().begin(), dir_.Path().end()) + L"caf\u00e9";
    ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
    const std::wstring from(dir_.Path().begin(), dir_.Path().end());
    for (const std::string& file : FolderFiles())
        ASSERT_TRUE(CopyFileW((from + platform::WideFromUtf8(file)).c_str(),
                              (wideFolder + L"\\" + platform::WideFromUtf8(file)).c_str(), FALSE));
    const auto run = ovtest::RunProgram(
        "\"" + platform::ExecutableDirectory() + "ovhost.exe\" --check \"" + dir_.Path() + "caf\xc3\xa9\"", dir_.Path(),
        60000);
    ASSERT_TRUE(run.Started && !run.TimedOut);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    ExpectFinding(run.Output, "ovhost: checking " + dir_.Path() + "caf\xc3\xa9\\");
    ExpectFinding(run.Output, "ok      kdwusr70.ini selects English ([\xe8\xaf\xad\xe8\xa8\x80\xe8\xae\xbe\xe7\xbd\xae]");
    EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, run.Output.data(), static_cast<int>(run.Output.size()),
                                  nullptr, 0),
              0)
        << "not UTF-8 throughout: " << run.Output;
    for (const std::string& file : FolderFiles()) DeleteFileW((wideFolder + L"\\" + platform::WideFromUtf8(file)).c_str());
    RemoveDirectoryW(wideFolder.c_str());
}

// Notepad's "Unicode": read in its encoding, so every key is still found.
TEST_F(InstallCheck, UnicodeLanguageFile) {
    std::string utf16 = "\xFF\xFE";
    for (const char* c = kCompleteLanguageFile; *c; ++c) utf16 += std::string{*c, '\0'};
    ovtest::WriteBytes(Path("Orvale7.lng"), utf16);
    // The settings too: the plug-in reads them as English, and so must the check.
    const std::wstring settings = L"\uFEFF[\u8BED\u8A00\u8BBE\u7F6E]\r\n\u7CFB\u7EDF\u8BED\u8A00=EN\r\n";
    ovtest::WriteBytes(Path("kdwusr70.ini"), std::string(reinterpret_cast<const char*>(settings.data()),
                                                         settings.size() * sizeof(wchar_t)));
    const std::string output = Check();
    EXPECT_NE(output.find("ok      kdwusr70.ini selects English"), std::string::npos) << output;
    EXPECT_NE(output.find("warning Orvale7.lng is saved as Unicode (UTF-16LE)"), std::string::npos) << output;
    EXPECT_NE(output.find("ok      Orvale7.lng has every text of the dialog"), std::string::npos) << output;
}

// Complete, a read-only file only warns; lacking a text it cannot add, it fails.
TEST_F(InstallCheck, ReadOnlyLanguageFile) {
    ASSERT_TRUE(SetFileAttributesA(Path("Orvale7.lng").c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string output = Check();
    EXPECT_NE(output.find("warning Orvale7.lng is read-only"), std::string::npos) << output;

    ASSERT_TRUE(SetFileAttributesA(Path("Orvale7.lng").c_str(), FILE_ATTRIBUTE_NORMAL));
    std::string lacking = kCompleteLanguageFile;
    lacking.erase(lacking.find("btnOk.Caption"));
    ovtest::WriteBytes(Path("Orvale7.lng"), lacking);
    ASSERT_TRUE(SetFileAttributesA(Path("Orvale7.lng").c_str(), FILE_ATTRIBUTE_READONLY));
    Check({"Orvale7.lng lacks btnOk.Caption in section [TPropertyForm] and the plug-in cannot add them"});
}

// The texts of code page 936 in the forms Notepad saves; mark: with the
// byte-order mark.
std::string Utf16Le(const std::string& text, bool mark) {
    return (mark ? "\xFF\xFE" : "") + platform::GbkToUtf16(text);
}
std::string Utf16Be(const std::string& text, bool mark) {
    std::string bytes = platform::GbkToUtf16(text);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return (mark ? "\xFE\xFF" : "") + bytes;
}
std::string Utf8(const std::string& text, bool mark) {
    return (mark ? "\xEF\xBB\xBF" : "") + platform::GbkToUtf8(text);
}

// The settings' encoding as the check sees it, and whether the plug-in reads
// it: a technician who set English in a form the plug-in does not read is told.
TEST_F(InstallCheck, SettingsFileEncodings) {
    struct Form {
        std::string bytes;
        const char* finding;
        bool read;  // the plug-in reads the setting
    };
    const Form forms[] = {
        {kEnglishSettings, "ok      kdwusr70.ini is 8-bit text, which the plug-in reads", true},
        {Utf8(kEnglishSettings, true), "ok      kdwusr70.ini is saved as UTF-8 with a byte-order mark, which the plug-in reads", true},
        {Utf16Le(kEnglishSettings, true), "ok      kdwusr70.ini is saved as Unicode (UTF-16LE), which the plug-in reads", true},
        {Utf16Be(kEnglishSettings, true), "ok      kdwusr70.ini is saved as big-endian Unicode (UTF-16BE), which the plug-in reads", true},
        {Utf8(kEnglishSettings, false), "warning kdwusr70.ini sets English, but it is saved as UTF-8 without a byte-order mark", false},
        {Utf16Le(kEnglishSettings, false), "warning kdwusr70.ini sets English, but it is saved as UTF-16LE without a byte-order mark", false},
        {Utf16Be(kEnglishSettings, false), "warning kdwusr70.ini sets English, but it is saved as UTF-16BE without a byte-order mark", false},
    };
    for (const Form& form : forms) {
        ovtest::WriteBytes(Path("kdwusr70.ini"), form.bytes);
        const std::string output = Check();
        ExpectFinding(output, form.finding);
        if (form.read)
            ExpectFinding(output, "ok      kdwusr70.ini selects English");
        else
            EXPECT_EQ(output.find("selects English"), std::string::npos) << output;
    }
    // Chinese in a form the plug-in does not read is no cause for a warning.
    ovtest::WriteBytes(Path("kdwusr70.ini"), Utf8("[语言设置]\r\n系统语言=CN\r\n", false));
    ExpectFinding(Check(), "ok      kdwusr70.ini is saved as UTF-8 without a byte-order mark: the plug-in reads it as 8-bit");
}

// Notepad's marked encodings: read, so every key is still found, and named.
TEST_F(InstallCheck, MarkedLanguageFiles) {
    for (const auto& file : {std::make_pair(Utf8(kCompleteLanguageFile, true), "UTF-8 with a byte-order mark"),
                             std::make_pair(Utf16Be(kCompleteLanguageFile, true), "big-endian Unicode (UTF-16BE)")}) {
        ovtest::WriteBytes(Path("Orvale7.lng"), file.first);
        const std::string output = Check();
        ExpectFinding(output, std::string("warning Orvale7.lng is saved as ") + file.second);
        ExpectFinding(output, "ok      Orvale7.lng has every text of the dialog");
    }
    // A text the plug-in cannot write back through code page 936: it would
    // never add the missing keys, so they stay Chinese.
    ovtest::WriteBytes(Path("Orvale7.lng"), Utf8("[TPropertyForm]\r\nCaption=", true) + "\xE0\xB8\x81\r\n");
    const std::string output = Check({"Orvale7.lng lacks Hint"});
    ExpectFinding(output, "warning Orvale7.lng holds characters that code page 936 lacks");
}

// Random bytes, or text with no line of the INI form, is no language file;
// the plug-in adds nothing to it.
TEST_F(InstallCheck, LanguageFileThatIsNotText) {
    std::string garbage(4096, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 2654435761u) >> 13);
    ovtest::WriteBytes(Path("Orvale7.lng"), garbage);
    Check({"Orvale7.lng is not text (it holds NUL bytes)"});
    EXPECT_TRUE(ovtest::ReadBytes(Path("Orvale7.lng")) == garbage);
    ovtest::WriteBytes(Path("Orvale7.lng"), "Voice Box Settings\r\n(No settings available)\r\n");
    Check({"Orvale7.lng is not text (no line of it is a section, a key or a comment)"});
}

// Too large for the plug-in, beyond what the check reads, or a folder: the
// reason, not advice to close a program that holds it.
TEST_F(InstallCheck, LanguageFileTooLargeOrAFolder) {
    ovtest::WriteBytes(Path("Orvale7.lng"), kCompleteLanguageFile + std::string(2 << 20, '\n'));
    Check({"Orvale7.lng is 2.0 MB, above the 1.0 MB the plug-in accepts for a language file"});
    ovtest::WriteBytes(Path("Orvale7.lng"), std::string(65 << 20, '\n'));
    Check({"Orvale7.lng is 65.0 MB, above the 1.0 MB"});
    ASSERT_TRUE(DeleteFileA(Path("Orvale7.lng").c_str()));
    ASSERT_TRUE(CreateDirectoryA(Path("Orvale7.lng").c_str(), nullptr));
    Check({"Orvale7.lng is a folder, not a file"});
    RemoveDirectoryA(Path("Orvale7.lng").c_str());
}

// Chinese and Thai: code page 1252 cannot spell the first, 936 (GBK) the
// second. The folder is checked when named, and as the bench's own folder
// when not.
TEST_F(InstallCheck, AFolderTheCodePageCannotSpell) {
    const std::string folder = dir_.Path() + platform::Utf8FromWide(L"\u5E97\u94FA \u0E23\u0E49\u0E32\u0E19\\");
    ASSERT_TRUE(ovtest::MakeDirectories(folder));
    for (const std::string& file : FolderFiles()) ASSERT_TRUE(ovtest::CopyFileBytes(dir_.Path() + file, folder + file));
    const std::string bench = platform::ExecutableDirectory() + "ovhost.exe";
    ASSERT_TRUE(ovtest::CopyFileBytes(bench, folder + "ovhost.exe"));
    for (const std::string& command : {"\"" + bench + "\" --check \"" + folder + "\"", "\"" + folder + "ovhost.exe\" --check"}) {
        const auto run = ovtest::RunProgram(command, dir_.Path(), 60000);
        EXPECT_EQ(run.ExitCode, 0u) << command << "\n" << run.Output;
        const std::vector<std::string> lines = run.Lines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), "ovhost: checking " + folder), lines.end()) << run.Output;
        EXPECT_NE(run.Output.find("ok      kdwusr70.ini selects English"), std::string::npos) << run.Output;
        EXPECT_NE(run.Output.find("ok      Orvale7.lng has every text of the dialog"), std::string::npos) << run.Output;
    }
}

}  // namespace
