// The simulated box's scenario reader: scenarios, tracing-driver logs, and
// files no one should have to trust.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "tools/simdrv/Scenario.h"
#include "tools/simdrv/ScenarioFile.h"

namespace {

using simdrv::ParseScenario;
using simdrv::ProblemReport;
using simdrv::Scenario;
using simdrv::TextEncoding;

std::string TextOf(const simdrv::ScriptedEvent& event) {
    return std::string(event.Record.Text, strnlen(event.Record.Text, sizeof event.Record.Text));
}

TEST(ScenarioFile, ReadsTimesCodesTextsAndRepeat) {
    const Scenario s = ParseScenario(
        "# the demo\r\n"
        "0.4 30 13800138000\r\n"
        "  ; indented comment\n"
        "\n"
        "1 31\n"
        "2.25\t-7\t\"  spaced \\\"quoted\\\" \\xb2\\xe2 \"  \n"
        "3 32 \xce\xb4\xd6\xaa\xba\xc5\xc2\xeb  \n"
        "3 30 1234567890123456789012345678901234567890123456\n"
        "repeat 4\n");
    EXPECT_EQ(s.ProblemCount, 0) << s.Problems[0].Message;
    EXPECT_FALSE(s.FromTrace);
    EXPECT_EQ(s.RepeatMs, 4000);
    ASSERT_EQ(s.Events.size(), 5u);
    EXPECT_EQ(s.Events[0].AtMs, 400);
    EXPECT_EQ(s.Events[0].Record.Code, 30);
    EXPECT_EQ(TextOf(s.Events[0]), "13800138000");
    EXPECT_EQ(s.Events[1].AtMs, 1000);
    EXPECT_EQ(TextOf(s.Events[1]), "");
    EXPECT_EQ(s.Events[2].AtMs, 2250);
    EXPECT_EQ(s.Events[2].Record.Code, -7);
    EXPECT_EQ(TextOf(s.Events[2]), "  spaced \"quoted\" \xb2\xe2 ");
    EXPECT_EQ(TextOf(s.Events[3]), "\xce\xb4\xd6\xaa\xba\xc5\xc2\xeb") << "code page 936 bytes kept, blanks trimmed";
    EXPECT_EQ(TextOf(s.Events[4]).size(), 46u) << "a full field, no NUL";
    for (const auto& e : s.Events) EXPECT_EQ(e.Result, 1);
}

TEST(ScenarioFile, ReportsMalformedLinesByNumberAndPlaysTheRest) {
    const Scenario s = ParseScenario(
        "1 30 first\n"            // 1
        "soon 30 x\n"             // 2: time
        "1.2345 30 x\n"           // 3: four decimals
        "2 thirty x\n"            // 4: code
        "2 4294967296 x\n"        // 5: code out of range
        "2 30 \"open\n"           // 6: no closing quote
        "2 30 \"bad \\q\"\n"      // 7: escape
        "2 30 \"a\" b\n"          // 8: after the quote
        "2 30 12345678901234567890123456789012345678901234567\n"  // 9: 47 bytes
        "0.5 30 back\n"           // 10: earlier than the event before
        "repeat 0\n"              // 11
        "2 32 last\n");           // 12
    ASSERT_EQ(s.Events.size(), 2u);
    EXPECT_EQ(TextOf(s.Events[0]), "first");
    EXPECT_EQ(TextOf(s.Events[1]), "last");
    std::vector<int> lines;
    for (const auto& p : s.Problems) {
        lines.push_back(p.Line);
        EXPECT_FALSE(p.Message.empty());
    }
    EXPECT_EQ(lines, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(s.RepeatMs, 0);
}

// Lines as the tracing driver writes them (see tools/traceproxy).
const char kTrace[] =
    "2026-12-07 23:59:59.900 tid=1072 Tma4drv_DLL_Version(\"http://voicebox.local/\") -> 1\r\n"
    "2026-12-07 23:59:59.950 tid=1072 TV_Initialize() -> 1\r\n"
    "2026-12-08 00:00:00.150 tid=1076 TV_GetEvent() -> 0\r\n"
    "2026-12-08 00:00:00.352 tid=1076 TV_GetEvent() -> 1 code=30 text=\"138\" record="
    "1e0000000000000031333800000000000000000000000000000000000000000000000000000000000000000000000000000000000000ffee\r\n"
    "2026-12-08 00:00:01.000 tid=1076 TV_GetEvent() -> 7 code=32 text=\"\" record="
    "2000000001020304000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000\r\n"
    "2026-12-08 00:00:01.100 tid=1076 TV_GetEvent() -> 1 code=30 record=1e00\r\n"
    "garbage in the middle\r\n"
    "2026-12-08 00:00:01.200 tid=1072 TV_Disable() -> 1\r\n";

TEST(ScenarioFile, TraceLogReplaysEachRecordedEventFromTheFirstInitialize) {
    const Scenario s = ParseScenario(kTrace);
    EXPECT_TRUE(s.FromTrace);
    ASSERT_EQ(s.Events.size(), 2u);
    EXPECT_EQ(s.Events[0].AtMs, 402) << "across midnight";
    EXPECT_EQ(s.Events[0].Result, 1);
    EXPECT_EQ(s.Events[0].Record.Code, 30);
    EXPECT_EQ(TextOf(s.Events[0]), "138");
    EXPECT_EQ(s.Events[0].Record.Reserved2[0], 0xff) << "the whole record, not only the text";
    EXPECT_EQ(s.Events[1].AtMs, 1050);
    EXPECT_EQ(s.Events[1].Result, 7);
    EXPECT_EQ(s.Events[1].Record.Reserved1[3], 4);
    ASSERT_EQ(s.ProblemCount, 2);
    EXPECT_EQ(s.Problems[0].Line, 6) << "a record cut short";
    EXPECT_EQ(s.Problems[1].Line, 7);
}

// The same two events as an editor may save them: the Chinese text reaches
// the record as code page 936 bytes whatever the file's encoding, and a
// byte-order mark never spoils the first line.
TEST(ScenarioFile, ReadsUtf8AndUtf16FilesAsTheirEditorsSaveThem) {
    const std::u16string text = u"# \u672a\u77e5 first line\r\n0.4 30 \u672a\u77e5\u53f7\u7801\r\n1 32 138\r\n";
    std::string utf16le = "\xFF\xFE", utf16be = "\xFE\xFF";
    for (char16_t c : text) {
        utf16le += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        utf16be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    }
    const std::string utf8 =
        "# \xe6\x9c\xaa\xe7\x9f\xa5 first line\r\n0.4 30 \xe6\x9c\xaa\xe7\x9f\xa5\xe5\x8f\xb7\xe7\xa0\x81\r\n1 32 138\r\n";
    const std::pair<std::string, TextEncoding> files[] = {{utf8, TextEncoding::Utf8},
                                                          {"\xEF\xBB\xBF" + utf8, TextEncoding::Utf8WithMark},
                                                          {utf16le, TextEncoding::Utf16Le},
                                                          {utf16be, TextEncoding::Utf16Be}};
    for (const auto& [bytes, encoding] : files) {
        const Scenario s = ParseScenario(bytes);
        EXPECT_EQ(s.Encoding, encoding) << simdrv::EncodingName(encoding);
        EXPECT_EQ(s.ProblemCount, 0) << simdrv::EncodingName(encoding) << ": " << ProblemReport(s);
        ASSERT_EQ(s.Events.size(), 2u) << simdrv::EncodingName(encoding);
        EXPECT_EQ(TextOf(s.Events[0]), "\xce\xb4\xd6\xaa\xba\xc5\xc2\xeb") << simdrv::EncodingName(encoding);
        EXPECT_EQ(s.Events[1].AtMs, 1000);
        EXPECT_EQ(TextOf(s.Events[1]), "138");
    }
    // A mark in front of a log does not hide its first time stamp either.
    const Scenario log = ParseScenario("\xEF\xBB\xBF" "2026-12-08 00:00:00.000 tid=1 TV_Initialize() -> 1\r\n");
    EXPECT_TRUE(log.FromTrace);
    EXPECT_EQ(log.ProblemCount, 0) << ProblemReport(log);
}

bool AllPrintableAscii(const std::string& text) {
    for (char c : text)
        if ((c < 0x20 || c > 0x7E) && c != '\n') return false;
    return true;
}

// The report travels as a NUL-terminated text to a terminal: a line's NULs,
// control bytes and code page 936 bytes are shown escaped, and all of its
// hundred problems get there, however long each is.
TEST(ScenarioFile, TheReportIsPrintableAndListsAHundredProblems) {
    static const char kBad[] = "so\0on 30 x\n\xce\xb4 30 x\n\x1b[2J 30 x\n1 30\xff\x07 x\n";
    const Scenario few = ParseScenario(std::string(kBad, sizeof kBad - 1));
    const std::string report = ProblemReport(few);
    EXPECT_TRUE(AllPrintableAscii(report)) << report;
    EXPECT_NE(report.find("line 1: the line holds NUL bytes"), std::string::npos) << report;
    EXPECT_NE(report.find("byte-order mark"), std::string::npos) << "a hint at UTF-16: " << report;
    EXPECT_NE(report.find("line 2: the time \"\\xce\\xb4\""), std::string::npos) << report;
    EXPECT_NE(report.find("line 3: the time \"\\x1b[2J\""), std::string::npos) << report;
    EXPECT_NE(report.find("line 4: the event code \"30\\xff\\x07\""), std::string::npos) << report;

    std::string hostile;
    for (int i = 0; i < 150; ++i) hostile += std::string(i % 2 ? 40 : 3, '\xff') + " 30 x\n" + std::string("\0\0\n", 3);
    const Scenario many = ParseScenario(hostile);
    const std::string longReport = ProblemReport(many);
    EXPECT_EQ(many.ProblemCount, 300);
    EXPECT_TRUE(AllPrintableAscii(longReport));
    EXPECT_LE(longReport.size(), simdrv::kLongestProblemReport);
    std::size_t lines = 0;
    for (char c : longReport) lines += c == '\n';
    EXPECT_EQ(lines, simdrv::kMaxProblems + 1);
    EXPECT_NE(longReport.find("line 100: "), std::string::npos);
    EXPECT_EQ(longReport.find("line 101: "), std::string::npos);
    EXPECT_NE(longReport.find("\n200 more\n"), std::string::npos) << longReport.substr(longReport.size() - 200);
}

// A week is the longest time or repeat; beyond it a value is an error
// rather than a number that wraps around in the box or the host bench.
TEST(ScenarioFile, TimesAndRepeatsBeyondAWeekAreRefused) {
    const Scenario s = ParseScenario(
        "604800 30 a\n"           // 1: a week exactly
        "604800.001 30 b\n"       // 2
        "4294967.5 30 c\n"        // 3
        "99999999999999999999 30 d\n"  // 4
        "repeat 4294967.296\n");  // 5
    ASSERT_EQ(s.Events.size(), 1u);
    EXPECT_EQ(s.Events[0].AtMs, simdrv::kLongestTimeMs);
    EXPECT_EQ(s.RepeatMs, 0);
    ASSERT_EQ(s.Problems.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(s.Problems[i].Line, static_cast<int>(i) + 2);
        EXPECT_NE(s.Problems[i].Message.find("beyond the longest, 604800 s"), std::string::npos)
            << s.Problems[i].Message;
    }
    EXPECT_EQ(ParseScenario("1 30 a\nrepeat 604800\n").RepeatMs, simdrv::kLongestTimeMs);
}

// A log is checked as a scenario is: a time going back and an impossible
// date are reported by line, not played or misnamed.
TEST(ScenarioFile, TraceLogTimesAreCheckedLikeAScenarios) {
    const std::string record = "1e00000000000000" "31" + std::string(94, '0');  // 56 bytes, code 30
    const auto poll = [&](const char* stamp) { return std::string(stamp) + " tid=9 TV_GetEvent() -> 1 record=" + record + "\r\n"; };
    const Scenario s = ParseScenario("2026-12-08 10:00:00.000 tid=8 TV_Initialize() -> 1\r\n" +  // 1
                                     poll("2026-12-08 10:00:01.000") +                            // 2
                                     poll("2026-12-08 10:00:00.500") +                            // 3: back
                                     poll("2026-13-08 10:00:02.000") +                            // 4: month 13
                                     poll("2026-02-30 10:00:02.000") +                            // 5: 30 February
                                     poll("2026-12-15 10:00:00.001") +                            // 6: past a week
                                     poll("2026-12-08 10:00:03.000"));                            // 7
    ASSERT_EQ(s.Events.size(), 2u);
    EXPECT_EQ(s.Events[0].AtMs, 1000);
    EXPECT_EQ(s.Events[1].AtMs, 3000);
    ASSERT_EQ(s.Problems.size(), 4u) << ProblemReport(s);
    EXPECT_EQ(s.Problems[0].Line, 3);
    EXPECT_EQ(s.Problems[0].Message, "the time is earlier than the event before");
    EXPECT_EQ(s.Problems[1].Line, 4);
    EXPECT_EQ(s.Problems[1].Message, "the time stamp \"2026-13-08 10:00:02.000\" is not a date and time");
    EXPECT_EQ(s.Problems[2].Line, 5);
    EXPECT_NE(s.Problems[2].Message.find("is not a date and time"), std::string::npos);
    EXPECT_EQ(s.Problems[3].Line, 6);
    EXPECT_NE(s.Problems[3].Message.find("a week"), std::string::npos) << s.Problems[3].Message;
}

// When the box hands out what it plays: an event at the first poll at or
// after its time and not a millisecond before, one event a poll, and each
// round of a repeat shifted by exactly its period.
TEST(ScenarioFile, ReplayedEventsFallDueAtTheirTimes) {
    simdrv::ScriptPlayer player;
    player.Load(ParseScenario("0.4 30 a\n1.4 31 b\n1.5 32 c\nrepeat 4\n"));
    std::string played;
    const auto poll = [&](std::int64_t ms) {
        const simdrv::ScriptedEvent* event = player.Due(ms);
        return event ? TextOf(*event) : std::string("-");
    };
    EXPECT_EQ(poll(0), "-");
    EXPECT_EQ(poll(399), "-");
    EXPECT_EQ(poll(400), "a");
    EXPECT_EQ(poll(400), "-") << "once";
    EXPECT_EQ(poll(1399), "-");
    EXPECT_EQ(poll(1600), "b") << "a late poll takes one event";
    EXPECT_EQ(poll(1600), "c") << "and the next poll the next";
    EXPECT_EQ(poll(4399), "-");
    EXPECT_EQ(poll(4400), "a") << "the second round, one period on";
    EXPECT_EQ(poll(5399), "-");
    EXPECT_EQ(poll(5400), "b");

    simdrv::ScriptPlayer once;
    once.Load(ParseScenario("0.2 30 only\n"));
    EXPECT_NE(once.Due(200), nullptr);
    EXPECT_EQ(once.Due(1000000), nullptr) << "without a repeat it plays once";
    once.Restart();
    EXPECT_EQ(once.Due(199), nullptr) << "a restart counts from the new start";
    EXPECT_NE(once.Due(200), nullptr);
}

// Mutations of valid files, and noise: the reader under AddressSanitizer
// must neither read out of bounds nor produce an event it could not play.
TEST(ScenarioFile, HostileBytesNeverBreakTheReader) {
    const std::string seeds[] = {kTrace, "0.4 30 13800138000\n1 31\n2 30 \"a\\x41\\\"\"\nrepeat 4\n"};
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = seeds[round % 2];
        const int edits = 1 + random() % 8;
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % (bytes.size() + 1);
            switch (random() % 4) {
            case 0: bytes.insert(at, 1, static_cast<char>(random())); break;
            case 1: if (at < bytes.size()) bytes.erase(at, 1 + random() % 30); break;
            case 2: if (at < bytes.size()) bytes[at] = "\"\\x\n\r 0-.9\0"[random() % 11]; break;
            default: bytes.insert(at, std::string(random() % 200, static_cast<char>(random()))); break;
            }
        }
        const Scenario s = ParseScenario(bytes);
        ASSERT_LE(s.Problems.size(), simdrv::kMaxProblems);
        std::int64_t previous = 0;
        for (const auto& event : s.Events) {
            ASSERT_GE(event.AtMs, previous) << bytes;
            previous = event.AtMs;
        }
    }
    EXPECT_EQ(ParseScenario(std::string(300000, '\n')).Events.size(), 0u);
    const Scenario flood = ParseScenario(std::string(200000, 'x') + "\n");
    EXPECT_EQ(flood.ProblemCount, 1);
    EXPECT_LT(flood.Problems[0].Message.size(), 200u) << "a problem quotes at most a little of its line";
}

}  // namespace
