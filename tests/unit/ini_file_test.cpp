// TIniFile on disk: exact bytes, held writes, other programs' changes, and
// files that cannot be written left exactly as they were.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ini/FileLock.h"
#include "platform/ini/IniFile.h"
#include "tests/support/ScratchDir.h"

#ifdef _WIN32
#include <windows.h>
#endif

using platform::TIniFile;
using ovtest::ReadBytes;
using ovtest::WriteBytes;

namespace {

using Names = std::vector<std::string>;

// UTF-16 after its byte-order mark.
std::string Utf16Bytes(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// The text as Notepad saves "Unicode" (UTF-16LE) and "Unicode big endian".
std::string Utf16File(const std::u16string& text) { return Utf16Bytes(text, false); }
std::string Utf16BeFile(const std::u16string& text) { return Utf16Bytes(text, true); }

// "UTF-8 with BOM".
std::string Utf8File(const std::u16string& text) {
    std::string bytes = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const char32_t full = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
            bytes += {static_cast<char>(0xF0 | full >> 18), static_cast<char>(0x80 | (full >> 12 & 0x3F)),
                      static_cast<char>(0x80 | (full >> 6 & 0x3F)), static_cast<char>(0x80 | (full & 0x3F))};
        } else if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c < 0x800) {
            bytes += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            bytes += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                      static_cast<char>(0x80 | (c & 0x3F))};
        }
    }
    return bytes;
}

// A file in `dir` that holds `bytes`.
std::string FileWith(const ovtest::ScratchDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.File(name);
    WriteBytes(path, bytes);
    return path;
}

// The value the file gives section/key, or "<none>".
std::string Read(TIniFile& ini, const std::string& section, const std::string& key) {
    std::string value;
    return ini.Find(section, key, &value) ? value : "<none>";
}

using FileOf = std::string (*)(const std::u16string&);
const std::pair<const char*, FileOf> kMarkedEncodings[] = {
    {"UTF-8", Utf8File}, {"UTF-16LE", Utf16File}, {"UTF-16BE", Utf16BeFile}};

}  // namespace

TEST(IniFileWrite, CreatesTheFileWithExactBytesAndLeavesNoTemporaryFile) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("new.ini");
    TIniFile ini(path);
    EXPECT_FALSE(ini.Find("s", "k", nullptr));
    EXPECT_EQ(Read(ini, "s", "k"), "<none>");
    ASSERT_TRUE(ini.AddString("s", "k", "v"));
    ASSERT_TRUE(ini.AddString("s", "e", ""));
    ASSERT_TRUE(ini.AddString("t", "k", "two\r\nlines"));
    EXPECT_EQ(ReadBytes(path), "<missing>");  // held until UpdateFile
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\ne=\r\n[t]\r\nk=two\\nlines\r\n");
    EXPECT_EQ(dir.Entries(), Names{"new.ini"});
    EXPECT_TRUE(ini.Find("S", "E", nullptr));
    EXPECT_EQ(Read(ini, "S", "E"), "");
}

TEST(IniFileWrite, ChangesOnlyWhatIsWritten) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("old.ini");
    const std::string before = "; kept\n[a]\nx = 1\n\n[b]\ny=\"2\"\n";
    WriteBytes(path, before);
    TIniFile ini(path);
    EXPECT_EQ(Read(ini, "B", "Y"), "2");
    ini.AddString("a", "z", "3");
    ini.AddString("b", "y", "4");  // a translation there stays
    ini.AddString("c", "w", "5");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "; kept\n[a]\nx = 1\nz=3\r\n\n[b]\ny=\"2\"\n[c]\r\nw=5\r\n");
}

