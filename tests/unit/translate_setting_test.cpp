// The language setting, loading the language file, and the "\n" convention.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "platform/runtime/File.h"
#include "tests/support/ScratchDir.h"
#include "ui/unitTranslate.h"

using ovtest::ReadBytes;
using ovtest::WriteBytes;

// Every allocation of this program is counted, so a test can see the peak of
// what one call held, whatever container it used. Each block carries its size
// in front of it.
namespace {
std::atomic<std::size_t> g_heldBytes{0}, g_peakBytes{0};
constexpr std::size_t kHeader = 16;
}  // namespace

void* operator new(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    const std::size_t held = g_heldBytes += size;
    for (std::size_t peak = g_peakBytes; held > peak && !g_peakBytes.compare_exchange_weak(peak, held);) {
    }
    return block + kHeader;
}

void operator delete(void* p) noexcept {
    if (!p) return;
    auto* block = static_cast<unsigned char*>(p) - kHeader;
    g_heldBytes -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

// The most the call held at once beyond what was held before it.
template <class F>
std::size_t PeakAddedBy(F call) {
    const std::size_t before = g_heldBytes;
    g_peakBytes = before;
    call();
    return g_peakBytes - before;
}

std::string LanguageFrom(const std::string& settingsBytes) {
    ovtest::ScratchDir dir;
    WriteBytes(dir.File("kdwusr70.ini"), settingsBytes);
    return TTranslator(dir.Path()).Language();
}

}  // namespace

TEST(LanguageSetting, ReadFromTheGbkNamedSectionAndKeyElseCn) {
    EXPECT_EQ(LanguageFrom("[语言设置]\r\n系统语言=EN\r\n"), "EN");
    EXPECT_EQ(LanguageFrom("[\xD3\xEF\xD1\xD4\xC9\xE8\xD6\xC3]\n \xCF\xB5\xCD\xB3\xD3\xEF\xD1\xD4 = \"EN\" \n"),
              "EN");
    EXPECT_EQ(LanguageFrom("[其它]\r\n系统语言=EN\r\n"), "CN");
    EXPECT_EQ(LanguageFrom("[语言设置]\r\n语言=EN\r\n"), "CN");
    EXPECT_EQ(LanguageFrom("[语言设置]\r\n系统语言=\r\n"), "");
    EXPECT_EQ(LanguageFrom("[语言设置]\r\n;系统语言=EN\r\n"), "CN");
    // Saved as UTF-16LE with its mark (Notepad's "Unicode"), read as text; a
    // long comment before the key puts it beyond the reader's first blocks.
    std::string unicode = "\xFF\xFE";
    const std::u16string text = u"[语言设置]\r\n;" + std::u16string(100000, u'注') + u"\r\n系统语言=EN\r\n";
    for (char16_t c : text) unicode += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    EXPECT_EQ(LanguageFrom(unicode), "EN");
    ovtest::ScratchDir empty;
    EXPECT_EQ(TTranslator(empty.Path()).Language(), "CN");
    EXPECT_TRUE(empty.Entries().empty());  // read only: nothing created
}

// The setting is one key: finding it after 64 MB of line feeds must cost a
// block of the file, not the file. The language still reads as English.
TEST(LanguageSetting, ALargeSettingsFileCostsABlockNotItsSize) {
    ovtest::ScratchDir dir;
    const std::string settings = dir.File("kdwusr70.ini");
    WriteBytes(settings, "[语言设置]\r\n系统语言=EN\r\n");
    std::string small;
    const std::size_t smallPeak = PeakAddedBy([&] { small = TTranslator(dir.Path()).Language(); });
    platform::TOutFile out;
    const std::string feeds(1 << 20, '\n');
    bool written = out.Create(settings);
    for (int i = 0; i < 64; ++i) written = written && out.WriteFull(feeds);
    ASSERT_TRUE(out.WriteFull("[语言设置]\r\n系统语言=EN\r\n") && out.Close() && written);
    std::string large;
    const std::size_t largePeak = PeakAddedBy([&] { large = TTranslator(dir.Path()).Language(); });
    EXPECT_EQ(small, "EN");
    EXPECT_EQ(large, "EN");
    std::printf("[settings peak] small file %lu bytes, 64 MB of line feeds %lu bytes\n", static_cast<unsigned long>(smallPeak),
                static_cast<unsigned long>(largePeak));
    EXPECT_LE(largePeak, smallPeak + (std::size_t(16) << 20));
}

TEST(LanguageSetting, ReadingAgainSeesTheFileAsItIsNow) {
    ovtest::ScratchDir dir;
    TTranslator t(dir.Path());
    EXPECT_EQ(t.Language(), "CN");
    WriteBytes(dir.File("kdwusr70.ini"), "[语言设置]\r\n系统语言=EN\r\n");
    t.ReadLanguageSetting();
    EXPECT_EQ(t.Language(), "EN");
    EXPECT_EQ(ReadBytes(dir.File("kdwusr70.ini")), "[语言设置]\r\n系统语言=EN\r\n");
}

