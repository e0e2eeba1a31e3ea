#include "tools/simdrv/ScenarioFile.h"

#include <algorithm>
#include <cstring>

#include "platform/runtime/TextLines.h"
#include "tools/simdrv/ScenarioText.h"

namespace simdrv {
namespace {

constexpr std::size_t kStampLength = 23;  // "2026-12-07 22:06:28.554"
// How much of a line a problem quotes.
constexpr std::size_t kQuotedBytes = 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the line one blank-separated word at a time.
class Cursor {
public:
    explicit Cursor(const std::string& line) : line_(line) {}
    std::string Word() {
        SkipBlanks();
        const std::size_t start = pos_;
        while (pos_ < line_.size() && !IsBlank(line_[pos_])) ++pos_;
        return line_.substr(start, pos_ - start);
    }
    std::string Rest() {
        SkipBlanks();
        std::size_t end = line_.size();
        while (end > pos_ && IsBlank(line_[end - 1])) --end;
        return line_.substr(pos_, end - pos_);
    }

private:
    void SkipBlanks() {
        while (pos_ < line_.size() && IsBlank(line_[pos_])) ++pos_;
    }
    const std::string& line_;
    std::size_t pos_ = 0;
};

enum class Seconds { Read, Malformed, TooLong };

// "12", "0.4", "1.250": seconds with at most three decimals, as milliseconds,
// at most kLongestTimeMs.
Seconds ParseSeconds(const std::string& word, std::int64_t& ms) {
    const std::size_t dot = word.find('.');
    const std::string whole = word.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : word.substr(dot + 1);
    if (whole.empty() || fraction.size() > 3 || (dot != std::string::npos && fraction.empty())) return Seconds::Malformed;
    if (!std::all_of(whole.begin(), whole.end(), IsDigit) || !std::all_of(fraction.begin(), fraction.end(), IsDigit))
        return Seconds::Malformed;
    if (whole.size() > 10) return Seconds::TooLong;  // and std::stoll cannot overflow
    ms = std::stoll(whole) * 1000;
    if (!fraction.empty()) ms += std::stoll((fraction + "00").substr(0, 3));
    return ms <= kLongestTimeMs ? Seconds::Read : Seconds::TooLong;
}

std::string Quoted(const std::string& word, std::size_t limit = kQuotedBytes) {
    return "\"" + Printable(word, limit) + "\"";
}

std::string BeyondTheLongest(const char* what, const std::string& word) {
    return std::string(what) + " " + Quoted(word) + " is beyond the longest, " +
           std::to_string(kLongestTimeMs / 1000) + " s (a week)";
}

bool ParseInt32(const std::string& word, std::int32_t& value) {
    const bool negative = !word.empty() && word[0] == '-';
    const std::string digits = word.substr(negative ? 1 : 0);
    if (digits.empty() || digits.size() > 10 || !std::all_of(digits.begin(), digits.end(), IsDigit)) return false;
    const std::int64_t magnitude = std::stoll(digits);
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) return false;
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

// A quoted text with \", \\ and \xNN escapes; false with `why` set otherwise.
bool Unquote(const std::string& quoted, std::string& text, std::string& why) {
    text.clear();
    for (std::size_t i = 1; i < quoted.size(); ++i) {
        const char c = quoted[i];
        if (c == '"') {
            if (i + 1 == quoted.size()) return true;
            why = "text after the closing quote";
            return false;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        const char next = i + 1 < quoted.size() ? quoted[i + 1] : '\0';
        if (next == '"' || next == '\\') {
            text += next;
            ++i;
        } else if (next == 'x' && i + 3 < quoted.size() && HexValue(quoted[i + 2]) >= 0 &&
                   HexValue(quoted[i + 3]) >= 0) {
            text += static_cast<char>(HexValue(quoted[i + 2]) * 16 + HexValue(quoted[i + 3]));
            i += 3;
        } else {
            why = "unknown escape in the quoted text (use \\\", \\\\ or \\xNN)";
            return false;
        }
    }
    why = "the quoted text has no closing quote";
    return false;
}

std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return std::int64_t(era) * 146097 + doe - 719468;
}

bool LooksLikeTraceLine(const std::string& line) {
    return line.size() >= kStampLength && IsDigit(line[0]) && line[4] == '-' && line[7] == '-' && line[10] == ' ';
}

// "YYYY-MM-DD HH:MM:SS.mmm" as milliseconds since 1970.
bool ParseStamp(const std::string& line, std::int64_t& ms) {
    static const char kShape[] = "dddd-dd-dd dd:dd:dd.ddd";
    for (std::size_t i = 0; i < kStampLength; ++i)
        if (kShape[i] == 'd' ? !IsDigit(line[i]) : line[i] != kShape[i]) return false;
    auto number = [&](std::size_t at, std::size_t length) { return std::stoi(line.substr(at, length)); };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2), hour = number(11, 2),
              minute = number(14, 2), second = number(17, 2);
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 60) return false;
    const int nextMonth = month == 12 ? 1 : month + 1, nextYear = month == 12 ? year + 1 : year;
    if (day > DaysFromCivil(nextYear, nextMonth, 1) - DaysFromCivil(year, month, 1)) return false;
    ms = ((DaysFromCivil(number(0, 4), month, day) * 24 + hour) * 60 + minute) * 60000LL + second * 1000LL +
         number(20, 3);
    return true;
}