TEST(IniFileWrite, ARelativeNameIsTakenFromTheWorkingDirectory) {
    ovtest::ScratchDir dir;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    {
        TIniFile ini("relative.ini");
        ini.AddString("s", "k", "1");
        EXPECT_TRUE(ini.UpdateFile());
        ini.AddString("s", "j", "2");  // now replacing an existing file
        EXPECT_TRUE(ini.UpdateFile());
    }
    std::filesystem::current_path(previous);
    EXPECT_EQ(ReadBytes(dir.File("relative.ini")), "[s]\r\nk=1\r\nj=2\r\n");
    EXPECT_EQ(dir.Entries(), Names{"relative.ini"});
}

TEST(IniFileChanges, AnotherProgramsChangeIsSeenAtTheNextRead) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "shared.ini", "[s]\r\nk=1\r\n");
    TIniFile ini(path);
    EXPECT_EQ(Read(ini, "s", "k"), "1");
    WriteBytes(path, "[s]\r\nk=22\r\n");
    EXPECT_EQ(Read(ini, "s", "k"), "22");
    // Same size, written in place once the clock has moved on.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    WriteBytes(path, "[s]\r\nk=33\r\n");
    EXPECT_EQ(Read(ini, "s", "k"), "33");
    std::remove(path.c_str());
    EXPECT_FALSE(ini.Find("s", "k", nullptr));
}

TEST(IniFileChanges, HeldWritesGoOnTopOfAnotherProgramsChange) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "shared.ini", "[s]\r\na=1\r\n");
    TIniFile ini(path);
    ini.AddString("s", "mine", "m");
    WriteBytes(path, "[s]\r\na=1\r\ntheirs=t\r\n");
    EXPECT_EQ(Read(ini, "s", "theirs"), "t");
    EXPECT_EQ(Read(ini, "s", "mine"), "m");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\na=1\r\ntheirs=t\r\nmine=m\r\n");
}

// Another program's edit that keeps the file's size and lands within the
// clock tick of the last change leaves its stamp as it was.
TEST(IniFileChanges, AnEditTheStampCannotShowIsReadAndNeverWrittenOver) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "tick.ini", "[s]\r\nk=1\r\n");
    const auto recent = std::filesystem::last_write_time(path);
    TIniFile ini(path);
    EXPECT_EQ(Read(ini, "s", "k"), "1");
    WriteBytes(path, "[s]\r\nk=2\r\n");
    std::filesystem::last_write_time(path, recent);
    EXPECT_EQ(Read(ini, "s", "k"), "2");
    // Long settled, the stamp is trusted for reads; a flush still reads the
    // file again, so the edit survives.
    const auto hourAgo = recent - std::chrono::hours(1);
    std::filesystem::last_write_time(path, hourAgo);
    EXPECT_EQ(Read(ini, "s", "k"), "2");
    WriteBytes(path, "[s]\r\nk=3\r\n");
    std::filesystem::last_write_time(path, hourAgo);
    ini.AddString("s", "j", "x");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=3\r\nj=x\r\n");
}

TEST(IniFileEncoding, AUtf16FileReadsAsCodePage936AndTakesNewKeysInUtf16) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "unicode.lng", Utf16File(u"[TPropertyForm]\r\nCaption=语音盒\r\n"));
    TIniFile ini(path);
    EXPECT_EQ(Read(ini, "TPropertyForm", "Caption"), "\xD3\xEF\xD2\xF4\xBA\xD0");
    ASSERT_TRUE(ini.AddString("TPropertyForm", "Hint", "\xCC\xE1\xCA\xBE"));  // 提示
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), Utf16File(u"[TPropertyForm]\r\nCaption=语音盒\r\nHint=提示\r\n"));
    // Thai has no code in 936: written back, it would become '?'.
    const std::string thai = Utf16File(u"[s]\r\nk=\u0E01\r\n");
    WriteBytes(path, thai);
    ini.AddString("s", "j", "1");
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), thai);
}

