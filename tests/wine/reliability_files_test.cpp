// The host's settings file and the language file as the field has them:
// garbage, huge, with endless lines, byte-order marks, no final line end,
// read-only, locked by another program, or directories; and a host killed
// while the translator writes. Each showing runs in a host directory of its
// own, with a copy of this program as the host (support/RelHost.h).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/TextConvert.h"
#include "tests/support/CodePage.h"
#include "tests/support/DialogWatcher.h"
#include "tests/support/RelDevice.h"
#include "tests/support/RelHost.h"

namespace ovtest {
namespace {

const std::string kSettings = "kdwusr70.ini";
const std::string kLanguage = "Orvale7.lng";

const std::string kCaption = "语音盒参数设置";
const std::string kLabel = "（无可用的参数）";
const std::string kButton = "确定(&O)";
const std::string kEnglishSettings = "[语言设置]\r\n系统语言=EN\r\n";
// What the first English showing writes into an empty language file, line by line.
const std::vector<std::string> kWrittenLines = {
    "[TPropertyForm]\r\n", "Caption=" + kCaption + "\r\n", "Hint=\r\n",           "Label1.Hint=\r\n",
    "Label1.Caption=" + kLabel + "\r\n", "btnOk.Hint=\r\n",  "btnOk.Caption=" + kButton + "\r\n"};
const std::string kEnglishFile = "[TPropertyForm]\r\nCaption=Voice Box Settings\r\nHint=\r\nLabel1.Hint=\r\n"
                                 "Label1.Caption=(No settings available)\r\nbtnOk.Hint=\r\nbtnOk.Caption=&OK\r\n";

std::string AllWrittenLines() {
    std::string all;
    for (const std::string& line : kWrittenLines) all += line;
    return all;
}

// ---- Hostile files ---------------------------------------------------------

std::string Garbage(unsigned seed, std::size_t size) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(random());
    bytes.back() = 'x';  // no line end at the end, whatever the seed
    return bytes;
}

// The text as a UTF-16 file with its byte-order mark, as Notepad saves "Unicode".
std::string Utf16File(const std::string& text936) { return "\xFF\xFE" + platform::GbkToUtf16(text936); }

const std::string kUtf8Bom = "\xEF\xBB\xBF";

// The text as Notepad saves "Unicode big endian" and "UTF-8 with BOM".
std::string Utf16BeFile(const std::string& text936) {
    std::string bytes = Utf16File(text936);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}
std::string Utf8File(const std::string& text936) { return kUtf8Bom + platform::GbkToUtf8(text936); }

// About `megabytes` of sections and keys that mean nothing to the plug-in.
std::string Filler(int megabytes) {
    std::string bytes;
    bytes.reserve(std::size_t(megabytes) << 20);
    char line[96];
    for (int i = 0; bytes.size() < (std::size_t(megabytes) << 20); ++i) {
        std::snprintf(line, sizeof line, "[Section%07d]\r\nKey%d=a value of no interest to anyone, %d\r\n", i, i, i);
        bytes += line;
    }
    return bytes;
}

enum class Kind { File, ReadOnly, Locked, Directory };

struct FileSpec {
    Kind kind = Kind::File;
    std::string bytes;
};

FileSpec Plain(std::string bytes) { return {Kind::File, std::move(bytes)}; }
FileSpec ReadOnly(std::string bytes) { return {Kind::ReadOnly, std::move(bytes)}; }
FileSpec Locked(std::string bytes) { return {Kind::Locked, std::move(bytes)}; }
FileSpec Directory() { return {Kind::Directory, ""}; }

struct HostileCase {
    std::string name;
    FileSpec settings, language;
    std::string caption, label, button;  // what the dialog must show
    std::string languageAfter;          // the language file's bytes afterwards
};

// Puts one file in place; for a locked one, returns the handle that locks it
// (opened without any sharing, as another program may hold it).
HANDLE Place(const std::string& path, const FileSpec& spec) {
    if (spec.kind == Kind::Directory) {
        CreateDirectoryA(path.c_str(), nullptr);
        return nullptr;
    }
    WriteBytes(path, spec.bytes);
    if (spec.kind == Kind::ReadOnly) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    if (spec.kind != Kind::Locked) return nullptr;
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

void ExpectLeftAsPlaced(const std::string& path, const FileSpec& spec, const std::string& bytesAfter,
                        const std::string& what) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (spec.kind == Kind::Directory) {
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << what;
        return;
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // so the directory can be deleted
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytesAfter.size(), bytes.size()) << what;
    EXPECT_TRUE(bytesAfter == bytes) << what << ": the file's bytes changed";
}

void RunHostileCase(const HostileCase& c) {
    SCOPED_TRACE(c.name);
    RelHostDir host;
    ASSERT_TRUE(host.Ready());
    const std::vector<std::string> before = host.Listing();
    const HANDLE settingsLock = Place(host.PathOf(kSettings), c.settings);
    const HANDLE languageLock = Place(host.PathOf(kLanguage), c.language);
    const DialogShown shown = host.ShowDialog();
    for (HANDLE lock : {settingsLock, languageLock})
        if (lock && lock != INVALID_HANDLE_VALUE) CloseHandle(lock);

    EXPECT_TRUE(shown.Ran) << "the host ended with code " << shown.ExitCode;
    EXPECT_EQ(ShownLines(c.caption, c.label, c.button), shown.Lines);
    ExpectLeftAsPlaced(host.PathOf(kSettings), c.settings, c.settings.bytes, "settings file");
    ExpectLeftAsPlaced(host.PathOf(kLanguage), c.language, c.languageAfter, "language file");
    // Nothing else left behind: no temporary file of a write that failed.
    std::vector<std::string> expected = before;
    expected.push_back(kLanguage);
    expected.push_back(kSettings);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, host.Listing());
}

