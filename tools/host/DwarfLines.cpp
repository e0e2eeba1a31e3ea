#include "tools/host/DwarfLines.h"

#include <vector>

namespace {

// Little-endian reads within one span; past the end it reads zeros and
// remembers that it ran out.
class Cursor {
public:
    Cursor(const char* data, std::size_t size) : p_(data), end_(data + size) {}
    bool Ok() const { return ok_; }
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }
    std::uint64_t Fixed(std::size_t bytes) {
        const char* start = p_;
        if (!Take(bytes)) return 0;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes && i < 8; ++i) value |= std::uint64_t(std::uint8_t(start[i])) << (8 * i);
        return value;
    }
    std::uint64_t Uleb() {
        std::uint64_t value = 0;
        for (unsigned shift = 0; Take(1); shift += 7) {
            const std::uint8_t byte = std::uint8_t(p_[-1]);
            if (shift < 64) value |= std::uint64_t(byte & 0x7f) << shift;
            if (!(byte & 0x80)) return value;
        }
        return value;
    }
    std::int64_t Sleb() {
        std::int64_t value = 0;
        unsigned shift = 0;
        std::uint8_t byte = 0x80;
        while ((byte & 0x80) && Take(1)) {
            byte = std::uint8_t(p_[-1]);
            if (shift < 64) value |= std::int64_t(byte & 0x7f) << shift;
            shift += 7;
        }
        if (shift < 64 && (byte & 0x40)) value |= -(std::int64_t(1) << shift);
        return value;
    }
    std::string Text() {
        std::size_t n = 0;
        while (n < Left() && p_[n]) ++n;
        std::string text(p_, n);
        Take(n < Left() ? n + 1 : n);
        return text;
    }
    // The next `bytes` as a cursor of their own; this one moves past them.
    Cursor Span(std::size_t bytes) {
        const char* start = p_;
        const bool whole = Take(bytes);
        return whole ? Cursor(start, bytes) : Cursor(start, 0).Failed();
    }

private:
    bool Take(std::size_t bytes) {
        if (bytes > Left()) {
            ok_ = false;
            p_ = end_;
            return false;
        }
        p_ += bytes;
        return true;
    }
    Cursor Failed() {
        ok_ = false;
        return *this;
    }
    const char* p_;
    const char* end_;
    bool ok_ = true;
};

std::string StringAt(const std::string& section, std::uint64_t offset) {
    if (offset >= section.size()) return std::string();
    return std::string(section.c_str() + offset);
}

struct Header {
    unsigned Version = 0;
    unsigned MinInstruction = 1;
    int LineBase = 0;
    unsigned LineRange = 1;
    unsigned OpcodeBase = 1;
    std::vector<unsigned> ArgumentCounts;  // of the standard opcodes
    std::vector<std::string> Directories;
    std::vector<std::pair<std::string, std::uint64_t>> Files;  // name, directory index
};

constexpr unsigned kLnctPath = 1, kLnctDirectoryIndex = 2;

// One attribute of a version 5 directory or file entry.
bool ReadForm(Cursor& c, std::uint64_t form, const DwarfSections& s, std::string& text, std::uint64_t& number) {
    switch (form) {
        case 0x08: text = c.Text(); return true;                        // string
        case 0x1f: text = StringAt(s.LineStr, c.Fixed(4)); return true;  // line_strp
        case 0x0e: text = StringAt(s.Str, c.Fixed(4)); return true;      // strp
        case 0x0f: number = c.Uleb(); return true;                       // udata
        case 0x0b: number = c.Fixed(1); return true;                     // data1
        case 0x05: number = c.Fixed(2); return true;                     // data2
        case 0x06: number = c.Fixed(4); return true;                     // data4
        case 0x07: number = c.Fixed(8); return true;                     // data8
        case 0x1e: c.Span(16); return true;                              // data16 (a checksum)
        case 0x09: c.Span(c.Uleb()); return true;                        // block
        default: return false;
    }
}

// Version 5: a list of entries, each described by (content, form) pairs.
bool ReadEntries(Cursor& c, const DwarfSections& s, std::vector<std::pair<std::string, std::uint64_t>>& entries) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> formats(c.Fixed(1));
    for (auto& f : formats) f = {c.Uleb(), c.Uleb()};
    const std::uint64_t count = c.Uleb();
    if (formats.empty() && count) return false;  // entries of nothing: a damaged header
    for (std::uint64_t i = 0; i < count && c.Ok(); ++i) {
        std::pair<std::string, std::uint64_t> entry;
        for (const auto& f : formats) {
            std::string text;
            std::uint64_t number = 0;
            if (!ReadForm(c, f.second, s, text, number)) return false;
            if (f.first == kLnctPath) entry.first = text;
            if (f.first == kLnctDirectoryIndex) entry.second = number;
        }
        entries.push_back(entry);
    }
    return c.Ok();
}