// Notepad's other two marked encodings, as the profile API reads and extends
// them: texts reach us as code page 936, new keys go in in the file's own
// encoding behind its mark, every other byte stays.
TEST(IniFileEncoding, EveryMarkedEncodingReadsAs936AndTakesNewKeysInItsOwn) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("marked.lng");
    for (const auto& encoding : kMarkedEncodings) {
        SCOPED_TRACE(encoding.first);
        const FileOf file = encoding.second;
        WriteBytes(path, file(u"; 注释\r\n[TPropertyForm]\r\nCaption=语音盒\r\n\r\n[Other]\r\n"));
        TIniFile ini(path);
        EXPECT_EQ(Read(ini, "tpropertyform", "CAPTION"), "\xD3\xEF\xD2\xF4\xBA\xD0");
        ASSERT_TRUE(ini.AddString("TPropertyForm", "btnOk.Caption", "\xC8\xB7\xB6\xA8(&O)"));  // 确定(&O)
        ASSERT_TRUE(ini.UpdateFile());
        EXPECT_EQ(ReadBytes(path),
                  file(u"; 注释\r\n[TPropertyForm]\r\nCaption=语音盒\r\nbtnOk.Caption=确定(&O)\r\n\r\n[Other]\r\n"));
    }
    // A file without a mark is 8-bit whatever it holds: UTF-8 names are not
    // the code page 936 ones, and a key goes in as 936 bytes.
    const std::string unmarked = Utf8File(u"[语言设置]\r\n系统语言=EN\r\n").substr(3);
    WriteBytes(path, unmarked);
    TIniFile ini(path);
    EXPECT_FALSE(ini.Find("\xD3\xEF\xD1\xD4\xC9\xE8\xD6\xC3", "\xCF\xB5\xCD\xB3\xD3\xEF\xD1\xD4", nullptr));
    ASSERT_TRUE(ini.AddString("s", "k", "\xD3\xEF"));
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), unmarked + "[s]\r\nk=\xD3\xEF\r\n");
}

// The settings are read in blocks; wherever a block ends, inside a UTF-8
// sequence, a 16-bit unit or a surrogate pair, the text is the whole file's.
TEST(IniFileEncoding, TheBlockDecoderReadsTheWholeFilesTextWhereverABlockEnds) {
    const std::u16string text = u"[语言设置]\r\n系统语言=EN \U0001F600 \u00E9\r\n";
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& encoding : kMarkedEncodings) files.emplace_back(encoding.first, encoding.second(text));
    // Broken sequences: a lead byte before another, one cut by a line end.
    files.emplace_back("broken UTF-8", Utf8File(u"[s]\r\n") + "k=\xCE\xCA\x95\xE8\xAE\r\nj=\xF0\x9F\r\n\xE8");
    for (const auto& encoding : files) {
        const std::string& bytes = encoding.second;
        const std::string whole = platform::DecodeText(bytes).text;
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
            for (std::size_t second = cut; second <= bytes.size(); second += 5) {
                platform::TTextDecoder decoder;
                std::string read = decoder.Feed(bytes.data(), cut);
                read += decoder.Feed(bytes.data() + cut, second - cut);
                read += decoder.Feed(bytes.data() + second, bytes.size() - second);
                read += decoder.Finish();
                ASSERT_EQ(read, whole) << encoding.first << " cut at " << cut << " and " << second;
            }
        }
    }
}

// Written back through code page 936, a character it lacks, or a broken
// UTF-8 sequence, would become '?': such a file is read, never written.
TEST(IniFileEncoding, AMarkedFileThatCodePage936CannotHoldIsNeverWritten) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("lossy.lng");
    std::vector<std::string> files;
    for (const auto& encoding : kMarkedEncodings) {
        files.push_back(encoding.second(u"[s]\r\nthai=\u0E01\r\n"));
        files.push_back(encoding.second(u"[s]\r\nkorean=\uD55C\r\n"));
    }
    files.push_back(Utf8File(u"[s]\r\nk=v\r\n") + "broken=\xE8\xAF\r\n");
    files.push_back(Utf8File(u"[s]\r\nk=v\r\n") + "overlong=\xC0\xAF\r\n");
    for (const std::string& bytes : files) {
        WriteBytes(path, bytes);
        TIniFile ini(path);
        ini.AddString("s", "j", "1");
        EXPECT_FALSE(ini.UpdateFile());
        EXPECT_EQ(ini.LastWrite(), platform::TWriteResult::NotText);
        EXPECT_TRUE(ReadBytes(path) == bytes);
    }
}

