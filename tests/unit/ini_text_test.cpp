// The INI core on bytes in memory: how files written elsewhere read, and the
// exact bytes each change produces.
#include <gtest/gtest.h>

#include <string>

#include "platform/ini/IniText.h"

using platform::TIniText;

namespace {

// The value of section/key, or "<none>" when it is not found.
std::string Get(const std::string& bytes, const std::string& section, const std::string& key) {
    std::string value;
    return TIniText(bytes).Find(section, key, &value) ? value : "<none>";
}

std::string AfterSet(const std::string& bytes, const std::string& section, const std::string& key,
                     const std::string& value) {
    TIniText text(bytes);
    EXPECT_TRUE(text.Set(section, key, value));
    return text.Bytes();
}

}  // namespace

TEST(IniRead, NamesMatchWithoutAsciiCaseButGbkCharactersStayWhole) {
    EXPECT_EQ(Get("[Sect]\r\nKey=Value\r\n", "sECT", "kEY"), "Value");
    // 0x81 0x41 and 0x81 0x61 are two different characters, not "A" and "a".
    const std::string upper = "\x81\x41", lower = "\x81\x61";
    EXPECT_EQ(Get("[" + upper + "]\r\nk=1\r\n", upper, "K"), "1");
    EXPECT_EQ(Get("[" + upper + "]\r\nk=1\r\n", lower, "k"), "<none>");
    EXPECT_EQ(Get("[s]\r\n" + upper + "B=2\r\n", "s", upper + "b"), "2");
    EXPECT_EQ(Get("[s]\r\n" + upper + "B=2\r\n", "s", lower + "b"), "<none>");
    // A lead byte at the very end has no trail byte to pair with.
    EXPECT_EQ(Get("[s]\r\nA\x81=3\r\n", "s", "a\x81"), "3");
    EXPECT_EQ(Get("[语言设置]\r\n系统语言=EN\r\n", "语言设置", "系统语言"), "EN");
}

TEST(IniRead, BlanksAroundNamesAndValuesAreIgnored) {
    const std::string file = "  [ Sect ]  \r\n\t key \t=  value with  inner \t\r\n";
    EXPECT_EQ(Get(file, "Sect", "key"), "value with  inner");
    EXPECT_EQ(Get(file, " Sect\t", "\tkey "), "value with  inner");
    EXPECT_EQ(Get("[s]\r\nk =\r\n", "s", "k"), "");
    EXPECT_EQ(Get("[s]\r\nk=a=b\r\n", "s", "k"), "a=b");
}

TEST(IniRead, OneOuterPairOfMatchingQuotesIsRemoved) {
    const std::string file =
        "[q]\r\n"
        "d=\"double\"\r\n"
        "s='single'\r\n"
        "mixed=\"ab'\r\n"
        "one=\"\r\n"
        "empty=\"\"\r\n"
        "spaced=  \" in side \"  \r\n"
        "nested=\"\"x\"\"\r\n"
        "inner=a\"b\"\r\n";
    EXPECT_EQ(Get(file, "q", "d"), "double");
    EXPECT_EQ(Get(file, "q", "s"), "single");
    EXPECT_EQ(Get(file, "q", "mixed"), "\"ab'");
    EXPECT_EQ(Get(file, "q", "one"), "\"");
    EXPECT_EQ(Get(file, "q", "empty"), "");
    EXPECT_EQ(Get(file, "q", "spaced"), " in side ");
    EXPECT_EQ(Get(file, "q", "nested"), "\"x\"");
    EXPECT_EQ(Get(file, "q", "inner"), "a\"b\"");
}

TEST(IniRead, LineStructure) {
    const std::string mixed = "[a]\nk1=1\rk2=2\r\n\n\rk3=3";
    EXPECT_EQ(Get(mixed, "a", "k1"), "1");
    EXPECT_EQ(Get(mixed, "a", "k2"), "2");
    EXPECT_EQ(Get(mixed, "a", "k3"), "3");
    // The first ']' ends the name, unless it is the second byte of a character.
    EXPECT_EQ(Get("[a]b]\r\nk=1\r\n", "a", "k"), "1");
    EXPECT_EQ(Get("[a]b]\r\nk=1\r\n", "a]b", "k"), "<none>");
    EXPECT_EQ(Get("[\x81\x5D]\r\nk=2\r\n", "\x81\x5D", "k"), "2");
    // Comments and lines without '=' are never keys.
    const std::string notes = "[a]\r\n;k=1\r\n  ;j=2\r\nlonely\r\n[b\r\nx=3\r\n";
    EXPECT_EQ(Get(notes, "a", ";k"), "<none>");
    EXPECT_EQ(Get(notes, "a", "k"), "<none>");
    EXPECT_EQ(Get(notes, "a", ";j"), "<none>");
    EXPECT_EQ(Get(notes, "a", "lonely"), "<none>");
    // A '[' line without ']' heads nothing, so x stays in section a.
    EXPECT_EQ(Get(notes, "a", "x"), "3");
    // Keys before the first section belong to none.
    EXPECT_EQ(Get("k=0\r\n[a]\r\n", "", "k"), "<none>");
    EXPECT_EQ(Get("[]\r\nk=0\r\n", "", "k"), "0");
}

