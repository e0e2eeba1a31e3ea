// Our TIniFile against the real profile API (GetPrivateProfileStringA and
// WritePrivateProfileStringA) on the same files: the same values read, the
// same keys found, the same file after the same additions (ours only ever
// adds, so the API writes a key only where it finds none).
//
// Where Wine is known to differ from Windows our file follows Windows, and the
// case says so: Wine takes the last ']' of a section line, treats ";key" as a
// key, drops blank lines and rewrites every line when it saves, and strips the
// blanks ahead of a value it writes. Our own deliberate differences: a value
// is always written on one line (a line break becomes "\n"), and a value that
// reading would change is written inside double quotes so that it reads back
// as given; the replace itself is atomic, which the API's is not.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/ini/IniFile.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/TextConvert.h"
#include "tests/support/CodePage.h"
#include "tests/support/DialogWatcher.h"
#include "tests/support/HostDir.h"

namespace {

const char* const None = "<none>";

struct Lookup {
    std::string section, key;
};

struct Write {
    std::string section, key, value;
};

struct Case {
    const char* name;
    std::string bytes;
    std::vector<Lookup> lookups;
    bool needsGbk;  // the oracle reads these bytes right only with code page 936
};

// The profile API caches files; this makes it read the file from disk again.
void ForgetCache(const std::string& path) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

std::string ApiRead(const std::string& path, const Lookup& l) {
    std::vector<char> buffer(65536);
    const DWORD n = GetPrivateProfileStringA(l.section.c_str(), l.key.c_str(), None, buffer.data(),
                                             static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), n);
}

// Two different defaults tell a missing key from one holding the default.
bool ApiFinds(const std::string& path, const Lookup& l) {
    char a[4096], b[4096];
    GetPrivateProfileStringA(l.section.c_str(), l.key.c_str(), "\x01missing", a, sizeof a, path.c_str());
    GetPrivateProfileStringA(l.section.c_str(), l.key.c_str(), "\x02missing", b, sizeof b, path.c_str());
    return std::string(a) != "\x01missing" || std::string(b) != "\x02missing";
}

// Ours: the value, or None when the key is not found.
std::string OurRead(platform::TIniFile& ini, const Lookup& l) {
    std::string value;
    return ini.Find(l.section, l.key, &value) ? value : None;
}

// What Wine's save does to any file: line ends made CR LF, blank lines
// dropped, blanks around a line and around a key's '=' removed. Applied to
// both files so that only real differences remain.
std::string Normalized(const std::string& bytes) {
    std::string out, line;
    auto flush = [&] {
        const std::string blanks = " \t";
        const std::size_t b = line.find_first_not_of(blanks);
        if (b != std::string::npos) {
            std::string t = line.substr(b, line.find_last_not_of(blanks) - b + 1);
            const std::size_t eq = t.find('=');
            const std::size_t close = t.find(']');
            if (t[0] == '[' && close != std::string::npos) {
                std::string name = t.substr(1, close - 1);
                name.erase(0, name.find_first_not_of(blanks));
                name.erase(name.find_last_not_of(blanks) + 1);
                t = "[" + name + t.substr(close);
            } else if (eq != std::string::npos && t[0] != '[') {
                std::string name = t.substr(0, eq), value = t.substr(eq + 1);
                name.erase(name.find_last_not_of(blanks) + 1);
                value.erase(0, value.find_first_not_of(blanks));
                t = name + "=" + value;
            }
            out += t + "\r\n";
        }
        line.clear();
    };
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            flush();
        } else {
            line += c;
        }
    }
    flush();
    return out;
}