class Reader {
public:
    Scenario Read(const std::string& bytes);

private:
    void Problem(const std::string& message) {
        ++scenario_.ProblemCount;
        if (scenario_.Problems.size() < kMaxProblems)
            scenario_.Problems.push_back({lineNumber_, message.substr(0, kLongestProblemMessage)});
    }
    // Times go forward in both forms; a time out of order is the line's mistake.
    bool InOrder(std::int64_t atMs) {
        if (atMs >= lastAtMs_) return true;
        Problem("the time is earlier than the event before");
        return false;
    }
    bool Add(const ScriptedEvent& event) {
        if (scenario_.Events.size() >= kMaxScenarioEvents) {
            Problem("more than " + std::to_string(kMaxScenarioEvents) + " events; the rest is not played");
            return false;
        }
        scenario_.Events.push_back(event);
        return true;
    }
    bool ScenarioLine(const std::string& line);
    bool TraceLine(const std::string& line);

    Scenario scenario_;
    int lineNumber_ = 0;
    bool decided_ = false;
    std::int64_t lastAtMs_ = 0;
    std::int64_t traceOrigin_ = -1;
};

bool Reader::ScenarioLine(const std::string& line) {
    Cursor cursor(line);
    const std::string first = cursor.Word();
    if (first == "repeat") {
        std::int64_t period = 0;
        const std::string word = cursor.Word();
        const Seconds read = ParseSeconds(word, period);
        if (read == Seconds::TooLong)
            Problem(BeyondTheLongest("the repeat", word));
        else if (read != Seconds::Read || period == 0 || !cursor.Rest().empty())
            Problem("\"repeat\" takes one time in seconds, greater than 0");
        else if (scenario_.RepeatMs)
            Problem("a second \"repeat\"");
        else
            scenario_.RepeatMs = period;
        return true;
    }
    ScriptedEvent event;
    const Seconds read = ParseSeconds(first, event.AtMs);
    if (read != Seconds::Read) {
        Problem(read == Seconds::TooLong ? BeyondTheLongest("the time", first)
                                         : "the time " + Quoted(first) + " is not seconds such as 2 or 0.25");
        return true;
    }
    if (!InOrder(event.AtMs)) return true;
    const std::string codeWord = cursor.Word();
    if (!ParseInt32(codeWord, event.Record.Code)) {
        Problem("the event code " + Quoted(codeWord) + " is not a 32-bit whole number");
        return true;
    }
    std::string text = cursor.Rest(), why;
    if (!text.empty() && text[0] == '"' && !Unquote(std::string(text), text, why)) {
        Problem(why);
        return true;
    }
    if (text.size() > sizeof event.Record.Text) {
        Problem("the text is " + std::to_string(text.size()) + " bytes; the box sends at most 46");
        return true;
    }
    std::memcpy(event.Record.Text, text.data(), text.size());
    lastAtMs_ = event.AtMs;
    return Add(event);
}