// The file is replaced by a new one at each write; to its users it must stay
// the same file.
TEST(IniFileReplace, TheFileKeepsItsAttributes) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "kept.ini", "[s]\r\nk=1\r\n");
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
#else
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
#endif
    TIniFile ini(path);
    ini.AddString("s", "j", "2");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\nj=2\r\n");
#ifdef _WIN32
    EXPECT_EQ(::GetFileAttributesA(path.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
#endif
    EXPECT_EQ(dir.Entries(), Names{"kept.ini"});
}

#ifndef _WIN32
TEST(IniFileReplace, ASymbolicLinkIsWrittenThroughToItsTarget) {
    ovtest::ScratchDir dir;
    WriteBytes(dir.File("real.ini"), "[s]\r\nk=1\r\n");
    std::filesystem::create_symlink(dir.File("real.ini"), dir.File("link.ini"));
    TIniFile ini(dir.File("link.ini"));
    ini.AddString("s", "j", "2");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
    EXPECT_EQ(ReadBytes(dir.File("real.ini")), "[s]\r\nk=1\r\nj=2\r\n");
    EXPECT_EQ(dir.Entries(), (Names{"link.ini", "real.ini"}));
}
#endif

TEST(IniFileFailures, AReadOnlyFileIsLeftAsItWasAndTheWriteDropped) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "ro.ini", "[s]\nk=1\n");
    ovtest::SetReadOnly(path, true);
    TIniFile ini(path);
    ini.AddString("s", "j", "2");
    EXPECT_EQ(Read(ini, "s", "j"), "2");
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(ini.LastWrite(), platform::TWriteResult::ReadOnly);
    EXPECT_EQ(ReadBytes(path), "[s]\nk=1\n");
    EXPECT_EQ(Read(ini, "s", "j"), "<none>");
    EXPECT_EQ(dir.Entries(), Names{"ro.ini"});
    // Writable again: the next write goes through.
    ovtest::SetReadOnly(path, false);
    ini.AddString("s", "j", "3");
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ini.LastWrite(), platform::TWriteResult::Written);
    EXPECT_EQ(ReadBytes(path), "[s]\nk=1\nj=3\r\n");
}

TEST(IniFileFailures, ADirectoryOrAMissingFolderIsNeverWritten) {
    ovtest::ScratchDir dir;
    ovtest::ScratchDir inner;
    const std::string asDir = inner.Path().substr(0, inner.Path().size() - 1);
    TIniFile onDir(asDir);
    EXPECT_FALSE(onDir.Find("s", "k", nullptr));
    onDir.AddString("s", "k", "v");
    EXPECT_FALSE(onDir.UpdateFile());
    EXPECT_EQ(onDir.LastWrite(), platform::TWriteResult::Directory);
    EXPECT_TRUE(inner.Entries().empty());

    TIniFile nowhere(dir.File("no-such-folder/x.ini"));
    nowhere.AddString("s", "k", "v");
    EXPECT_FALSE(nowhere.UpdateFile());
    EXPECT_EQ(nowhere.LastWrite(), platform::TWriteResult::MissingFolder);
    EXPECT_TRUE(dir.Entries().empty());
}

// Random bytes, or UTF-16 saved without its mark: keys appended to them
// would be lines no reader finds, and the garbage stays garbage.
TEST(IniFileFailures, AFileThatIsNotTextIsNeverWritten) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("garbage.lng");
    const std::string files[] = {std::string("\x8F\x00\x13\xFE=\r\n\x00\x00[q", 11),
                                 std::string("[\0s\0]\0\r\0\n\0k\0=\0v\0", 16), "plain words\r\nand more\r\n"};
    for (const std::string& bytes : files) {
        WriteBytes(path, bytes);
        TIniFile ini(path);
        ASSERT_TRUE(ini.AddString("TPropertyForm", "Caption", "x"));
        EXPECT_FALSE(ini.UpdateFile());
        EXPECT_TRUE(ReadBytes(path) == bytes);
    }
    EXPECT_EQ(dir.Entries(), Names{"garbage.lng"});
}