const std::vector<Case>& Corpus() {
    static const std::vector<Case> corpus = {
        {"quotes",
         "[q]\r\nd=\"double\"\r\ns='single'\r\nmixed=\"ab'\r\none=\"\r\nempty=\"\"\r\n"
         "spaced=  \" in side \"  \r\nnested=\"\"x\"\"\r\ninner=a\"b\"\r\n",
         {{"q", "d"}, {"q", "s"}, {"q", "mixed"}, {"q", "one"}, {"q", "empty"}, {"q", "spaced"},
          {"q", "nested"}, {"q", "inner"}, {"q", "absent"}},
         false},
        {"whitespace",
         "  [ Sect ]  \r\n\t key \t=  value with  inner \t\r\nk2=\r\n  k3  =  \r\n[T]\r\nx = a = b\r\n",
         {{"Sect", "key"}, {" Sect\t", "\tkey "}, {"sect", "k2"}, {"SECT", "k3"}, {"t", "x"}},
         false},
        {"letter case",
         "[MixedCase]\r\nKeyName=1\r\nkeyname=2\r\n[mixedcase]\r\nOther=3\r\n",
         {{"mixedCASE", "KEYNAME"}, {"MIXEDCASE", "other"}, {"mixedcase", "keyName"}},
         false},
        {"gbk names",
         "[语言设置]\r\n系统语言=EN\r\n[\x81\x41]\r\n\x81\x41\x42=upper\r\n[\x81\x5D]\r\nk=bracket\r\n"
         "[\x81\x61]\r\nk=lower\r\n",
         {{"语言设置", "系统语言"}, {"\x81\x41", "\x81\x41\x62"}, {"\x81\x61", "\x81\x41\x42"},
          {"\x81\x61", "k"}, {"\x81\x41", "\x81\x61\x42"}, {"\x81\x5D", "k"}, {"\x81\x5d", "K"}},
         true},
        {"duplicates",
         "[a]\r\nk=1\r\nK=2\r\n[b]\r\nj=0\r\n[A]\r\nk=3\r\nj=4\r\n",
         {{"a", "k"}, {"A", "j"}, {"b", "j"}},
         false},
        {"blank lines and no final line end",
         "\r\n\r\n[a]\r\n\r\nx=1\r\n\r\n\r\n[b]\r\n\r\ny=2",
         {{"a", "x"}, {"b", "y"}, {"b", "x"}},
         false},
        {"mixed line ends",
         "[a]\nk1=1\rk2=2\r\n\n\rk3=3\n[b]\rz=9",
         {{"a", "k1"}, {"a", "k2"}, {"a", "k3"}, {"b", "z"}},
         false},
        {"comments and lines without '='",
         "; top\r\n[a]\r\n  ; indented=no\r\nlonely\r\nk=1\r\n[b\r\nx=3\r\n# hash=yes\r\n",
         {{"a", "lonely"}, {"a", "k"}, {"a", "x"}, {"a", "# hash"}, {"b", "x"}},
         false},
        {"values",
         "[v]\r\nurl=http://x/?a=b&c=d\r\nsemi=a ; not a comment\r\nback=C:\\new\\n\r\n"
         "chinese=语音盒参数设置\r\nlong=" + std::string(3000, 'L') + "\r\n",
         {{"v", "url"}, {"v", "semi"}, {"v", "back"}, {"v", "chinese"}, {"v", "long"}},
         false},
    };
    return corpus;
}

class IniDifferential : public ::testing::Test {
protected:
    void SetUp() override {
        ovtest::ExpectAnsiCodePage();
        ASSERT_TRUE(dir.Created());
        ours = dir.Path() + "ours.ini";
        theirs = dir.Path() + "theirs.ini";
    }
    void Load(const std::string& bytes) {
        ovtest::WriteBytes(ours, bytes);
        ovtest::WriteBytes(theirs, bytes);
        ForgetCache(theirs);
    }
    void Apply(const std::vector<Write>& writes) {
        platform::TIniFile ini(ours);
        for (const Write& w : writes) {
            ASSERT_TRUE(ini.AddString(w.section, w.key, w.value));
            ASSERT_TRUE(ini.UpdateFile());
            if (ApiFinds(theirs, {w.section, w.key})) continue;
            ASSERT_TRUE(WritePrivateProfileStringA(w.section.c_str(), w.key.c_str(), w.value.c_str(),
                                                   theirs.c_str()));
            ForgetCache(theirs);
        }
    }

    void CheckReads(const Case& c) {
        Load(c.bytes);
        platform::TIniFile ini(ours);
        for (const Lookup& l : c.lookups) {
            SCOPED_TRACE(std::string(c.name) + ": [" + l.section + "] " + l.key);
            EXPECT_EQ(OurRead(ini, l), ApiRead(theirs, l));
            EXPECT_EQ(ini.Find(l.section, l.key, nullptr), ApiFinds(theirs, l));
        }
    }
    void CheckWrites(const Case& c) {
        SCOPED_TRACE(c.name);
        std::vector<Write> writes = {
            {"a", "x", "new"},     {"A", "added", "1"}, {"zz", "first", "in new section"},
            {"ZZ", "second", "2"}, {"b", "y", ""},      {"a", "X", "again"},
            {"q", "d", "plain"},
        };
        if (c.needsGbk) {
            writes.push_back({"v", "chinese", "中文"});
            writes.push_back({"\x81\x61", "k", "gbk"});
            writes.push_back({"\x81\x41", "\x81\x41\x62", "folded B"});
            writes.push_back({"语言设置", "系统语言", "CN"});
        }
        Load(c.bytes);
        Apply(writes);
        EXPECT_EQ(Normalized(ovtest::ReadBytes(ours)), Normalized(ovtest::ReadBytes(theirs)));
        // The real API reads back from our file what it reads from its own.
        ForgetCache(ours);
        for (const Write& w : writes) {
            EXPECT_EQ(ApiRead(ours, {w.section, w.key}), ApiRead(theirs, {w.section, w.key}));
        }
        for (const Lookup& l : c.lookups) {
            EXPECT_EQ(ApiRead(ours, l), ApiRead(theirs, l)) << "[" << l.section << "] " << l.key;
        }
    }