class HostileFiles : public ::testing::Test {
protected:
    void SetUp() override { ExpectAnsiCodePage(); }
};

TEST_F(HostileFiles, GarbageFilesNeitherCrashNorGetDamaged) {
    const std::string garbageLanguage = Garbage(2, 64 << 10);
    RunHostileCase({"garbage settings", Plain(Garbage(1, 64 << 10)), Plain(kEnglishFile), kCaption, kLabel, kButton,
                    kEnglishFile});
    // English read from amid garbage; a language file that is not text (it
    // holds NUL bytes) is never appended to.
    RunHostileCase({"garbage around the setting, garbage language file",
                    Plain(Garbage(3, 32 << 10) + "\r\n" + kEnglishSettings + Garbage(4, 32 << 10)),
                    Plain(garbageLanguage), kCaption, kLabel, kButton, garbageLanguage});
}

// The settings are read whatever their size; a language file above the
// translator's limit (1 MB) is neither read nor written.
TEST_F(HostileFiles, TwentyMegabyteFilesAndEndlessLines) {
    const std::string bigLanguage = Filler(20) + "[TPropertyForm]\r\nCaption=Big caption\r\n";
    RunHostileCase({"20 MB files", Plain(Filler(20) + kEnglishSettings), Plain(bigLanguage), kCaption, kLabel, kButton,
                    bigLanguage});
    const std::string justOver = kEnglishFile + std::string((1 << 20) + 1 - kEnglishFile.size(), '\n');
    RunHostileCase({"language file 1 byte above the limit", Plain(kEnglishSettings), Plain(justOver), kCaption, kLabel,
                    kButton, justOver});

    std::string longCaption;
    for (int i = 0; i < (1 << 18); ++i) longCaption += "长";  // 512 KB, one line
    const std::string longLabel(100000, 'y');
    const std::string longLines = "[TPropertyForm]\r\nCaption=" + longCaption + "\r\nLabel1.Caption=" + longLabel + "\r\n";
    RunHostileCase({"endless lines", Plain(std::string(4 << 20, '#') + "\r\n" + kEnglishSettings),
                    Plain(longLines), longCaption, longLabel, kButton,
                    longLines + "Hint=\r\nLabel1.Hint=\r\nbtnOk.Hint=\r\nbtnOk.Caption=" + kButton + "\r\n"});
}