bool Reader::TraceLine(const std::string& line) {
    std::int64_t stamp = 0;
    if (!LooksLikeTraceLine(line)) {
        Problem("not a line of the tracing driver's log (no time stamp)");
        return true;
    }
    if (!ParseStamp(line, stamp)) {
        Problem("the time stamp " + Quoted(line.substr(0, kStampLength), kStampLength) + " is not a date and time");
        return true;
    }
    const std::size_t call = line.find(' ', line.find(" tid=") + 1);
    const std::string what = call == std::string::npos ? std::string() : line.substr(call + 1);
    if (what.compare(0, 19, "TV_Initialize() -> ") == 0 && traceOrigin_ < 0) traceOrigin_ = stamp;
    if (what.compare(0, 17, "TV_GetEvent() -> ") != 0) return true;
    Cursor cursor(what);
    cursor.Word(), cursor.Word();  // "TV_GetEvent()" "->"
    ScriptedEvent event;
    if (!ParseInt32(cursor.Word(), event.Result)) {
        Problem("the poll's result is not a whole number");
        return true;
    }
    if (event.Result <= 0) return true;  // a quiet poll
    const std::size_t at = what.rfind(" record=");
    const std::string hex = at == std::string::npos ? std::string() : what.substr(at + 8);
    if (hex.size() != 2 * sizeof event.Record) {
        Problem("the poll's record is not 56 bytes in hex");
        return true;
    }
    auto* bytes = reinterpret_cast<unsigned char*>(&event.Record);
    for (std::size_t i = 0; i < sizeof event.Record; ++i) {
        const int high = HexValue(hex[2 * i]), low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            Problem("the poll's record holds a character that is not hex");
            return true;
        }
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    // Times count from the TV_Initialize before the first event, or from
    // the first event when the log has none before it.
    if (traceOrigin_ < 0) traceOrigin_ = stamp;
    event.AtMs = stamp - traceOrigin_;
    if (event.AtMs > kLongestTimeMs) {
        Problem("the event comes more than " + std::to_string(kLongestTimeMs / 1000) +
                " s (a week) after the box was enabled");
        return true;
    }
    if (!InOrder(event.AtMs)) return true;
    lastAtMs_ = event.AtMs;
    return Add(event);
}

Scenario Reader::Read(const std::string& fileBytes) {
    for (const std::string& line : platform::SplitLines(DecodeScenarioText(fileBytes, scenario_.Encoding))) {
        ++lineNumber_;
        const std::string first = Cursor(line).Word();
        if (first.empty() || first[0] == '#' || first[0] == ';') continue;
        if (line.find('\0') != std::string::npos) {
            Problem("the line holds NUL bytes: a file saved as UTF-16 needs its byte-order mark; or save it as "
                    "UTF-8 or ANSI");
            continue;
        }
        if (!decided_) {
            scenario_.FromTrace = LooksLikeTraceLine(line);
            decided_ = true;
        }
        if (!(scenario_.FromTrace ? TraceLine(line) : ScenarioLine(line))) break;
    }
    return std::move(scenario_);
}

}  // namespace

Scenario ParseScenario(const std::string& bytes) { return Reader().Read(bytes); }

std::string ProblemReport(const Scenario& scenario) {
    std::string report;
    for (const ScenarioProblem& problem : scenario.Problems)
        report += "line " + std::to_string(problem.Line) + ": " + problem.Message + "\n";
    if (scenario.ProblemCount > static_cast<int>(scenario.Problems.size()))
        report += std::to_string(scenario.ProblemCount - scenario.Problems.size()) + " more\n";
    return report;
}

}  // namespace simdrv