    ovtest::PrivateHostDir dir;
    std::string ours, theirs;
};

}  // namespace

TEST_F(IniDifferential, SameValuesReadAndSameKeysFound) {
    for (const Case& c : Corpus()) {
        if (!c.needsGbk) CheckReads(c);
    }
}

TEST_F(IniDifferential, SameFileAfterTheSameWrites) {
    for (const Case& c : Corpus()) {
        if (!c.needsGbk) CheckWrites(c);
    }
}

TEST_F(IniDifferential, GbkNamesReadAndWriteTheSame) {
    if (GetACP() != 936) GTEST_SKIP() << "the API reads these bytes as GBK only under code page 936";
    for (const Case& c : Corpus()) {
        if (!c.needsGbk) continue;
        CheckReads(c);
        CheckWrites(c);
    }
}

TEST_F(IniDifferential, WineDiffersFromWindowsAndWeFollowWindows) {
    // The first ']' ends a section name on Windows; Wine takes the last.
    Load("[a]b]\r\nk=1\r\n");
    platform::TIniFile first(ours);
    EXPECT_EQ(OurRead(first, {"a", "k"}), "1");
    EXPECT_EQ(OurRead(first, {"a]b", "k"}), None);
    // A line starting with ';' is a comment on Windows; Wine reads it as a key.
    Load("[a]\r\n;k=1\r\n");
    platform::TIniFile comment(ours);
    EXPECT_FALSE(comment.Find("a", ";k", nullptr));
    std::printf("Wine reads [a]b] k as '%s' and ;k as '%s'\n",
                ApiRead(theirs, {"a]b", "k"}).c_str(), ApiRead(theirs, {"a", ";k"}).c_str());
}

TEST_F(IniDifferential, AFileInTheApisOwnFormIsWrittenByteForByte) {
    Load("[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n");
    Apply({{"a", "y", "two"}, {"A", "w", "4"}, {"b", "Z", "three"}, {"c", "k", "v"}, {"B", "new", ""}});
    EXPECT_EQ(ovtest::ReadBytes(ours), ovtest::ReadBytes(theirs));
    EXPECT_EQ(ovtest::ReadBytes(ours), "[a]\r\nx=1\r\ny=2\r\nw=4\r\n[b]\r\nz=3\r\nnew=\r\n[c]\r\nk=v\r\n");
}

TEST_F(IniDifferential, DeliberateDifferencesStillReadBackAsWrittenThroughTheApi) {
    Load("[s]\r\nbefore=1\r\n");
    const std::vector<Write> writes = {
        {"s", "lead", "  lead"}, {"s", "quoted", "'q'"}, {"s", "dq", "\"dq\""},
        {"s", "tail", "tail  "}, {"s", "multi", "one\r\ntwo\nthree"}, {"s", "after", "2"},
    };
    Apply(writes);
    ForgetCache(ours);
    // The API loses the blanks and quotes of its own file, never of ours.
    EXPECT_EQ(ApiRead(ours, {"s", "lead"}), "  lead");
    EXPECT_EQ(ApiRead(theirs, {"s", "lead"}), "lead");
    EXPECT_EQ(ApiRead(ours, {"s", "quoted"}), "'q'");
    EXPECT_EQ(ApiRead(theirs, {"s", "quoted"}), "q");
    EXPECT_EQ(ApiRead(ours, {"s", "dq"}), "\"dq\"");
    EXPECT_EQ(ApiRead(ours, {"s", "tail"}), "tail  ");
    // A line break in a value stays on the value's line in ours; the API's
    // own file gets a line the next read takes for something else.
    EXPECT_EQ(ApiRead(ours, {"s", "multi"}), "one\\ntwo\\nthree");
    EXPECT_NE(ApiRead(theirs, {"s", "multi"}), "one\r\ntwo\nthree");
    EXPECT_EQ(ApiRead(ours, {"s", "after"}), "2");
    EXPECT_EQ(ApiRead(ours, {"s", "before"}), "1");
}