// Millions of empty lines once cost a record each and ended the host inside
// LoadLibrary. Memory must follow the bytes: the peak may rise above that of
// a showing with small files by at most twice the file's size plus 1 MB. A
// language file that large is above the translator's limit: it is not read,
// and the dialog comes as soon as with small files (it once took 15 s).
TEST_F(HostileFiles, SixtyFourMegabytesOfLineFeedsLoadWithinTwiceTheirSize) {
    const std::size_t size = std::size_t(64) << 20;
    const std::string feeds(size, '\n');
    struct Run {
        const char* name;
        std::string settings, language, caption, label, button, languageAfter;
    };
    const std::string bigLanguage = feeds + "[TPropertyForm]\r\nCaption=Big caption\r\n";
    const Run runs[] = {
        {"small files", kEnglishSettings, kEnglishFile, "Voice Box Settings", "(No settings available)", "&OK",
         kEnglishFile},
        {"64 MB settings", feeds + kEnglishSettings, kEnglishFile, "Voice Box Settings", "(No settings available)",
         "&OK", kEnglishFile},
        {"64 MB language file", kEnglishSettings, bigLanguage, kCaption, kLabel, kButton, bigLanguage},
    };
    std::int64_t smallPeak = 0;
    DWORD smallMs = 0;
    for (const Run& run : runs) {
        SCOPED_TRACE(run.name);
        RelHostDir host;
        ASSERT_TRUE(host.Ready());
        WriteBytes(host.PathOf(kSettings), run.settings);
        WriteBytes(host.PathOf(kLanguage), run.language);
        const DWORD started = GetTickCount();
        DialogShown shown;
        const std::int64_t peak = host.PeakMemory(shown);
        const DWORD tookMs = GetTickCount() - started;
        ASSERT_TRUE(shown.Ran) << "the host ended with code " << shown.ExitCode;
        EXPECT_EQ(ShownLines(run.caption, run.label, run.button), shown.Lines);
        EXPECT_TRUE(ReadBytes(host.PathOf(kLanguage)) == run.languageAfter) << "the language file";
        ASSERT_GE(peak, 0);
        if (smallPeak == 0) {
            smallPeak = peak;
            smallMs = tookMs;
        }
        const std::int64_t added = peak - smallPeak;
        std::printf("[large file] %s: host's peak %.1f MB above its start, %.1f MB above small files; %lu ms\n",
                    run.name, peak / 1048576.0, added / 1048576.0, static_cast<unsigned long>(tookMs));
        EXPECT_LE(added, std::int64_t(2 * size + (1 << 20)));
        if (run.language == bigLanguage) {
            EXPECT_LE(tookMs, smallMs + 3000);
        }
    }
}

