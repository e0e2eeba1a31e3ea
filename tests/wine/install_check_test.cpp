// ovhost --check on host folders: a sound one, and the broken ones a support
// engineer meets. Each broken folder must give its own error and no other.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Handles_win32.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/WidePath_win32.h"
#include "tests/wine/support/CodePage.h"
#include "tests/wine/support/HostDir.h"
#include "tests/wine/support/Plugin.h"

namespace {

using ovtest::PrivateHostDir;

// The settings selecting English; names in code page 936 (the sources are
// compiled to GBK).
const char kEnglishSettings[] = "[语言设置]\r\n系统语言=EN\r\n";
const char kCompleteLanguageFile[] =
    "[TPropertyForm]\r\nCaption=Voice Box Settings\r\nHint=\r\nLabel1.Hint=\r\n"
    "Label1.Caption=(No settings available)\r\nbtnOk.Hint=\r\nbtnOk.Caption=&OK\r\n";

class InstallCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ovtest::ExpectAnsiCodePage();
        ASSERT_TRUE(dir_.CopyFromBin("Orvale8.dll") && dir_.CopyFromBin("TmA4Drv.dll"));
        ovtest::WriteBytes(dir_.Path() + "kdwusr70.ini", kEnglishSettings);
        ovtest::WriteBytes(dir_.Path() + "Orvale7.lng", kCompleteLanguageFile);
    }
    void TearDown() override { SetFileAttributesA(Path("Orvale7.lng").c_str(), FILE_ATTRIBUTE_NORMAL); }

    std::string Path(const char* file) const { return dir_.Path() + file; }

    // Checks the folder, given as "C:\dir\" as a support engineer types it,
    // and expects exactly the errors that start with `errors`, in order, and
    // the exit code that goes with them; returns what it printed.
    std::string Check(const std::vector<std::string>& errors = {}) const {
        const auto run = ovtest::RunProgram("\"" + ovtest::ProgramDirectory() + "ovhost.exe\" --check \"" +
                                                dir_.Path() + "\"",
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

TEST_F(InstallCheck, ASoundFolderPasses) {
    const std::string output = Check();
    for (const char* finding :
         {"ok      TmA4Drv.dll loads and has its four functions", "ok      Orvale8.dll 8.0.0.0 loads",
          "ok      kdwusr70.ini selects English", "ok      Orvale7.lng is 8-bit text",
          "ok      Orvale7.lng has every text of the dialog"})
        EXPECT_NE(output.find(finding), std::string::npos) << finding << "\n" << output;
}

TEST_F(InstallCheck, DriverMissing) {
    ASSERT_TRUE(DeleteFileA(Path("TmA4Drv.dll").c_str()));
    Check({"TmA4Drv.dll not found", "Orvale8.dll does not load"});
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
    Check({"TmA4Drv.dll lacks the function TV_Disable", "Orvale8.dll does not load"});
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

// Chinese and Thai: code page 1252 cannot spell the first, 936 (GBK) the
// second. The folder is checked when named, and as the bench's own folder
// when not.
TEST_F(InstallCheck, AFolderTheCodePageCannotSpell) {
    const std::string folder = dir_.Path() + ovtest::Utf8Text(L"\u5E97\u94FA \u0E23\u0E49\u0E32\u0E19\\");
    ASSERT_TRUE(ovtest::MakeDirectories(folder));
    for (const char* file : {"Orvale8.dll", "TmA4Drv.dll", "kdwusr70.ini", "Orvale7.lng"})
        ASSERT_TRUE(ovtest::CopyFileBytes(Path(file), folder + file));
    ASSERT_TRUE(ovtest::CopyFileBytes(ovtest::ProgramDirectory() + "ovhost.exe", folder + "ovhost.exe"));
    for (const std::string& command : {"\"" + ovtest::ProgramDirectory() + "ovhost.exe\" --check \"" + folder + "\"",
                                       "\"" + folder + "ovhost.exe\" --check"}) {
        const auto run = ovtest::RunProgram(command, dir_.Path(), 60000);
        EXPECT_EQ(run.ExitCode, 0u) << command << "\n" << run.Output;
        const std::vector<std::string> lines = run.Lines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), "ovhost: checking " + folder), lines.end()) << run.Output;
        EXPECT_NE(run.Output.find("ok      kdwusr70.ini selects English"), std::string::npos) << run.Output;
        EXPECT_NE(run.Output.find("ok      Orvale7.lng has every text of the dialog"), std::string::npos) << run.Output;
    }
}

}  // namespace