namespace {

// Notepad's three marked encodings, each with its own conversion to and from
// wide text, made here with the system's converters, not the product's.
struct Encoding {
    const char* name;
    const char* mark;
    std::string (*encode)(const std::wstring&);
    std::wstring (*decode)(const std::string&);
};

std::string Utf16Le(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}
std::wstring FromUtf16Le(const std::string& bytes) {
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}
std::string Swap16(std::string bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}
std::string Utf16Be(const std::wstring& text) { return Swap16(Utf16Le(text)); }
std::wstring FromUtf16Be(const std::string& bytes) { return FromUtf16Le(Swap16(bytes)); }

const Encoding kEncodings[] = {
    {"UTF-16LE", "\xFF\xFE", Utf16Le, FromUtf16Le},
    {"UTF-16BE", "\xFE\xFF", Utf16Be, FromUtf16Be},
    {"UTF-8", "\xEF\xBB\xBF", platform::Utf8FromWide, platform::WideFromUtf8},
};

std::string FileIn(const Encoding& e, const std::wstring& text) { return e.mark + e.encode(text); }

// The file's text, when it is in that encoding with its mark.
std::wstring TextOf(const Encoding& e, const std::string& bytes) {
    const std::string mark = e.mark;
    if (bytes.compare(0, mark.size(), mark) != 0) return L"<not " + std::wstring(e.name, e.name + std::strlen(e.name)) + L">";
    return e.decode(bytes.substr(mark.size()));
}

}  // namespace

// Notepad's marked files ("Unicode", "Unicode big endian", "UTF-8 with BOM"):
// the API reads them as text and keeps their encoding and mark when it
// writes. Ours reads the same texts, as code page 936 whatever the system's
// code page, and adds keys in the file's encoding too.
TEST_F(IniDifferential, MarkedFilesReadAndTakeKeysAsTheApiDoes) {
    const std::vector<std::pair<std::wstring, std::wstring>> lookups = {
        {L"语言设置", L"系统语言"}, {L"TPropertyForm", L"Caption"}, {L"tpropertyform", L"HINT"},
        {L"TPropertyForm", L"absent"}, {L"absent", L"Caption"}};
    const std::vector<std::pair<std::wstring, std::wstring>> writes = {
        {L"Label1.Caption", L"（无可用的参数）"}, {L"btnOk.Caption", L"确定(&O)"}};
    const std::wstring theirsWide(theirs.begin(), theirs.end());
    for (const Encoding& e : kEncodings) {
        SCOPED_TRACE(e.name);
        Load(FileIn(e, L"; 注释\r\n[语言设置]\r\n系统语言=EN\r\n[TPropertyForm]\r\nCaption=语音盒参数设置\r\n"
                       L"  Hint = \"q\" \r\n"));
        platform::TIniFile ini(ours);
        for (const auto& l : lookups) {
            wchar_t api[4096];
            GetPrivateProfileStringW(l.first.c_str(), l.second.c_str(), L"<none>", api, 4096, theirsWide.c_str());
            EXPECT_EQ(platform::GbkToUtf8(OurRead(ini, {platform::WideToGbk(l.first), platform::WideToGbk(l.second)})),
                      platform::Utf8FromWide(api));
        }
        for (const auto& w : writes) {
            ASSERT_TRUE(ini.AddString("TPropertyForm", platform::WideToGbk(w.first), platform::WideToGbk(w.second)));
            ASSERT_TRUE(ini.UpdateFile());
            WritePrivateProfileStringW(L"TPropertyForm", w.first.c_str(), w.second.c_str(), theirsWide.c_str());
        }
        ASSERT_TRUE(ini.AddString("New", "k", "v"));
        ASSERT_TRUE(ini.UpdateFile());
        WritePrivateProfileStringW(L"New", L"k", L"v", theirsWide.c_str());
        ForgetCache(theirs);
        const std::string oursBytes = ovtest::ReadBytes(ours), theirsBytes = ovtest::ReadBytes(theirs);
        EXPECT_EQ(Normalized(platform::Utf8FromWide(TextOf(e, oursBytes))),
                  Normalized(platform::Utf8FromWide(TextOf(e, theirsBytes))));
        // The new caption in the file's own bytes: E7 A1 AE E5 AE 9A in UTF-8.
        const std::string added = e.encode(L"btnOk.Caption=确定(&O)\r\n");
        EXPECT_NE(oursBytes.find(added), std::string::npos);
        EXPECT_NE(theirsBytes.find(added), std::string::npos);
    }
}

// Without a mark a file is 8-bit text to the API, whatever it holds: UTF-8
// bytes do not spell the code page 936 names, for the API or for us.
TEST_F(IniDifferential, AFileWithoutAMarkIsEightBitText) {
    Load(platform::Utf8FromWide(L"[语言设置]\r\n系统语言=EN\r\n[s]\r\nk=v\r\n"));
    platform::TIniFile ini(ours);
    for (const Lookup& l : {Lookup{platform::WideToGbk(L"语言设置"), platform::WideToGbk(L"系统语言")}, Lookup{"s", "k"}}) {
        EXPECT_EQ(OurRead(ini, l), ApiRead(theirs, l));
        EXPECT_EQ(ini.Find(l.section, l.key, nullptr), ApiFinds(theirs, l));
    }
}