TEST_F(HostileFiles, ByteOrderMarksAndMissingLineEndsAreReadAsTheProfileApiReadsThem) {
    // A UTF-8 mark makes the file UTF-8, as for the profile API: the section
    // right after it is found, and keys are added in UTF-8.
    RunHostileCase({"UTF-8 mark before the settings' section", Plain(Utf8File(kEnglishSettings)), Plain(kEnglishFile),
                    "Voice Box Settings", "(No settings available)", "&OK", kEnglishFile});
    const std::string partial = "[TPropertyForm]\r\nCaption=Voice Box Settings\r\n";
    const std::string missingKeys = "Hint=\r\nLabel1.Hint=\r\nLabel1.Caption=" + kLabel +
                                    "\r\nbtnOk.Hint=\r\nbtnOk.Caption=" + kButton + "\r\n";
    RunHostileCase({"UTF-8 language file lacking keys", Plain(Utf8File(kEnglishSettings)), Plain(Utf8File(partial)),
                    "Voice Box Settings", kLabel, kButton, Utf8File(partial + missingKeys)});
    RunHostileCase({"UTF-16BE files, language file lacking keys", Plain(Utf16BeFile(kEnglishSettings)),
                    Plain(Utf16BeFile(partial)), "Voice Box Settings", kLabel, kButton,
                    Utf16BeFile(partial + missingKeys)});
    // Code page 936 bytes behind a UTF-8 mark are no UTF-8: the Chinese names
    // of the setting do not match, for the profile API or for us.
    const std::string markedLanguage = kUtf8Bom + "; translated\r\n" + kEnglishFile;
    RunHostileCase({"UTF-8 mark before code page 936 text", Plain(kUtf8Bom + "; host settings\r\n" + kEnglishSettings),
                    Plain(markedLanguage), kCaption, kLabel, kButton, markedLanguage});
    // UTF-16 with its mark is text, as the profile API reads it; the keys an
    // English host adds go in as UTF-16 too.
    RunHostileCase({"UTF-16 settings", Plain(Utf16File(kEnglishSettings)), Plain(kEnglishFile), "Voice Box Settings",
                    "(No settings available)", "&OK", kEnglishFile});
    const std::string utf16Language = Utf16File(kEnglishFile);
    RunHostileCase({"UTF-16 language file", Plain(kEnglishSettings), Plain(utf16Language), "Voice Box Settings",
                    "(No settings available)", "&OK", utf16Language});
    RunHostileCase({"UTF-16 language file lacking keys", Plain(kEnglishSettings), Plain(Utf16File(partial)),
                    "Voice Box Settings", kLabel, kButton, Utf16File(partial + missingKeys)});
    // Without a final line end: the last line still counts, and the keys
    // written after it start on a line of their own.
    RunHostileCase({"no final line ends", Plain("[语言设置]\r\n系统语言=EN"),
                    Plain("[TPropertyForm]\r\nCaption=No line end"), "No line end", kLabel, kButton,
                    "[TPropertyForm]\r\nCaption=No line end\r\nHint=\r\nLabel1.Hint=\r\nLabel1.Caption=" + kLabel +
                        "\r\nbtnOk.Hint=\r\nbtnOk.Caption=" + kButton + "\r\n"});
}

TEST_F(HostileFiles, ReadOnlyLockedAndDirectoryNamesAreLeftAsTheyAre) {
    RunHostileCase({"read-only files, empty language file", ReadOnly(kEnglishSettings), ReadOnly(""), kCaption, kLabel,
                    kButton, ""});
    RunHostileCase({"read-only English language file", ReadOnly(kEnglishSettings), ReadOnly(kEnglishFile),
                    "Voice Box Settings", "(No settings available)", "&OK", kEnglishFile});
    RunHostileCase({"settings locked by another program", Locked(kEnglishSettings), Plain(kEnglishFile), kCaption,
                    kLabel, kButton, kEnglishFile});
    RunHostileCase({"language file locked by another program", Plain(kEnglishSettings), Locked(kEnglishFile), kCaption,
                    kLabel, kButton, kEnglishFile});
    RunHostileCase({"settings name taken by a directory", Directory(), Plain(kEnglishFile), kCaption, kLabel, kButton,
                    kEnglishFile});
    RunHostileCase({"language file name taken by a directory", Plain(kEnglishSettings), Directory(), kCaption, kLabel,
                    kButton, ""});
}

// ---- A host killed while the translator writes -----------------------------

// How many of the written lines `bytes` holds, if it is exactly a prefix of
// them that the translator can leave (nothing, or the section with 1 to 6
// keys); -1 for anything else.
int KeysInPrefix(const std::string& bytes) {
    if (bytes.empty()) return 0;
    std::string prefix = kWrittenLines[0];
    for (std::size_t keys = 1; keys < kWrittenLines.size(); ++keys) {
        prefix += kWrittenLines[keys];
        if (bytes == prefix) return int(keys);
    }
    return -1;
}

double MsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// How many keys a file of this size holds, by the sizes of the prefixes.
// Only the size is asked for: a reader that opens the file while the
// translator replaces it makes that write fail, and the key is skipped (as
// it is when any other program has the file open at that moment).
int KeysBySize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    std::size_t size = kWrittenLines[0].size();
    for (std::size_t keys = 1; keys < kWrittenLines.size(); ++keys) {
        size += kWrittenLines[keys].size();
        if (data.nFileSizeLow < size) return int(keys) - 1;
    }
    return int(kWrittenLines.size()) - 1;
}