// The settings are looked up in blocks: wherever a block ends (between a CR
// and its LF, inside a name, on the last line without its line end), the
// lookup reads what the whole text gives.
TEST(IniRead, ALookupFedInPiecesReadsAsTheWholeText) {
    const std::string text = "[a]\r\nk=1\r\n\r\n[b]\n k = two \rj=3\n[c]\nz=5";
    const char* const lookups[][3] = {{"a", "k", "1"}, {"B", "K", "two"}, {"b", "j", "3"},
                                      {"c", "z", "5"}, {"b", "z", "<none>"}};
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        for (const auto& l : lookups) {
            platform::TIniLookup lookup(l[0], l[1]);
            lookup.Feed(text.data(), cut);
            lookup.Feed(text.data() + cut, text.size() - cut);
            lookup.Finish();
            EXPECT_EQ(lookup.Found() ? lookup.Value() : "<none>", l[2]) << l[0] << "/" << l[1] << " cut at " << cut;
        }
    }
}

TEST(IniRead, FirstOfDuplicateSectionsAndKeysWins) {
    const std::string file = "[a]\r\nk=1\r\nK=2\r\n[A]\r\nk=3\r\nj=4\r\n";
    EXPECT_EQ(Get(file, "a", "k"), "1");
    EXPECT_EQ(Get(file, "a", "j"), "<none>");
    EXPECT_EQ(AfterSet(file, "A", "K", "9"), "[a]\r\nk=9\r\nK=2\r\n[A]\r\nk=3\r\nj=4\r\n");
}

TEST(IniWrite, EveryByteAChangeDoesNotTouchStays) {
    const std::string bytes = std::string("\xEF\xBB\xBF;x\n\r[a]\r\n\r\n  \t\n") + '\0' + "\xFF\x81\r";
    EXPECT_EQ(TIniText(bytes).Bytes(), bytes);
    const std::string file = "; head\n[a]\n x = 1 \n\n[b]\r\ny=2\r\n";
    EXPECT_EQ(AfterSet(file, "b", "y", "3"), "; head\n[a]\n x = 1 \n\n[b]\r\ny=3\r\n");
    // The rewritten line keeps the file's spelling of the name and ends in CR LF.
    EXPECT_EQ(AfterSet(file, "A", "X", "new"), "; head\n[a]\nx=new\r\n\n[b]\r\ny=2\r\n");
}