// Above its limit a file is neither read nor written, as if it could not be
// read; at the limit it is an ordinary file.
TEST(IniFileFailures, AFileAboveTheSizeLimitIsNeitherReadNorWritten) {
    ovtest::ScratchDir dir;
    const std::string path = dir.File("big.lng");
    const std::string bytes = "[s]\r\nk=1\r\n;" + std::string(100, '.') + "\r\n";
    WriteBytes(path, bytes);
    TIniFile over(path, bytes.size() - 1);
    EXPECT_FALSE(over.Find("s", "k", nullptr));
    EXPECT_TRUE(over.ReadFailed());
    over.AddString("s", "j", "2");
    EXPECT_FALSE(over.UpdateFile());
    EXPECT_EQ(over.LastWrite(), platform::TWriteResult::TooLarge);
    EXPECT_EQ(ReadBytes(path), bytes);

    TIniFile at(path, bytes.size());
    EXPECT_EQ(Read(at, "s", "k"), "1");
    at.AddString("s", "j", "2");
    EXPECT_TRUE(at.UpdateFile());
    EXPECT_EQ(ReadBytes(path), bytes + "j=2\r\n");
    // Now above its limit, the file is not written again.
    at.AddString("s", "i", "3");
    EXPECT_FALSE(at.UpdateFile());
}

#ifdef _WIN32
TEST(IniFileFailures, AFileLockedByAnotherProgramIsNeverOverwritten) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "locked.ini", "[s]\r\nk=1\r\n");
    TIniFile ini(path);
    HANDLE lock = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    // Unread, the file's keys are unknown: writing would lose them.
    ini.AddString("s", "new", "2");
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(ini.LastWrite(), platform::TWriteResult::Unreadable);
    ::CloseHandle(lock);
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\n");
    EXPECT_EQ(Read(ini, "s", "k"), "1");
    EXPECT_FALSE(ini.Find("s", "new", nullptr));
    ini.AddString("s", "new", "2");
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\nnew=2\r\n");
}
#endif

// Another writer that holds the file's lock (one that hung mid-write) until
// the holder ends.
class LockHolder {
public:
    explicit LockHolder(const std::string& path) {
        std::promise<bool> locked;
        std::future<bool> held = locked.get_future();
        std::future<void> release = release_.get_future();
        thread_ = std::thread([path, locked = std::move(locked), release = std::move(release)]() mutable {
            const platform::TFileLock lock(path, 1000);
            locked.set_value(lock.Held());
            release.wait();
        });
        held_ = held.get();
    }
    ~LockHolder() {
        release_.set_value();
        thread_.join();
    }
    bool Held() const { return held_; }

private:
    std::promise<void> release_;
    std::thread thread_;
    bool held_ = false;
};

using Clock = std::chrono::steady_clock;

// The flush gives up after a bounded wait, says so, and leaves the file as
// it was; once the lock is free, the next flush goes through.
TEST(IniFileLock, AFlushWaitsBoundedForALockHeldElsewhere) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "held.ini", "[s]\r\nk=1\r\n");
    TIniFile ini(path);
    {
        const LockHolder holder(path);
        ASSERT_TRUE(holder.Held());
        ini.AddString("s", "j", "2");
        const auto started = Clock::now();
        EXPECT_FALSE(ini.UpdateFile());
        EXPECT_EQ(ini.LastWrite(), platform::TWriteResult::Locked);
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
        EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\n");
    }
    ini.AddString("s", "j", "3");
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\nj=3\r\n");
}

