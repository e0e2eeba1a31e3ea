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
//
// The model is the file's bytes and nothing else: every lookup scans them.
// A file of millions of empty lines costs its size, not a record per line,
// and a lookup over a few megabytes is still far quicker than the disk read.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

namespace platform {

// The length of the character at s[i] in code page 936 text: 2 for a lead
// byte (0x81 to 0xFE) followed by a trail byte (0x40 to 0xFE but 0x7F), else 1.
std::size_t GbkCharLength(const std::string& s, std::size_t i);

// The one rule for line breaks inside a stored value: every CR LF, CR and LF
// becomes the two characters "\n", so the value stays on its line, and "\n"
// reads back as CR LF (case-sensitively; a backslash that is the second byte
// of a double-byte character is no escape).
std::string EscapeLineBreaks(const std::string& value);
std::string UnescapeLineBreaks(const std::string& value);

// False for bytes that are no INI text: a NUL byte anywhere (random bytes, or
// UTF-16 saved without its mark), or lines that are not blank of which none is
// a section, a key or a comment. Nothing is ever added to such a file: what a
// program would make of the garbage around the added lines is unknown.
bool IsIniText(const std::string& bytes);

// Finds one key in text handed over in pieces, in order, so that a file can
// be searched without holding it whole: a line that a piece's end cuts
// waits for the next piece. The model's lookups hand it their whole text.
class TIniLookup {
public:
    TIniLookup(const std::string& section, const std::string& key);

    // True once the answer is known: the key was found (Found()), or its
    // section has ended without it.
    bool Feed(const char* text, std::size_t length);
    // The text has ended: a last line without its line end counts too.
    void Finish();
    bool Found() const { return found_; }
    const std::string& Value() const { return value_; }

private:
    bool FeedLine(const char* line, std::size_t length);

    std::string section_, key_;  // trimmed and case folded
    bool done_ = false;
    bool inSection_ = false;
    bool sectionSeen_ = false;
    bool found_ = false;
    std::string value_;
    std::string cut_;  // the start of a line that a piece's end cut
};

class TIniText {
public:
    TIniText() = default;
    explicit TIniText(std::string bytes) : bytes_(std::move(bytes)) {}

    // False when the section or the key is not there; value is then untouched.
    bool Find(const std::string& section, const std::string& key, std::string* value) const;

    // Replaces the value of the key, or adds the key after the last non-blank
    // line of its section, or adds the section at the end. The line written
    // ends in CR LF and holds the value on that one line (EscapeLineBreaks),
    // and a value that reading would change (blanks at either end, an outer
    // pair of quotes) is written inside double quotes so that it reads back as
    // given. A value ends at its first NUL. Returns false, changing nothing,
    // for names that no line could hold (see CanStoreSection, CanStoreKey).
    bool Set(const std::string& section, const std::string& key, const std::string& value);

    const std::string& Bytes() const { return bytes_; }

    // A section name is storable without CR, LF, NUL or ']'; a key name
    // without CR, LF, NUL or '=' and not starting with ';' or '['. Blanks
    // around a name are dropped, as reading drops them.
    static bool CanStoreSection(const std::string& name);
    static bool CanStoreKey(const std::string& name);

    // ASCII letters to lower case, GBK double-byte characters kept whole.
    static std::string FoldCase(const std::string& name);

private:
    struct TPlace;
    TPlace Locate(const std::string& section, const std::string& key) const;
    void Splice(std::size_t at, std::size_t removed, const std::string& inserted);

    std::string bytes_;
};

}  // namespace platform