// Waits until the file holds `keys` keys, or the host ended, or `limitMs`
// passed. Spins: the keys come milliseconds apart.
bool AwaitKeys(HANDLE host, const std::string& path, int keys, double limitMs) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    while (MsSince(start) < limitMs) {
        if (KeysBySize(path) >= keys) return true;
        if (WaitForSingleObject(host, 0) == WAIT_OBJECT_0) return false;
    }
    return false;
}

void SpinFor(double ms) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    while (MsSince(start) < ms) {
    }
}

unsigned long ExitCodeOf(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

TEST(KilledWriter, AHostKilledWhileTheTranslatorWritesLeavesAPrefixOfTheKeys) {
    ExpectAnsiCodePage();
    constexpr int kKills = 30;
    const int kAllKeys = int(kWrittenLines.size()) - 1;
    RelHostDir host;
    ASSERT_TRUE(host.Ready());
    const std::string language = host.PathOf(kLanguage);
    WriteBytes(host.PathOf(kSettings), kEnglishSettings);

    // One whole run first: how long until the first key and between keys.
    WriteBytes(language, "");
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    HANDLE whole = host.StartHost();
    ASSERT_NE(nullptr, whole);
    ASSERT_TRUE(AwaitKeys(whole, language, 1, 30000)) << "the host ended with code " << ExitCodeOf(whole);
    const double firstKeyMs = MsSince(started);
    ASSERT_TRUE(AwaitKeys(whole, language, kAllKeys, 30000))
        << "the host ended with code " << ExitCodeOf(whole) << " and the file:\n" << ReadBytes(language);
    const double perKeyMs = (MsSince(started) - firstKeyMs) / (kAllKeys - 1);
    WaitForSingleObject(whole, 30000);
    CloseHandle(whole);
    ASSERT_EQ(AllWrittenLines(), ReadBytes(language));

    const unsigned seed = TestSeed();
    std::mt19937 random(seed);
    std::map<int, int> keysAtKill;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill) + ", seed " + std::to_string(seed));
        WriteBytes(language, "");
        // A moment before the first key, or a moment after the k-th.
        const int after = int(random() % (kAllKeys + 1));
        const double delayMs = std::uniform_real_distribution<double>(0, after ? perKeyMs : firstKeyMs)(random);
        const HANDLE writer = host.StartHost();
        ASSERT_NE(nullptr, writer);
        const bool reached = after == 0 || AwaitKeys(writer, language, after, 30000);
        SpinFor(delayMs);
        TerminateProcess(writer, 9);
        WaitForSingleObject(writer, 30000);
        CloseHandle(writer);
        ASSERT_TRUE(reached) << "the host ended before its key " << after;

        const int keys = KeysInPrefix(ReadBytes(language));
        ASSERT_NE(-1, keys) << "the language file is not a prefix of the keys:\n" << ReadBytes(language);
        ++keysAtKill[keys];
        // Now and then a host that lives: it adds the missing keys in order.
        if (kill % 10 == 9) {
            const DialogShown shown = host.ShowDialog();
            ASSERT_TRUE(shown.Ran);
            ASSERT_EQ(AllWrittenLines(), ReadBytes(language)) << "after a kill at " << keys << " keys";
        }
    }
    std::string histogram;
    for (const auto& entry : keysAtKill)
        histogram += " " + std::to_string(entry.first) + " keys: " + std::to_string(entry.second) + ";";
    std::printf("[killed writer] seed %u, first key after %.0f ms, then a key every %.1f ms; files left by %d kills:%s\n",
                seed, firstKeyMs, perKeyMs, kKills, histogram.c_str());
    int partial = 0;
    for (const auto& entry : keysAtKill) partial += entry.first > 0 && entry.first < kAllKeys ? entry.second : 0;
    EXPECT_GE(partial, kKills / 3) << "too few kills landed while the keys were being written";
}

}  // namespace
}  // namespace ovtest
