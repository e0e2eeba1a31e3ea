// The bytes of an INI file held in memory, read the way the Windows profile
// API reads them on a code page 936 system and changed one line at a time, so
// that every byte a change does not touch stays as it was.
//
// Reading: CR LF, LF and CR alone end a line. After leading spaces and tabs a
// line starting with ';' is a comment; one starting with '[' and holding a ']'
// heads a section named by the text up to the first ']'; any other line
// holding '=' is a key named by the text before the first '='. Names and
// values lose the spaces and tabs around them, a value one outer pair of
// matching quotes ('x' or "x", two characters or more). Names match without
// regard to ASCII letter case; a GBK double-byte character (lead byte 0x81 to
// 0xFE and its trail byte) is one character, never folded. The first of
// duplicate sections, and the first of duplicate keys within it, wins.
// Keys before the first section belong to none.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// The length of the character at s[i] in code page 936 text: 2 for a lead
// byte (0x81 to 0xFE) followed by a trail byte (0x40 to 0xFE but 0x7F), else 1.
std::size_t GbkCharLength(const std::string& s, std::size_t i);

class TIniText {
public:
    TIniText() = default;
    explicit TIniText(const std::string& bytes);

    // False when the section or the key is not there; value is then untouched.
    bool Find(const std::string& section, const std::string& key, std::string* value) const;

    // Replaces the value of the key, or adds the key after the last non-blank
    // line of its section, or adds the section at the end. The line written
    // ends in CR LF and holds the value on that one line: every line break in
    // the value (CR LF, CR or LF) is stored as the two characters "\n", and a
    // value that reading would change (blanks at either end, an outer pair of
    // quotes) is written inside double quotes so that it reads back as given.
    // A value ends at its first NUL. Returns false, changing nothing, for
    // names that no line could hold (see CanStoreSection, CanStoreKey).
    bool Set(const std::string& section, const std::string& key, const std::string& value);

    std::string Bytes() const;

    // A section name is storable without CR, LF, NUL or ']'; a key name
    // without CR, LF, NUL or '=' and not starting with ';' or '['. Blanks
    // around a name are dropped, as reading drops them.
    static bool CanStoreSection(const std::string& name);
    static bool CanStoreKey(const std::string& name);

    // ASCII letters to lower case, GBK double-byte characters kept whole.
    static std::string FoldCase(const std::string& name);

private:
    enum class Kind { Other, Section, Key };
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\r\n", "\n", "\r" or "" on a last unended line
        Kind kind = Kind::Other;
        std::string folded;  // the section or key name, case folded
    };

    static Line Classify(std::string text, std::string end);
    std::size_t FindSection(const std::string& folded) const;  // npos: none
    std::size_t SectionEnd(std::size_t header) const;
    std::size_t FindKey(std::size_t header, const std::string& folded) const;
    void AppendSection(const std::string& section, const std::string& keyLine);

    std::vector<Line> lines_;
};

}  // namespace platform
