// ovhost --check on host folders: a sound one, and the broken ones a support
// engineer meets. Each broken folder must give its own error and no other.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Handles_win32.h"
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

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    return static_cast<bool>(out << bytes);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct CheckRun {
    unsigned long ExitCode = 99;
    std::string Output;
    std::vector<std::string> Errors;  // the error lines, without their verdict
};

class InstallCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ovtest::ExpectAnsiCodePage();
        ASSERT_TRUE(dir_.CopyFromBin("Orvale8.dll") && dir_.CopyFromBin("TmA4Drv.dll"));
        ASSERT_TRUE(WriteBytes(dir_.Path() + "kdwusr70.ini", kEnglishSettings));
        ASSERT_TRUE(WriteBytes(dir_.Path() + "Orvale7.lng", kCompleteLanguageFile));
    }
    void TearDown() override { SetFileAttributesA(Path("Orvale7.lng").c_str(), FILE_ATTRIBUTE_NORMAL); }

    std::string Path(const char* file) const { return dir_.Path() + file; }

    // The folder given as "C:\dir\", as a support engineer types it.
    CheckRun Check() const {
        const auto run = ovtest::RunProgram("\"" + ovtest::ProgramDirectory() + "ovhost.exe\" --check \"" +
                                                dir_.Path() + "\"",
                                            dir_.Path(), 60000);
        CheckRun check;
        EXPECT_TRUE(run.Started && !run.TimedOut);
        check.ExitCode = run.ExitCode;
        check.Output = run.Output;
        std::istringstream lines(run.Output);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("error   ", 0) == 0) check.Errors.push_back(line.substr(8));
        return check;
    }

    PrivateHostDir dir_;
};

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

TEST_F(InstallCheck, ASoundFolderPasses) {
    const CheckRun run = Check();
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_TRUE(run.Errors.empty()) << run.Output;
    for (const char* finding :
         {"ok      TmA4Drv.dll loads and has its four functions", "ok      Orvale8.dll 8.0.0.0 loads",
          "ok      kdwusr70.ini selects English", "ok      Orvale7.lng is 8-bit text",
          "ok      Orvale7.lng has every text of the dialog"})
        EXPECT_NE(run.Output.find(finding), std::string::npos) << finding << "\n" << run.Output;
}

TEST_F(InstallCheck, DriverMissing) {
    ASSERT_TRUE(DeleteFileA(Path("TmA4Drv.dll").c_str()));
    const CheckRun run = Check();
    EXPECT_EQ(run.ExitCode, 1u) << run.Output;
    ASSERT_EQ(run.Errors.size(), 2u) << run.Output;
    EXPECT_TRUE(StartsWith(run.Errors[0], "TmA4Drv.dll not found")) << run.Output;
    EXPECT_TRUE(StartsWith(run.Errors[1], "Orvale8.dll does not load")) << run.Output;
}

// The simulated driver with one export's name changed in its export table.
TEST_F(InstallCheck, DriverWithoutAFunction) {
    std::string image = ReadBytes(Path("TmA4Drv.dll"));
    const std::string name("TV_Disable\0", 11);
    std::size_t renamed = 0;
    for (std::size_t at = image.find(name); at != std::string::npos; at = image.find(name, at + 1), ++renamed)
        image[at + 9] = 'X';  // "TV_DisablX" keeps the names in sorted order
    ASSERT_GT(renamed, 0u);
    ASSERT_TRUE(WriteBytes(Path("TmA4Drv.dll"), image));
    const CheckRun run = Check();
    EXPECT_EQ(run.ExitCode, 1u) << run.Output;
    ASSERT_EQ(run.Errors.size(), 2u) << run.Output;
    EXPECT_TRUE(StartsWith(run.Errors[0], "TmA4Drv.dll lacks the function TV_Disable")) << run.Output;
    EXPECT_TRUE(StartsWith(run.Errors[1], "Orvale8.dll does not load")) << run.Output;
}

TEST_F(InstallCheck, EnglishWithoutALanguageFile) {
    ASSERT_TRUE(DeleteFileA(Path("Orvale7.lng").c_str()));
    const CheckRun run = Check();
    EXPECT_EQ(run.ExitCode, 1u) << run.Output;
    ASSERT_EQ(run.Errors.size(), 1u) << run.Output;
    EXPECT_TRUE(StartsWith(run.Errors[0], "the host is set to English but Orvale7.lng is missing")) << run.Output;
}

// Held open by another program that shares nothing.
TEST_F(InstallCheck, UnreadableLanguageFile) {
    const platform::UniqueHandle held(
        CreateFileA(Path("Orvale7.lng").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    const CheckRun run = Check();
    EXPECT_EQ(run.ExitCode, 1u) << run.Output;
    ASSERT_EQ(run.Errors.size(), 1u) << run.Output;
    EXPECT_TRUE(StartsWith(run.Errors[0], "Orvale7.lng cannot be read")) << run.Output;
}

// Notepad's "Unicode": read in its encoding, so every key is still found.
TEST_F(InstallCheck, UnicodeLanguageFile) {
    std::string utf16 = "\xFF\xFE";
    for (const char* c = kCompleteLanguageFile; *c; ++c) utf16 += std::string{*c, '\0'};
    ASSERT_TRUE(WriteBytes(Path("Orvale7.lng"), utf16));
    const CheckRun run = Check();
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_TRUE(run.Errors.empty()) << run.Output;
    EXPECT_NE(run.Output.find("warning Orvale7.lng is saved as Unicode (UTF-16LE)"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("ok      Orvale7.lng has every text of the dialog"), std::string::npos) << run.Output;
}

// Complete, a read-only file only warns; lacking a text it cannot add, it fails.
TEST_F(InstallCheck, ReadOnlyLanguageFile) {
    ASSERT_TRUE(SetFileAttributesA(Path("Orvale7.lng").c_str(), FILE_ATTRIBUTE_READONLY));
    CheckRun run = Check();
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_NE(run.Output.find("warning Orvale7.lng is read-only"), std::string::npos) << run.Output;

    ASSERT_TRUE(SetFileAttributesA(Path("Orvale7.lng").c_str(), FILE_ATTRIBUTE_NORMAL));
    std::string lacking = kCompleteLanguageFile;
    lacking.erase(lacking.find("btnOk.Caption"));
    ASSERT_TRUE(WriteBytes(Path("Orvale7.lng"), lacking));
    ASSERT_TRUE(SetFileAttributesA(Path("Orvale7.lng").c_str(), FILE_ATTRIBUTE_READONLY));
    run = Check();
    EXPECT_EQ(run.ExitCode, 1u) << run.Output;
    ASSERT_EQ(run.Errors.size(), 1u) << run.Output;
    EXPECT_TRUE(StartsWith(run.Errors[0], "Orvale7.lng lacks btnOk.Caption in section [TPropertyForm] and the "
                                          "plug-in cannot add them"))
        << run.Output;
}

}  // namespace