TEST(LanguageFile, OnlyAnExistingFileReplacesTheOpenOne) {
    ovtest::ScratchDir dir;
    WriteBytes(dir.File("kdwusr70.ini"), "[语言设置]\r\n系统语言=EN\r\n");
    WriteBytes(dir.File("a.lng"), "");
    WriteBytes(dir.File("b.lng"), "");
    TTranslator t(dir.Path());
    t.LoadLanguageFile(dir.File("missing.lng"));
    t.LoadLanguageFile(dir.Path());  // a directory is no language file
    t.WriteValue("s", "k0", "0");    // with no file open, written nowhere
    t.LoadLanguageFile(dir.File("a.lng"));
    t.WriteValue("s", "k1", "1");
    t.LoadLanguageFile(dir.File("missing.lng"));
    t.WriteValue("s", "k2", "2");
    t.LoadLanguageFile(dir.File("b.lng"));
    t.WriteValue("s", "k3", "3");
    EXPECT_EQ(ReadBytes(dir.File("a.lng")), "[s]\r\nk1=1\r\nk2=2\r\n");
    EXPECT_EQ(ReadBytes(dir.File("b.lng")), "[s]\r\nk3=3\r\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.lng", "b.lng", "kdwusr70.ini"}));
}

// A translator with the empty language file x.lng open.
class OpenLanguageFile : public ::testing::Test {
protected:
    OpenLanguageFile() {
        WriteBytes(Lng(), "");
        t.LoadLanguageFile(Lng());
    }
    std::string Lng() const { return dir.File("x.lng"); }

    ovtest::ScratchDir dir;
    TTranslator t{dir.Path()};
};

TEST_F(OpenLanguageFile, WriteValueEscapesCrLfPairsAndIsOnDiskAtOnce) {
    t.WriteValue("s", "a", "1\r\n2\r\n");
    EXPECT_EQ(ReadBytes(Lng()), "[s]\r\na=1\\n2\\n\r\n");
    t.WriteValue("s", "b", "keep \\N and \\n");
    EXPECT_EQ(ReadBytes(Lng()), "[s]\r\na=1\\n2\\n\r\nb=keep \\N and \\n\r\n");
}

namespace {

class TLongForm : public platform::TForm {
public:
    TLongForm() : TForm(nullptr) {}
    const char* ClassName() const override { return "TLongForm"; }
};

}  // namespace

// A host folder of over 300 characters: the settings are read there, and the
// language file is read and written, through its lock and its temporary.
TEST(LanguageFile, InAHostFolderOver300CharactersLong) {
    ovtest::ScratchDir dir;
    std::string host = dir.Path();
    const char separator = host.back();
    while (host.size() < 300) host += std::string(60, 'd') + separator;
    ASSERT_TRUE(ovtest::MakeDirectories(host));
    WriteBytes(host + "kdwusr70.ini", "[语言设置]\r\n系统语言=EN\r\n");
    WriteBytes(host + "Orvale7.lng", "[TLongForm]\r\nCaption=English\r\n");
    TTranslator t(host);
    t.LoadLanguageFile(host + "Orvale7.lng");
    TLongForm form;
    form.Caption = "语音盒参数设置";
    t.TranslateForm(form);
    EXPECT_EQ(form.Caption, "English");
    EXPECT_EQ(ReadBytes(host + "Orvale7.lng"), "[TLongForm]\r\nCaption=English\r\nHint=\r\n");
}

// Another program's write, or a read that saw the file empty mid-save, can
// hide a key from the presence test; the write looks again and only adds.
TEST_F(OpenLanguageFile, ATranslationOnDiskIsNeverReplacedByTheDesignedText) {
    WriteBytes(Lng(), "[TPropertyForm]\r\nCaption=Voice Box Settings\r\n");
    t.WriteValue("TPropertyForm", "Caption", "语音盒参数设置");
    t.WriteValue("TPropertyForm", "Hint", "");
    EXPECT_EQ(ReadBytes(Lng()), "[TPropertyForm]\r\nCaption=Voice Box Settings\r\nHint=\r\n");
}

TEST(Unescape, EveryBackslashNBecomesCrLfCaseSensitively) {
    EXPECT_EQ(TTranslator::UnescapeValue(""), "");
    EXPECT_EQ(TTranslator::UnescapeValue("a\\nb\\n\\n"), "a\r\nb\r\n\r\n");
    EXPECT_EQ(TTranslator::UnescapeValue("a\\Nb"), "a\\Nb");
    EXPECT_EQ(TTranslator::UnescapeValue("\\\\n"), "\\\r\n");
    EXPECT_EQ(TTranslator::UnescapeValue("end\\"), "end\\");
    EXPECT_EQ(TTranslator::UnescapeValue("第一行\\n第二行"), "第一行\r\n第二行");
}

TEST(Unescape, ABackslashInsideADoubleByteCharacterIsNoEscape) {
    // 0x81 0x5C is one character; the 'n' after it is a letter of its own.
    EXPECT_EQ(TTranslator::UnescapeValue("\x81\x5Cn"), "\x81\x5Cn");
    EXPECT_EQ(TTranslator::UnescapeValue("\x81\x5C\\n"), "\x81\x5C\r\n");
    EXPECT_EQ(TTranslator::UnescapeValue("\x81\\n"), "\x81\\n");  // 0x81 0x5C is one character
    EXPECT_EQ(TTranslator::UnescapeValue("a\x81"), "a\x81");
}
