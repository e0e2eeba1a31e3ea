// The property dialog in the host's English mode, from host directories of
// the test's own: the keys the first showing writes into the language file,
// a later showing that only reads them, and the English file the project
// ships. Each showing runs in a copy of this program started in that
// directory, which is where the plug-in looks for its files.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/wine/DialogWatcher.h"
#include "tests/wine/support/CodePage.h"
#include "tests/wine/support/HostDir.h"
#include "tests/wine/support/Plugin.h"

namespace ovtest {
namespace {

constexpr char kChildVariable[] = "OV_DIALOG_CHILD";

// The child: shows the dialog once, prints its caption, label and button
// texts (UTF-8, one a line) and the result, pressing OK. Exit code 0 when
// the plug-in loaded and the dialog was seen.
const bool childRan = [] {
    if (!std::getenv(kChildVariable)) return false;
    Plugin plugin;
    if (!plugin.Load()) ExitProcess(10);
    DialogWatcher watcher(GetCurrentThreadId(), DialogAction::ClickOk);
    const OV_BOOL32 result = plugin.Device().ShowProperties(nullptr);
    const DialogView& view = watcher.View();
    std::printf("%s\n%s\n%s\n%d\n", Utf8(view.Caption).c_str(), Utf8(view.Label).c_str(),
                Utf8(view.Button).c_str(), int(result));
    std::fflush(stdout);
    plugin.Unload();
    ExitProcess(view.Found ? 0 : 12);
}();

// The file the project ships, found from this source file's place.
std::string ShippedLanguageFile() {
    std::string source = __FILE__;
    const std::string tail = "tests/wine/dialog_language_test.cpp";
    source = source.substr(0, source.size() - tail.size()) + "ui/Orvale7.lng";
    // The build passes Unix paths; Wine reaches them through drive Z:.
    return source[0] == '/' ? "Z:" + source : source;
}

struct Shown {
    std::vector<std::string> Lines;  // caption, label, button, result
    bool Ran = false;
};

// A host directory with the plug-in, the simulated driver, a copy of this
// program and the host's settings file with `language` as its code.
class EnglishHost {
public:
    explicit EnglishHost(const std::string& language) {
        for (const char* f : {"Orvale8.dll", "TmA4Drv.dll"}) ok_ &= dir_.CopyFromBin(f);
        ok_ &= dir_.CopyFromBin(ProgramName());
        WriteBytes(dir_.Path() + "kdwusr70.ini", "[语言设置]\r\n系统语言=" + language + "\r\n");
    }
    bool Ready() const { return ok_ && dir_.Created(); }
    std::string LanguageFile() const { return dir_.Path() + "Orvale7.lng"; }

    Shown ShowDialog() const {
        Shown shown;
        const ProgramRun run = RunProgram("\"" + dir_.Path() + ProgramName() + "\"", dir_.Path(), 60000,
                                          {std::string(kChildVariable) + "=1"});
        shown.Ran = run.Succeeded();
        shown.Lines = run.Lines();
        return shown;
    }

private:
    static std::string ProgramName() {
        char path[MAX_PATH];
        const std::string full(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
        return full.substr(full.find_last_of("\\/") + 1);
    }

    PrivateHostDir dir_;
    bool ok_ = true;
};

std::vector<std::string> Expected(const char* caption, const char* label, const char* button) {
    return {Utf8(Wide936(caption)), Utf8(Wide936(label)), Utf8(Wide936(button)), "-1"};
}

class DialogLanguage : public ::testing::Test {
protected:
    void SetUp() override { ExpectAnsiCodePage(); }
};

TEST_F(DialogLanguage, FirstShowingWritesEveryKeyInOrderTheNextOnlyReads) {
    EnglishHost host("EN");
    ASSERT_TRUE(host.Ready());
    WriteBytes(host.LanguageFile(), "");

    const Shown first = host.ShowDialog();
    ASSERT_TRUE(first.Ran);
    EXPECT_EQ(Expected("语音盒参数设置", "（无可用的参数）", "确定(&O)"), first.Lines);
    EXPECT_EQ("[TPropertyForm]\r\n"
              "Caption=语音盒参数设置\r\n"
              "Hint=\r\n"
              "Label1.Hint=\r\n"
              "Label1.Caption=（无可用的参数）\r\n"
              "btnOk.Hint=\r\n"
              "btnOk.Caption=确定(&O)\r\n",
              ReadBytes(host.LanguageFile()));

    // Texts of our own in place of the written ones: the next showing must
    // take them, and must write nothing.
    const std::string edited = "[TPropertyForm]\r\n"
                               "Caption=Edited caption\r\n"
                               "Hint=\r\n"
                               "Label1.Hint=\r\n"
                               "Label1.Caption=Edited label\r\n"
                               "btnOk.Hint=\r\n"
                               "btnOk.Caption=Edited &button\r\n";
    WriteBytes(host.LanguageFile(), edited);
    const Shown second = host.ShowDialog();
    ASSERT_TRUE(second.Ran);
    EXPECT_EQ(Expected("Edited caption", "Edited label", "Edited &button"), second.Lines);
    EXPECT_EQ(edited, ReadBytes(host.LanguageFile()));
}

TEST_F(DialogLanguage, TheShippedEnglishFileGivesAnEnglishDialog) {
    EnglishHost host("EN");
    ASSERT_TRUE(host.Ready());
    const std::string shipped = ReadBytes(ShippedLanguageFile());
    ASSERT_FALSE(shipped.empty()) << ShippedLanguageFile();
    WriteBytes(host.LanguageFile(), shipped);

    const Shown shown = host.ShowDialog();
    ASSERT_TRUE(shown.Ran);
    EXPECT_EQ(Expected("Voice Box Settings", "(No settings available)", "&OK"), shown.Lines);
    EXPECT_EQ(shipped, ReadBytes(host.LanguageFile())) << "the shipped file lacks a key the dialog uses";
}

TEST_F(DialogLanguage, AnyOtherLanguageCodeKeepsTheDesignedTextsAndWritesNothing) {
    for (const char* code : {"en", "CN", "En"}) {
        EnglishHost host(code);
        ASSERT_TRUE(host.Ready());
        WriteBytes(host.LanguageFile(), "");
        const Shown shown = host.ShowDialog();
        ASSERT_TRUE(shown.Ran) << code;
        EXPECT_EQ(Expected("语音盒参数设置", "（无可用的参数）", "确定(&O)"), shown.Lines) << code;
        EXPECT_EQ("", ReadBytes(host.LanguageFile())) << code;
    }
}

}  // namespace
}  // namespace ovtest
