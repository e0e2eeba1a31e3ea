// The property dialog in the host's English mode, from host directories of
// the test's own: the keys the first showing writes into the language file,
// a later showing that only reads them, the English file the project ships,
// folders the ANSI code page cannot spell or of 300 characters, and another
// writer holding the file's lock. Each showing runs in a copy of this program
// in that directory, which is where the plug-in looks for its files; the
// working directory is elsewhere.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/ini/FileLock.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/TextConvert.h"
#include "tests/support/CodePage.h"
#include "tests/support/DialogWatcher.h"
#include "tests/support/HostDir.h"
#include "tests/support/Plugin.h"
#include "tests/support/TestSystemFunctions_win32.h"

namespace ovtest {
namespace {

constexpr char kChildVariable[] = "OV_DIALOG_CHILD";

// The child: shows the dialog once, prints its caption, label and button
// texts (UTF-8, one a line), the result, pressing OK, and the milliseconds
// from the call to the dialog on screen. Exit code 0 when the plug-in loaded
// and the dialog was seen.
const bool childRan = [] {
    if (!std::getenv(kChildVariable)) return false;
    Plugin plugin;
    if (!plugin.Load()) ExitProcess(10);
    const DWORD called = GetTickCount();
    DWORD shown = called;
    DialogWatcher watcher(GetCurrentThreadId(), DialogAction::ClickOk, [&](DialogView&) { shown = GetTickCount(); });
    const OV_BOOL32 result = plugin.Device().ShowProperties(nullptr);
    const DialogView& view = watcher.View();
    std::printf("%s\n%s\n%s\n%d\n%lu\n", platform::Utf8FromWide(view.Caption).c_str(),
                platform::Utf8FromWide(view.Label).c_str(), platform::Utf8FromWide(view.Button).c_str(), int(result),
                static_cast<unsigned long>(shown - called));
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
    if (source[0] == '/') return "Z:" + source;
    // A compiler cache may pass the path relative to the build directory,
    // two folders above this program's (build/win32/bin).
    return platform::ExecutableDirectory() + "..\\" + source;
}

struct Shown {
    std::vector<std::string> Lines;  // caption, label, button, result
    unsigned long MsToDialog = 0;
    bool Ran = false;
};

// A host directory with the plug-in, the simulated driver, a copy of this
// program (named `program` when given) and the host's settings file with
// `language` as its code; in `folder` (UTF-8) inside a scratch directory when
// given, and then in a folder inside that one making its path `length`
// characters long when that is given.
class EnglishHost {
public:
    explicit EnglishHost(const std::string& language, const std::string& folder = std::string(),
                         const std::string& program = std::string(), std::size_t length = 0)
        : path_(Padded(dir_.Path() + (folder.empty() ? folder : folder + "\\"), length)),
          program_(program.empty() ? ProgramName() : program) {
        ok_ = MakeDirectories(path_);
        for (const std::string& f : {std::string("Orvale8.dll"), std::string("TmA4Drv.dll")})
            ok_ = ok_ && CopyFileBytes(platform::ExecutableDirectory() + f, path_ + f);
        ok_ = ok_ && CopyFileBytes(platform::ExecutableDirectory() + ProgramName(), path_ + program_);
        if (ok_) WriteBytes(path_ + "kdwusr70.ini", "[语言设置]\r\n系统语言=" + language + "\r\n");
    }
    bool Ready() const { return ok_ && dir_.Created(); }
    const std::string& Path() const { return path_; }
    std::string LanguageFile() const { return path_ + "Orvale7.lng"; }

    Shown ShowDialog() const {
        Shown shown;
        const ProgramRun run = RunProgram("\"" + path_ + program_ + "\"", dir_.Path(), 60000,
                                          {std::string(kChildVariable) + "=1"});
        shown.Ran = run.Succeeded();
        shown.Lines = run.Lines();
        if (shown.Lines.size() == 5) {
            shown.MsToDialog = std::stoul(shown.Lines.back());
            shown.Lines.pop_back();
        }
        return shown;
    }

private:
    static std::string Padded(const std::string& path, std::size_t length) {
        const std::size_t size = platform::WideFromUtf8(path).size();
        return length > size + 1 ? path + std::string(length - size - 1, 'd') + "\\" : path;
    }