// The file was written a moment ago, so its stamp cannot be trusted and each
// read looks at it again: without taking the lock, since a replace is one
// rename. A pass waits for the lock once; after that wait ran out it writes
// nothing and reads what the file holds.
TEST(IniFileLock, ReadsTakeNoLockAndAPassWaitsForItOnce) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "held.ini", "[s]\r\nk=1\r\n");
    const LockHolder holder(path);
    ASSERT_TRUE(holder.Held());
    TIniFile ini(path);
    auto started = Clock::now();
    EXPECT_EQ(Read(ini, "s", "k"), "1");
    EXPECT_EQ(Read(ini, "s", "k"), "1");
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(500));
    {
        const TIniFile::TPass pass(ini, 300);
        EXPECT_TRUE(ini.Find("s", "k", nullptr));
        ini.AddString("s", "a", "x");
        started = Clock::now();
        EXPECT_FALSE(ini.UpdateFile());
        const auto firstWait = Clock::now() - started;
        ini.AddString("s", "b", "y");
        started = Clock::now();
        EXPECT_FALSE(ini.UpdateFile());
        const auto secondWait = Clock::now() - started;
        EXPECT_GE(firstWait, std::chrono::milliseconds(250));
        EXPECT_LT(firstWait, std::chrono::seconds(2));
        EXPECT_LT(secondWait, std::chrono::milliseconds(100));
        EXPECT_EQ(Read(ini, "s", "k"), "1");
        EXPECT_FALSE(ini.Find("s", "a", nullptr));
        EXPECT_FALSE(ini.ReadFailed());
    }
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\n");
}

#ifdef _WIN32
// Every spelling of one file names one lock: letter case, a relative name,
// the 8.3 short name and the long-path prefix. Another file in the folder
// has a lock of its own. (Natively the lock is the folder's own, taken
// through whatever spelling: IniShared writes through a link to it.)
TEST(IniFileLock, EverySpellingOfTheFileNamesOneLock) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "Language File.lng", "[s]\r\n");
    WriteBytes(dir.File("other.lng"), "");
    const std::string name = platform::TFileLock::NameOf(path);
    ASSERT_FALSE(name.empty());
    EXPECT_NE(platform::TFileLock::NameOf(dir.File("other.lng")), name);
    std::vector<std::string> spellings;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    spellings.push_back(platform::TFileLock::NameOf("Language File.lng"));
    std::filesystem::current_path(before);
    spellings.push_back(platform::TFileLock::NameOf(dir.File("LANGUAGE FILE.LNG")));
    spellings.push_back(platform::TFileLock::NameOf("\\\\?\\" + path));
    char shortPath[MAX_PATH];
    const DWORD n = ::GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    ASSERT_NE(std::string(shortPath), path);
    spellings.push_back(platform::TFileLock::NameOf(shortPath));
    for (const std::string& spelled : spellings) EXPECT_EQ(spelled, name);
}
#endif

// A pass reads the file at its first lookup only; its writes still read it
// again under the lock, and while it holds the lock they notice an edit by
// a program that takes no lock (a text editor), so neither edit is lost.
TEST(IniFileLock, APassReadsOnceAndItsWritesKeepEveryEdit) {
    ovtest::ScratchDir dir;
    const std::string path = FileWith(dir, "pass.ini", "[s]\r\nk=1\r\n");
    TIniFile ini(path);
    const TIniFile::TPass pass(ini, 2000);
    EXPECT_TRUE(ini.Find("s", "k", nullptr));
    WriteBytes(path, "[s]\r\nk=1\r\nedit=2\r\n");
    EXPECT_FALSE(ini.Find("s", "edit", nullptr));
    ini.AddString("s", "a", "3");
    EXPECT_TRUE(ini.UpdateFile());
    WriteBytes(path, ReadBytes(path) + "late=4\r\n");
    ini.AddString("s", "b", "5");
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=1\r\nedit=2\r\na=3\r\nlate=4\r\nb=5\r\n");
}
