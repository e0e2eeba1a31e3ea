#include "platform/ini/IniText.h"

#include <string_view>

#include "platform/runtime/TextLines.h"

namespace platform {

namespace {

const std::size_t kNpos = std::string::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

bool IsLead(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

bool IsTrail(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

std::size_t CharLength(const char* s, std::size_t i, std::size_t end) {
    return IsLead(s[i]) && i + 1 < end && IsTrail(s[i + 1]) ? 2 : 1;
}

std::string Trim(const char* s, std::size_t begin, std::size_t end) {
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return std::string(s + begin, end - begin);
}

std::string Trim(const std::string& s) { return Trim(s.data(), 0, s.size()); }

bool IsQuote(char c) { return c == '"' || c == '\''; }

// A trail byte may be 0x5D, so the bracket is looked for character by character.
std::size_t FindCloseBracket(const char* s, std::size_t from, std::size_t end) {
    for (std::size_t i = from; i < end; i += CharLength(s, i, end)) {
        if (s[i] == ']') return i;
    }
    return kNpos;
}

// A name whose last byte is a lead byte would swallow the ']' written after it.
bool EndsInLoneLeadByte(const std::string& s) {
    std::size_t i = 0, last = 0;
    for (; i < s.size(); i += GbkCharLength(s, i)) last = i;
    return !s.empty() && GbkCharLength(s, last) == 1 && IsLead(s[last]);
}

bool HasLineBreakOrNul(const std::string& s) {
    return s.find_first_of(std::string("\r\n\0", 3)) != kNpos;
}

bool IsBlankLine(const char* s, std::size_t length) {
    return std::string_view(s, length).find_first_not_of(" \t") == kNpos;
}

std::string ValueOf(const char* line, std::size_t length) {
    const char* eq = static_cast<const char*>(std::char_traits<char>::find(line, length, '='));
    std::string value = Trim(line, static_cast<std::size_t>(eq - line) + 1, length);
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

bool NeedsQuotes(const std::string& v) {
    if (v.empty()) return false;
    if (IsBlank(v.front()) || IsBlank(v.back())) return true;
    return v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front();
}

std::string EncodeValue(const std::string& value) {
    const std::string out = EscapeLineBreaks(value.substr(0, value.find('\0')));
    return NeedsQuotes(out) ? '"' + out + '"' : out;
}

enum class TKind { Other, Comment, Section, Key };

// What a line is, and where its name lies: [begin, end), without the blanks
// around it.
struct TLineKind {
    TKind kind = TKind::Other;
    std::size_t begin = 0, end = 0;
};

TLineKind Classify(const char* t, std::size_t n) {
    TLineKind line;
    std::size_t i = 0;
    while (i < n && IsBlank(t[i])) ++i;
    if (i == n) return line;
    if (t[i] == ';') return TLineKind{TKind::Comment};
    std::size_t end = kNpos;
    if (t[i] == '[') {
        end = FindCloseBracket(t, i + 1, n);
        if (end != kNpos) {
            line.kind = TKind::Section;
            ++i;
        }
    }
    if (line.kind == TKind::Other) {
        const void* eq = std::char_traits<char>::find(t, n, '=');
        if (!eq) return line;
        line.kind = TKind::Key;
        end = static_cast<std::size_t>(static_cast<const char*>(eq) - t);
    }
    while (i < end && IsBlank(t[i])) ++i;
    while (end > i && IsBlank(t[end - 1])) --end;
    line.begin = i;
    line.end = end;
    return line;
}

// Compares the length first, so most lines are rejected without a copy.
bool SameName(const char* t, const TLineKind& line, const std::string& folded) {
    if (line.end - line.begin != folded.size()) return false;
    return TIniText::FoldCase(std::string(t + line.begin, line.end - line.begin)) == folded;
}

// Hands visit each line that is not empty, in order, until it returns true.
// Empty lines are skipped a byte at a time, as a file may hold millions.
template <class Visit>
void ForEachLine(std::string_view bytes, Visit visit) {
    for (std::size_t at = 0; at < bytes.size();) {
        if (IsLineBreak(bytes[at])) {
            ++at;
            continue;
        }
        const TLine line = LineAt(bytes, at);
        if (visit(line)) return;
        at = line.next;
    }
}

}  // namespace

std::size_t GbkCharLength(const std::string& s, std::size_t i) {
    return CharLength(s.data(), i, s.size());
}

std::string EscapeLineBreaks(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' || value[i] == '\n') {
            if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
            out += "\\n";
        } else {
            out += value[i];
        }
    }
    return out;
}

std::string UnescapeLineBreaks(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (GbkCharLength(value, i) == 2) {
            out += value[i];
            out += value[++i];
        } else if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

bool IsIniText(const std::string& bytes) {
    if (bytes.find('\0') != kNpos) return false;
    bool blank = true, iniLine = false;
    ForEachLine(bytes, [&](const TLine& line) {
        const char* t = bytes.data() + line.begin;
        const std::size_t n = line.end - line.begin;
        if (IsBlankLine(t, n)) return false;
        blank = false;
        iniLine = Classify(t, n).kind != TKind::Other;
        return iniLine;
    });
    return blank || iniLine;
}

TIniLookup::TIniLookup(const std::string& section, const std::string& key)
    : section_(TIniText::FoldCase(Trim(section))), key_(TIniText::FoldCase(Trim(key))) {
    done_ = HasLineBreakOrNul(section) || HasLineBreakOrNul(key);
}

bool TIniLookup::Feed(const char* text, std::size_t length) {
    std::string_view rest(text, length);
    if (!done_ && !cut_.empty()) {
        const std::size_t brk = rest.find_first_of("\r\n");
        cut_.append(rest.substr(0, brk));
        if (brk == kNpos) return false;
        done_ = FeedLine(cut_.data(), cut_.size());
        std::string().swap(cut_);  // a long line's memory goes with it
        rest.remove_prefix(brk);
    }
    const std::size_t whole = rest.find_last_of("\r\n") + 1;  // 0 when there is none
    if (!done_) {
        ForEachLine(rest.substr(0, whole), [&](const TLine& line) {
            return done_ = FeedLine(rest.data() + line.begin, line.end - line.begin);
        });
    }
    if (!done_) cut_.assign(rest.substr(whole));
    return done_;
}

void TIniLookup::Finish() {
    if (!done_ && !cut_.empty()) done_ = FeedLine(cut_.data(), cut_.size());
}

bool TIniLookup::FeedLine(const char* line, std::size_t length) {
    const TLineKind kind = Classify(line, length);
    if (kind.kind == TKind::Section) {
        if (sectionSeen_) return true;  // the first of its name has ended
        inSection_ = sectionSeen_ = SameName(line, kind, section_);
    } else if (kind.kind == TKind::Key && inSection_ && SameName(line, kind, key_)) {
        value_ = ValueOf(line, length);
        found_ = true;
        return true;
    }
    return false;
}

std::string TIniText::FoldCase(const std::string& name) {
    std::string out = name;
    for (std::size_t i = 0; i < out.size(); i += GbkCharLength(out, i)) {
        if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
    }
    return out;
}

bool TIniText::Find(const std::string& section, const std::string& key, std::string* value) const {
    TIniLookup lookup(section, key);
    lookup.Feed(bytes_.data(), bytes_.size());
    lookup.Finish();
    if (!lookup.Found()) return false;
    if (value) *value = lookup.Value();
    return true;
}

// Where a write of section/key goes in the bytes.
struct TIniText::TPlace {
    bool section = false;      // the section is there
    TLine key{kNpos, 0, 0};     // its key's line, begin kNpos when absent
    TLine last{0, 0, 0};       // the section's last non-blank line (its header at least)
};

TIniText::TPlace TIniText::Locate(const std::string& section, const std::string& key) const {
    const std::string wantSection = FoldCase(Trim(section));
    const std::string wantKey = FoldCase(Trim(key));
    TPlace place;
    const char* b = bytes_.data();
    // An empty line is no place for a key either: after the last line that
    // is not blank is where one goes.
    ForEachLine(bytes_, [&](const TLine& line) {
        const TLineKind kind = Classify(b + line.begin, line.end - line.begin);
        if (kind.kind == TKind::Section) {
            if (place.section) return true;
            place.section = SameName(b + line.begin, kind, wantSection);
            if (place.section) place.last = line;
        } else if (place.section) {
            if (kind.kind == TKind::Key && SameName(b + line.begin, kind, wantKey)) {
                place.key = line;
                return true;
            }
            if (!IsBlankLine(b + line.begin, line.end - line.begin)) place.last = line;
        }
        return false;
    });
    return place;
}

bool TIniText::CanStoreSection(const std::string& name) {
    const std::string t = Trim(name);
    return !HasLineBreakOrNul(t) && FindCloseBracket(t.data(), 0, t.size()) == kNpos &&
           !EndsInLoneLeadByte(t);
}

bool TIniText::CanStoreKey(const std::string& name) {
    const std::string t = Trim(name);
    if (HasLineBreakOrNul(t) || t.find('=') != kNpos) return false;
    return t.empty() || (t[0] != ';' && t[0] != '[');
}

bool TIniText::Set(const std::string& section, const std::string& key, const std::string& value) {
    if (!CanStoreSection(section) || !CanStoreKey(key)) return false;
    const std::string keyLine = Trim(key) + '=' + EncodeValue(value) + "\r\n";
    const TPlace place = Locate(section, key);
    const bool unended = !bytes_.empty() && bytes_.back() != '\r' && bytes_.back() != '\n';
    if (!place.section) {
        Splice(bytes_.size(), 0, (unended ? "\r\n[" : "[") + Trim(section) + "]\r\n" + keyLine);
    } else if (place.key.begin != kNpos) {
        // The file's own spelling of the name stays.
        const std::size_t eq = bytes_.find('=', place.key.begin);
        const std::string name = Trim(bytes_.data(), place.key.begin, eq);
        Splice(place.key.begin, place.key.next - place.key.begin,
               name + keyLine.substr(keyLine.find('=')));
    } else {
        const bool lastUnended = place.last.end == place.last.next;
        Splice(place.last.next, 0, lastUnended ? "\r\n" + keyLine : keyLine);
    }
    return true;
}

// Builds the new bytes in one allocation of their exact size: growing the old
// string in place could briefly hold three times a large file.
void TIniText::Splice(std::size_t at, std::size_t removed, const std::string& inserted) {
    std::string out;
    out.reserve(bytes_.size() - removed + inserted.size());
    out.append(bytes_, 0, at);
    out += inserted;
    out.append(bytes_, at + removed, kNpos);
    bytes_.swap(out);
}

}  // namespace platform
