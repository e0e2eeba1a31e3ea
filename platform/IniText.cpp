#include "platform/IniText.h"

namespace platform {

namespace {

const std::size_t kNpos = std::string::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsLead(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

bool IsTrail(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

std::string Trim(const std::string& s, std::size_t begin, std::size_t end) {
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

std::string Trim(const std::string& s) { return Trim(s, 0, s.size()); }

bool IsQuote(char c) { return c == '"' || c == '\''; }

// A trail byte may be 0x5D, so the bracket is looked for character by character.
std::size_t FindCloseBracket(const std::string& s, std::size_t from) {
    for (std::size_t i = from; i < s.size(); i += GbkCharLength(s, i)) {
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

bool IsBlankLine(const std::string& text) {
    for (char c : text) {
        if (!IsBlank(c)) return false;
    }
    return true;
}

std::string ValueOf(const std::string& text) {
    std::string value = Trim(text, text.find('=') + 1, text.size());
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

std::string KeyNameOf(const std::string& text) {
    return Trim(text, 0, text.find('='));
}

bool NeedsQuotes(const std::string& v) {
    if (v.empty()) return false;
    if (IsBlank(v.front()) || IsBlank(v.back())) return true;
    return v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front();
}

std::string EncodeValue(const std::string& value) {
    std::string v = value.substr(0, value.find('\0'));
    std::string out;
    out.reserve(v.size() + 2);
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\r' || v[i] == '\n') {
            if (v[i] == '\r' && i + 1 < v.size() && v[i + 1] == '\n') ++i;
            out += "\\n";
        } else {
            out += v[i];
        }
    }
    return NeedsQuotes(out) ? '"' + out + '"' : out;
}

}  // namespace

std::size_t GbkCharLength(const std::string& s, std::size_t i) {
    return IsLead(s[i]) && i + 1 < s.size() && IsTrail(s[i + 1]) ? 2 : 1;
}

TIniText::TIniText(const std::string& bytes) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t brk = bytes.find_first_of("\r\n", start);
        if (brk == kNpos) {
            lines_.push_back(Classify(bytes.substr(start), ""));
            break;
        }
        std::size_t next = brk + 1;
        if (bytes[brk] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
        lines_.push_back(Classify(bytes.substr(start, brk - start), bytes.substr(brk, next - brk)));
        start = next;
    }
}

TIniText::Line TIniText::Classify(std::string text, std::string end) {
    Line line;
    line.text = std::move(text);
    line.end = std::move(end);
    const std::string& t = line.text;
    std::size_t i = 0;
    while (i < t.size() && IsBlank(t[i])) ++i;
    if (i == t.size() || t[i] == ';') return line;
    if (t[i] == '[') {
        std::size_t close = FindCloseBracket(t, i + 1);
        if (close != kNpos) {
            line.kind = Kind::Section;
            line.folded = FoldCase(Trim(t, i + 1, close));
            return line;
        }
    }
    std::size_t eq = t.find('=');
    if (eq != kNpos) {
        line.kind = Kind::Key;
        line.folded = FoldCase(Trim(t, i, eq));
    }
    return line;
}

std::string TIniText::FoldCase(const std::string& name) {
    std::string out = name;
    for (std::size_t i = 0; i < out.size(); i += GbkCharLength(out, i)) {
        if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
    }
    return out;
}

std::size_t TIniText::FindSection(const std::string& folded) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section && lines_[i].folded == folded) return i;
    }
    return kNpos;
}

std::size_t TIniText::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
    return i;
}

std::size_t TIniText::FindKey(std::size_t header, const std::string& folded) const {
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Key && lines_[i].folded == folded) return i;
    }
    return kNpos;
}

bool TIniText::Find(const std::string& section, const std::string& key, std::string* value) const {
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key)) return false;
    const std::size_t header = FindSection(FoldCase(Trim(section)));
    if (header == kNpos) return false;
    const std::size_t at = FindKey(header, FoldCase(Trim(key)));
    if (at == kNpos) return false;
    if (value) *value = ValueOf(lines_[at].text);
    return true;
}

bool TIniText::CanStoreSection(const std::string& name) {
    const std::string t = Trim(name);
    return !HasLineBreakOrNul(t) && FindCloseBracket(t, 0) == kNpos && !EndsInLoneLeadByte(t);
}

bool TIniText::CanStoreKey(const std::string& name) {
    const std::string t = Trim(name);
    if (HasLineBreakOrNul(t) || t.find('=') != kNpos) return false;
    return t.empty() || (t[0] != ';' && t[0] != '[');
}

bool TIniText::Set(const std::string& section, const std::string& key, const std::string& value) {
    if (!CanStoreSection(section) || !CanStoreKey(key)) return false;
    const std::string name = Trim(key);
    const std::string encoded = EncodeValue(value);
    const std::size_t header = FindSection(FoldCase(Trim(section)));
    if (header == kNpos) {
        AppendSection(Trim(section), name + '=' + encoded);
        return true;
    }
    const std::size_t at = FindKey(header, FoldCase(name));
    if (at != kNpos) {
        // The file's own spelling of the name stays.
        lines_[at] = Classify(KeyNameOf(lines_[at].text) + '=' + encoded, "\r\n");
        return true;
    }
    std::size_t last = header;
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (!IsBlankLine(lines_[i].text)) last = i;
    }
    if (lines_[last].end.empty()) lines_[last].end = "\r\n";
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1),
                  Classify(name + '=' + encoded, "\r\n"));
    return true;
}

void TIniText::AppendSection(const std::string& section, const std::string& keyLine) {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = "\r\n";
    lines_.push_back(Classify('[' + section + ']', "\r\n"));
    lines_.push_back(Classify(keyLine, "\r\n"));
}

std::string TIniText::Bytes() const {
    std::size_t size = 0;
    for (const Line& l : lines_) size += l.text.size() + l.end.size();
    std::string out;
    out.reserve(size);
    for (const Line& l : lines_) {
        out += l.text;
        out += l.end;
    }
    return out;
}

}  // namespace platform