    PrivateHostDir dir_;
    const std::string path_;
    const std::string program_;
    bool ok_ = true;
};

// Chinese and Thai: code page 1252 cannot spell the first, 936 (GBK) the
// second, so one name serves both runs.
const std::string kUnspellable = platform::Utf8FromWide(L"\u5E97\u94FA \u0E23\u0E49\u0E32\u0E19");

// The dialog's English texts without its three hints, which a showing adds.
const char kEnglishWithoutHints[] =
    "[TPropertyForm]\r\nCaption=Voice Box Settings\r\nLabel1.Caption=(No settings available)\r\n"
    "btnOk.Caption=&OK\r\n";

std::vector<std::string> Expected(const char* caption, const char* label, const char* button) {
    return {platform::GbkToUtf8(caption), platform::GbkToUtf8(label), platform::GbkToUtf8(button), "-1"};
}

// The Unix name Wine gives a Windows path; empty when there is none.
std::string UnixName(const std::string& path) {
    const auto unixName = ovtest::Dynwine_get_unix_file_name();
    char* unix = unixName ? unixName(platform::WideFromUtf8(path).c_str()) : nullptr;
    const std::string name = unix ? unix : "";
    if (unix) HeapFree(GetProcessHeap(), 0, unix);
    return name;
}

// A Unix symbolic link, as a shop's administrator makes one on a Linux
// machine that runs the host under Wine: the system call symlink(2), made
// from this 32-bit Linux process.
bool MakeUnixLink(const std::string& target, const std::string& link) {
    const std::string from = UnixName(target), to = UnixName(link);
    if (from.empty() || to.empty()) return false;
    long result;
    const long symlink = 83;
    __asm__ volatile("int $0x80" : "=a"(result) : "a"(symlink), "b"(from.c_str()), "c"(to.c_str()) : "memory");
    return result == 0;
}

class DialogLanguage : public ::testing::Test {
protected:
    void SetUp() override { ExpectAnsiCodePage(); }
};

// Also when the language file is a Unix symbolic link, which Wine shows
// without the reparse-point attribute: the link stays a link.
TEST_F(DialogLanguage, FirstShowingWritesEveryKeyInOrderTheNextOnlyReads) {
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "a symbolic link" : "a file");
        EnglishHost host("EN");
        ASSERT_TRUE(host.Ready());
        const std::string target = linked ? host.Path() + "shared.lng" : host.LanguageFile();
        WriteBytes(target, "");
        if (linked) {
            ASSERT_TRUE(MakeUnixLink(target, host.LanguageFile()));
        }

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
                  ReadBytes(target));

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

// Both kinds of folder, and one as deep as a program can be started from:
// Windows and Wine start none whose path is 260 characters or more, so the
// host is "h.exe" in a folder of 254, and the paths of its settings file,
// language file and the language file's temporary are 265 to 280 characters
// long. The settings and the language file are found, read and written.
// (translate_setting_test takes a folder of over 300 characters.)
TEST_F(DialogLanguage, AHostFolderTheCodePageCannotSpellOrOverTheOldPathLimit) {
    for (const bool deep : {false, true}) {
        const std::string folder = kUnspellable;
        EnglishHost host("EN", folder, deep ? "h.exe" : "", deep ? 254 : 0);
        ASSERT_TRUE(host.Ready()) << host.Path();
        if (deep) {
            ASSERT_EQ(platform::WideFromUtf8(host.Path()).size(), 254u);
        }
        WriteBytes(host.LanguageFile(), kEnglishWithoutHints);
        const Shown shown = host.ShowDialog();
        ASSERT_TRUE(shown.Ran) << host.Path();
        EXPECT_EQ(Expected("Voice Box Settings", "(No settings available)", "&OK"), shown.Lines) << host.Path();
        EXPECT_EQ(kEnglishWithoutHints + std::string("Hint=\r\nLabel1.Hint=\r\nbtnOk.Hint=\r\n"),
                  ReadBytes(host.LanguageFile()))
            << host.Path();
    }
}

// Another process holds the language file's lock, as a copy of the plug-in
// that hung while writing would: the dialog waits for it once, 2 s at most,
// shows the translation the file holds, and writes none of the keys it lacks.
TEST_F(DialogLanguage, ALockHeldElsewhereHoldsTheDialogUpOnceAndNothingIsWritten) {
    EnglishHost host("EN");
    ASSERT_TRUE(host.Ready());
    WriteBytes(host.LanguageFile(), kEnglishWithoutHints);
    std::promise<bool> locked;
    std::promise<void> release;
    std::thread holder([&, path = host.LanguageFile()] {
        const platform::TFileLock lock(path, 1000);
        locked.set_value(lock.Held());
        release.get_future().wait();
    });
    const bool held = locked.get_future().get();
    const Shown shown = held ? host.ShowDialog() : Shown();
    release.set_value();
    holder.join();
    ASSERT_TRUE(held);
    ASSERT_TRUE(shown.Ran);
    EXPECT_EQ(Expected("Voice Box Settings", "(No settings available)", "&OK"), shown.Lines);
    std::printf("the dialog was up %lu ms after the call, the lock held elsewhere\n", shown.MsToDialog);
    EXPECT_LT(shown.MsToDialog, 4000u);
    EXPECT_EQ(kEnglishWithoutHints, ReadBytes(host.LanguageFile()));
}

}  // namespace
}  // namespace ovtest