TEST(IniWrite, NewKeyGoesAfterTheLastNonBlankLineOfItsSection) {
    EXPECT_EQ(AfterSet("[a]\r\nx=1\r\n\r\n; note\r\n\r\n[b]\r\ny=2\r\n", "A", "new", "v"),
              "[a]\r\nx=1\r\n\r\n; note\r\nnew=v\r\n\r\n[b]\r\ny=2\r\n");
    EXPECT_EQ(AfterSet("[a]\r\n\r\n\r\n", "a", "k", "v"), "[a]\r\nk=v\r\n\r\n\r\n");
    EXPECT_EQ(AfterSet("[a]\r\nx=1", "a", "y", "2"), "[a]\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(AfterSet("[a]", "a", "y", "2"), "[a]\r\ny=2\r\n");
}

TEST(IniWrite, NewSectionGoesAtTheEndWithoutABlankLine) {
    EXPECT_EQ(AfterSet("", "S", "k", "v"), "[S]\r\nk=v\r\n");
    EXPECT_EQ(AfterSet("[a]\nx=1\n\n", "b", "k", "v"), "[a]\nx=1\n\n[b]\r\nk=v\r\n");
    EXPECT_EQ(AfterSet("[a]\nx=1", "b", "k", "v"), "[a]\nx=1\r\n[b]\r\nk=v\r\n");
    EXPECT_EQ(AfterSet(";only a comment\r", "b", "k", "v"), ";only a comment\r[b]\r\nk=v\r\n");
    EXPECT_EQ(AfterSet("", "  spaced  ", "  key\t", "v"), "[spaced]\r\nkey=v\r\n");
}

TEST(IniWrite, AValueStaysOnOneLineAndReadsBackAsWritten) {
    EXPECT_EQ(AfterSet("", "s", "k", "a\r\nb\rc\nd\n\re"), "[s]\r\nk=a\\nb\\nc\\nd\\n\\ne\r\n");
    EXPECT_EQ(AfterSet("", "s", "k", std::string("cut\0here", 8)), "[s]\r\nk=cut\r\n");
    for (const std::string v : {" lead", "trail\t", "'q'", "\"dq\"", "\"", "'", "\"x'", "", "''",
                                " \" ", "a = b ; c", "\x81\x5C\x6E"}) {
        TIniText text;
        ASSERT_TRUE(text.Set("s", "k", v));
        std::string back;
        ASSERT_TRUE(text.Find("s", "k", &back)) << v;
        EXPECT_EQ(back, v);
        EXPECT_EQ(TIniText(text.Bytes()).Find("s", "k", &back) ? back : "<none>", v);
    }
    EXPECT_EQ(AfterSet("", "s", "k", " x"), "[s]\r\nk=\" x\"\r\n");
    EXPECT_EQ(AfterSet("", "s", "k", "'q'"), "[s]\r\nk=\"'q'\"\r\n");
}

TEST(IniWrite, NamesNoLineCouldHoldAreRefused) {
    const std::string file = "[a]\r\nk=1\r\n";
    for (const auto& names : {std::pair<std::string, std::string>{"a]b", "k"},
                              {"a\r\nb", "k"},
                              {"a\x81", "k"},
                              {std::string("a\0b", 3), "k"},
                              {"a", "x=y"},
                              {"a", ";k"},
                              {"a", "[k"},
                              {"a", "x\ny"}}) {
        TIniText text(file);
        EXPECT_FALSE(text.Set(names.first, names.second, "v")) << names.first << "/" << names.second;
        EXPECT_EQ(text.Bytes(), file);
    }
    // A ']' or '[' inside a double-byte character is no bracket.
    EXPECT_EQ(AfterSet("", "\x81\x5D", "\x81\x5B", "v"), "[\x81\x5D]\r\n\x81\x5B=v\r\n");
    EXPECT_EQ(Get(AfterSet("", "\x81\x5D", "k", "v"), "\x81\x5D", "K"), "v");
}

TEST(IniWrite, WritingEveryKeyAgainChangesNothing) {
    TIniText text;
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(text.Set("s" + std::to_string(i % 3), "k" + std::to_string(i), std::to_string(i)));
    }
    const std::string once = text.Bytes();
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(text.Set("S" + std::to_string(i % 3), "K" + std::to_string(i), std::to_string(i)));
    }
    EXPECT_EQ(text.Bytes(), once);
    EXPECT_EQ(once.substr(0, 24), "[s0]\r\nk0=0\r\nk3=3\r\nk6=6\r\n");
}

// What the translator never appends to: a file that is not text (random bytes,
// UTF-16 without its mark), or text without a single line of the INI form.
// Anything an editor saves as an INI file, empty or only comments, stays text.
TEST(IniText, NotTextIsNulBytesOrNoLineOfTheIniForm) {
    EXPECT_TRUE(platform::IsIniText(""));
    EXPECT_TRUE(platform::IsIniText("\r\n \t\r\n\n"));
    EXPECT_TRUE(platform::IsIniText("  ; only a comment\r\n"));
    EXPECT_TRUE(platform::IsIniText("junk line\r\n\x81\x40 more junk\r\n[TPropertyForm]"));
    EXPECT_TRUE(platform::IsIniText("junk\nlonely=key"));
    EXPECT_FALSE(platform::IsIniText(std::string("[s]\r\nk=v\r\n\0", 12)));
    EXPECT_FALSE(platform::IsIniText(std::string("[\0s\0]\0\r\0\n\0", 10)));  // UTF-16LE without a mark
    EXPECT_FALSE(platform::IsIniText("no line here\r\nis of the form\r\n[not closed\r\n"));
}