bool ReadNames(Cursor& c, const DwarfSections& s, Header& h) {
    if (h.Version >= 5) {
        std::vector<std::pair<std::string, std::uint64_t>> directories;
        if (!ReadEntries(c, s, directories)) return false;
        for (auto& d : directories) h.Directories.push_back(d.first);
        return ReadEntries(c, s, h.Files);
    }
    // Before version 5 the compile's folder is entry 0 of neither list.
    h.Directories.push_back(std::string());
    for (std::string d = c.Text(); !d.empty() && c.Ok(); d = c.Text()) h.Directories.push_back(d);
    h.Files.emplace_back();
    for (std::string f = c.Text(); !f.empty() && c.Ok(); f = c.Text()) {
        const std::uint64_t directory = c.Uleb();
        c.Uleb();  // modification time
        c.Uleb();  // length
        h.Files.emplace_back(f, directory);
    }
    return c.Ok();
}

bool ReadHeader(Cursor& unit, const DwarfSections& s, Header& h) {
    h.Version = static_cast<unsigned>(unit.Fixed(2));
    if (h.Version < 2 || h.Version > 5) return false;
    if (h.Version >= 5) unit.Fixed(2);  // address size, segment selector size
    Cursor c = unit.Span(unit.Fixed(4));
    h.MinInstruction = static_cast<unsigned>(c.Fixed(1));
    if (h.Version >= 4) c.Fixed(1);  // operations per instruction
    c.Fixed(1);                      // default is_stmt
    h.LineBase = static_cast<std::int8_t>(c.Fixed(1));
    h.LineRange = static_cast<unsigned>(c.Fixed(1));
    h.OpcodeBase = static_cast<unsigned>(c.Fixed(1));
    if (!h.LineRange || !h.OpcodeBase) return false;
    h.ArgumentCounts.assign(h.OpcodeBase, 0);
    for (unsigned i = 1; i < h.OpcodeBase; ++i) h.ArgumentCounts[i] = static_cast<unsigned>(c.Fixed(1));
    return ReadNames(c, s, h) && unit.Ok();
}

std::string FileName(const Header& h, std::uint64_t index) {
    if (index >= h.Files.size()) return "?";
    const auto& file = h.Files[index];
    if (!file.first.empty() && file.first[0] == '/') return file.first;
    std::string folder = file.second < h.Directories.size() ? h.Directories[file.second] : std::string();
    // A folder other than the compile's own is relative to it, as addr2line joins them.
    if (h.Version >= 5 && file.second != 0 && !folder.empty() && folder[0] != '/' && !h.Directories.empty())
        folder = h.Directories[0] + "/" + folder;
    return folder.empty() ? file.first : folder + "/" + file.first;
}

struct Rows {
    std::uint64_t Target;
    bool Found = false;
    std::uint64_t File = 0, Line = 0;
    bool HavePrevious = false;
    std::uint64_t Address = 0, PreviousFile = 0, PreviousLine = 0;

    // A row at `address`: the one before it covers the addresses up to it.
    void Emit(std::uint64_t address, std::uint64_t file, std::uint64_t line, bool endSequence) {
        if (HavePrevious && !Found && Address <= Target && Target < address) {
            Found = true;
            File = PreviousFile;
            Line = PreviousLine;
        }
        HavePrevious = !endSequence;
        Address = address;
        PreviousFile = file;
        PreviousLine = line;
    }
};

// Runs one unit's line program, stopping at the row that covers the target.
void RunProgram(Cursor& c, const Header& h, Rows& rows) {
    std::uint64_t address = 0, file = 1, line = 1;
    while (c.Left() && c.Ok() && !rows.Found) {
        const unsigned op = static_cast<unsigned>(c.Fixed(1));
        if (op >= h.OpcodeBase) {
            const unsigned adjusted = op - h.OpcodeBase;
            address += (adjusted / h.LineRange) * h.MinInstruction;
            line += h.LineBase + static_cast<int>(adjusted % h.LineRange);
            rows.Emit(address, file, line, false);
        } else if (op == 0) {
            Cursor extended = c.Span(c.Uleb());
            const unsigned sub = static_cast<unsigned>(extended.Fixed(1));
            if (sub == 1) {  // end of sequence
                rows.Emit(address, file, line, true);
                address = 0, file = 1, line = 1;
            } else if (sub == 2) {  // set address
                address = extended.Fixed(extended.Left());
            }
        } else if (op == 1) {
            rows.Emit(address, file, line, false);
        } else if (op == 2) {
            address += c.Uleb() * h.MinInstruction;
        } else if (op == 3) {
            line += c.Sleb();
        } else if (op == 4) {
            file = c.Uleb();
        } else if (op == 8) {
            address += ((255 - h.OpcodeBase) / h.LineRange) * h.MinInstruction;
        } else if (op == 9) {
            address += c.Fixed(2);
        } else {
            for (unsigned i = 0; i < h.ArgumentCounts[op]; ++i) c.Uleb();
        }
    }
}

}  // namespace

bool FindLine(const DwarfSections& sections, std::uint64_t address, std::string& file, unsigned& line) {
    Cursor all(sections.Line.data(), sections.Line.size());
    while (all.Left() >= 4) {
        const std::uint64_t length = all.Fixed(4);
        if (length >= 0xfffffff0u) return false;  // the 64-bit format: not made for a 32-bit target
        Cursor unit = all.Span(length);
        Header header;
        if (!unit.Ok() || !ReadHeader(unit, sections, header)) continue;
        Rows rows{address};
        RunProgram(unit, header, rows);
        if (rows.Found) {
            file = FileName(header, rows.File);
            line = static_cast<unsigned>(rows.Line);
            return true;
        }
    }
    return false;
}
