// TIniFile on disk: exact bytes, held writes, other programs' changes, and
// files that cannot be written left exactly as they were.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/IniFile.h"
#include "tests/support/ScratchDir.h"

#ifdef _WIN32
#include <windows.h>
#endif

using platform::TIniFile;
using ovtest::ReadBytes;
using ovtest::WriteBytes;

namespace {

using Names = std::vector<std::string>;

}  // namespace

TEST(IniFileWrite, CreatesTheFileWithExactBytesAndLeavesNoTemporaryFile) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("new.ini");
    TIniFile ini(path);
    EXPECT_FALSE(ini.ValueExists("s", "k"));
    EXPECT_EQ(ini.ReadString("s", "k", "dflt"), "dflt");
    ASSERT_TRUE(ini.WriteString("s", "k", "v"));
    ASSERT_TRUE(ini.WriteString("s", "e", ""));
    ASSERT_TRUE(ini.WriteString("t", "k", "two\r\nlines"));
    EXPECT_EQ(ReadBytes(path), "<missing>");  // held until UpdateFile
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\ne=\r\n[t]\r\nk=two\\nlines\r\n");
    EXPECT_EQ(dir.Entries(), Names{"new.ini"});
    EXPECT_TRUE(ini.ValueExists("S", "E"));
    EXPECT_EQ(ini.ReadString("S", "E", "dflt"), "");
}

TEST(IniFileWrite, ChangesOnlyWhatIsWritten) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("old.ini");
    const std::string before = "; kept\n[a]\nx = 1\n\n[b]\ny=\"2\"\n";
    WriteBytes(path, before);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("B", "Y", ""), "2");
    ini.WriteString("a", "z", "3");
    ini.WriteString("b", "y", "4");
    ini.WriteString("c", "w", "5");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "; kept\n[a]\nx = 1\nz=3\r\n\n[b]\ny=4\r\n[c]\r\nw=5\r\n");
}

TEST(IniFileWrite, ARelativeNameIsTakenFromTheWorkingDirectory) {
    ovtest::ScratchDir dir;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    {
        TIniFile ini("relative.ini");
        ini.WriteString("s", "k", "1");
        EXPECT_TRUE(ini.UpdateFile());
        ini.WriteString("s", "k", "2");  // now replacing an existing file
        EXPECT_TRUE(ini.UpdateFile());
    }
    std::filesystem::current_path(previous);
    EXPECT_EQ(ReadBytes(dir.File("relative.ini")), "[s]\r\nk=2\r\n");
    EXPECT_EQ(dir.Entries(), Names{"relative.ini"});
}

TEST(IniFileWrite, DestructorWritesWhatWasHeld) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("held.ini");
    {
        TIniFile ini(path);
        ini.WriteString("s", "k", "v");
    }
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\n");
}

TEST(IniFileChanges, AnotherProgramsChangeIsSeenAtTheNextRead) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("shared.ini");
    WriteBytes(path, "[s]\r\nk=1\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("s", "k", ""), "1");
    WriteBytes(path, "[s]\r\nk=22\r\n");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "22");
    // Same size, written in place once the clock has moved on.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    WriteBytes(path, "[s]\r\nk=33\r\n");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "33");
    std::remove(path.c_str());
    EXPECT_FALSE(ini.ValueExists("s", "k"));
}

TEST(IniFileChanges, HeldWritesGoOnTopOfAnotherProgramsChange) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("shared.ini");
    WriteBytes(path, "[s]\r\na=1\r\n");
    TIniFile ini(path);
    ini.WriteString("s", "mine", "m");
    WriteBytes(path, "[s]\r\na=1\r\ntheirs=t\r\n");
    EXPECT_EQ(ini.ReadString("s", "theirs", ""), "t");
    EXPECT_EQ(ini.ReadString("s", "mine", ""), "m");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\na=1\r\ntheirs=t\r\nmine=m\r\n");
}

TEST(IniFileFailures, AReadOnlyFileIsLeftAsItWasAndTheWriteDropped) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("ro.ini");
    WriteBytes(path, "[s]\nk=1\n");
    ovtest::SetReadOnly(path, true);
    TIniFile ini(path);
    ini.WriteString("s", "k", "2");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "2");
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\nk=1\n");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "1");
    EXPECT_EQ(dir.Entries(), Names{"ro.ini"});
    // Writable again: the next write goes through.
    ovtest::SetReadOnly(path, false);
    ini.WriteString("s", "k", "3");
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\nk=3\r\n");
}

TEST(IniFileFailures, ADirectoryOrAMissingFolderIsNeverWritten) {
    ovtest::ScratchDir dir;
    ovtest::ScratchDir inner;
    const std::string asDir = inner.Path().substr(0, inner.Path().size() - 1);
    TIniFile onDir(asDir);
    EXPECT_FALSE(onDir.ValueExists("s", "k"));
    onDir.WriteString("s", "k", "v");
    EXPECT_FALSE(onDir.UpdateFile());
    EXPECT_TRUE(inner.Entries().empty());

    TIniFile nowhere(dir.File("no-such-folder/x.ini"));
    nowhere.WriteString("s", "k", "v");
    EXPECT_FALSE(nowhere.UpdateFile());
    EXPECT_TRUE(dir.Entries().empty());
}

#ifdef _WIN32
TEST(IniFileFailures, AFileLockedByAnotherProgramIsNeverOverwritten) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("locked.ini");
    WriteBytes(path, "[s]\r\nk=1\r\n");
    TIniFile ini(path);
    HANDLE lock = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    // Unread, the file's keys are unknown: writing would lose them.
    ini.WriteString("s", "new", "2");
    EXPECT_FALSE(ini.UpdateFile());
    ::CloseHandle(lock);
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\n");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "1");
    EXPECT_FALSE(ini.ValueExists("s", "new"));
    ini.WriteString("s", "new", "2");
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\nnew=2\r\n");
}
#endif
