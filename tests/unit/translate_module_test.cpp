// The translator as the library uses it: one instance found through
// GetTranslator, files from the host's directory, freed at module shutdown.
// The host directory is the program's own, so the checks run in a copy of
// this program placed in a private directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDir.h"
#include "ui/unitTranslate.h"

namespace {

const char* const HostVariable = "OV_TRANSLATE_AS_HOST";

// What the library's start-up, one form and the shutdown do, run in the copy.
int RunAsHost() {
    TTranslator& t = GetTranslator();
    if (&GetTranslator() != &t) return 2;
    if (unitTranslate::SettingsFileName() != "kdwusr70.ini") return 3;
    t.LoadLanguageFile(platform::ExecutableDirectory() + "Orvale7.lng");
    platform::TForm form(nullptr);
    form.Caption = "窗体";
    t.TranslateForm(form);
    unitTranslate::Finalize();
    return unitTranslate::SettingsFileName().empty() ? 0 : 4;
}

struct HostMode {
    HostMode() {
        if (std::getenv(HostVariable)) std::_Exit(RunAsHost());
    }
} hostMode;

}  // namespace

TEST(TranslatorModule, ExecutableDirectoryIsTheProgramsOwnWithItsSeparator) {
    const std::string dir = platform::ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(dir.back() == '/' || dir.back() == '\\');
    EXPECT_EQ(platform::ExecutablePath().substr(0, dir.size()), dir);
    EXPECT_TRUE(platform::FileExists(platform::ExecutablePath()));
    EXPECT_EQ(platform::ExecutablePath().find_first_of("\\/", dir.size()), std::string::npos);
}

TEST(TranslatorModule, FinalizeFreesTheTranslatorAndClearsTheSettingsName) {
    // This program's directory has no settings file.
    TTranslator& first = GetTranslator();
    EXPECT_EQ(first.Language(), "CN");
    EXPECT_EQ(&GetTranslator(), &first);
    EXPECT_EQ(unitTranslate::SettingsFileName(), "kdwusr70.ini");
    unitTranslate::Finalize();
    EXPECT_EQ(unitTranslate::SettingsFileName(), "");
    EXPECT_EQ(GetTranslator().Language(), "CN");
    unitTranslate::Finalize();
}

TEST(TranslatorModule, AHostReadsAndWritesTheFilesBesideItsExecutable) {
    ovtest::ScratchDir dir;
    const std::string self = platform::ExecutablePath();
    const std::string copy = dir.File(ovtest::ProgramName());
    ASSERT_TRUE(ovtest::CopyFileBytes(self, copy));
#ifndef _WIN32
    ASSERT_EQ(std::system(("chmod +x '" + copy + "'").c_str()), 0);
#endif
    ovtest::WriteBytes(dir.File("kdwusr70.ini"), "[语言设置]\r\n系统语言=EN\r\n");
    ovtest::WriteBytes(dir.File("Orvale7.lng"), "");
    ovtest::ChildProcess host(copy, {std::string(HostVariable) + "=1"});
    ASSERT_TRUE(host.Started());
    EXPECT_EQ(host.Wait(60000), 0);
    EXPECT_EQ(ovtest::ReadBytes(dir.File("Orvale7.lng")), "[TForm]\r\nCaption=窗体\r\nHint=\r\n");
}
