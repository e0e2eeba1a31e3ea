// The simulated box's scenario reader: scenarios, tracing-driver logs, and
// files no one should have to trust.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "tools/simdrv/ScenarioFile.h"

namespace {

using simdrv::ParseScenario;
using simdrv::Scenario;

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
