#include "tools/host/CrashWhere.h"

#include <windows.h>

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "platform/runtime/Paths.h"
#include "platform/ini/IniFileIo.h"
#include "tools/host/Console.h"
#include "tools/host/DwarfLines.h"
#include "tools/host/PluginLibrary.h"

namespace {

std::uint64_t Read64(const std::string& b, std::size_t at, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes && at + i < b.size(); ++i) value |= std::uint64_t(std::uint8_t(b[at + i])) << (8 * i);
    return value;
}

std::uint32_t Read(const std::string& b, std::size_t at, std::size_t bytes) {
    return static_cast<std::uint32_t>(Read64(b, at, bytes));
}

struct Section {
    std::uint32_t Address = 0, Size = 0, FileOffset = 0, FileSize = 0;
};

struct PeImage {
    std::uint64_t Base = 0;
    bool Underscored = true;  // a 32-bit target puts an underscore before every C name
    std::map<std::string, Section> Sections;
    std::size_t Symbols = 0, SymbolCount = 0, Strings = 0;
    std::vector<std::string> SectionOrder;  // the symbol table numbers sections from 1
};

// The COFF string table holds names longer than their field: "/123" there.
std::string LongName(const std::string& b, const PeImage& pe, std::uint32_t offset) {
    const std::size_t at = pe.Strings + offset;
    return at < b.size() ? std::string(b.c_str() + at) : std::string();
}

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

// A name field of 8 bytes, NUL-padded.
std::string ShortName(const std::string& b, std::size_t at) {
    return at + 8 <= b.size() ? std::string(b.data() + at, 8).c_str() : std::string();
}

bool ReadPe(const std::string& b, PeImage& pe, std::string& error) {
    const std::uint32_t peAt = Read(b, 0x3c, 4);
    if (b.size() < 0x40 || b.compare(0, 2, "MZ") != 0 || peAt + 24 > b.size() || b.compare(peAt, 4, "PE\0\0", 4))
        return Fail(error, "the debug file is not a PE image");
    const std::size_t coff = peAt + 4, optional = coff + 20;
    // The 64-bit form (PE32+) has no BaseOfData, and an eight-byte base.
    const std::uint32_t magic = Read(b, optional, 2);
    if (magic != 0x10b && magic != 0x20b) return Fail(error, "the debug file is not a 32-bit or 64-bit PE image");
    pe.Base = magic == 0x20b ? Read64(b, optional + 24, 8) : Read(b, optional + 28, 4);
    pe.Underscored = Read(b, coff, 2) == IMAGE_FILE_MACHINE_I386;
    pe.Symbols = Read(b, coff + 8, 4);
    // No more symbols than the file holds, whatever its header says.
    pe.SymbolCount = pe.Symbols < b.size() ? std::min<std::size_t>(Read(b, coff + 12, 4), (b.size() - pe.Symbols) / 18) : 0;
    pe.Strings = pe.Symbols + 18 * pe.SymbolCount;
    std::size_t header = optional + Read(b, coff + 16, 2);
    for (std::uint32_t i = 0, n = Read(b, coff + 2, 2); i < n; ++i, header += 40) {
        std::string name = ShortName(b, header);
        if (name.size() > 1 && name[0] == '/') name = LongName(b, pe, std::strtoul(name.c_str() + 1, nullptr, 10));
        Section s{Read(b, header + 12, 4), Read(b, header + 8, 4), Read(b, header + 20, 4), Read(b, header + 16, 4)};
        pe.Sections[name] = s;
        pe.SectionOrder.push_back(name);
    }
    if (!pe.Sections.count(".text")) return Fail(error, "the debug file has no code section");
    return true;
}

std::string Contents(const std::string& b, const PeImage& pe, const char* name) {
    const auto it = pe.Sections.find(name);
    if (it == pe.Sections.end()) return std::string();
    const Section& s = it->second;
    const std::size_t size = s.Size && s.Size <= s.FileSize ? s.Size : s.FileSize;
    if (s.FileOffset >= b.size()) return std::string();
    return b.substr(s.FileOffset, size);
}

// The symbol's name in source form: a 32-bit target puts an underscore
// before every C name, so a C++ name starts "__Z" there.
std::string SourceName(std::string name, bool underscored) {
    if (underscored && !name.empty() && name[0] == '_') name.erase(0, 1);
    if (name.compare(0, 2, "_Z") != 0) return name;
    int status = 0;
    char* demangled = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (!demangled) return name;
    std::string text = demangled;
    std::free(demangled);
    return text;
}

// The function symbol at or below `address`.
std::string FunctionAt(const std::string& b, const PeImage& pe, std::uint64_t address) {
    std::uint64_t best = 0;
    std::string name;
    for (std::size_t i = 0; i < pe.SymbolCount; ++i) {
        const std::size_t at = pe.Symbols + 18 * i;
        const unsigned section = Read(b, at + 12, 2), type = Read(b, at + 14, 2), aux = Read(b, at + 17, 1);
        i += aux;
        if ((type & 0x30) != 0x20 || section == 0 || section > pe.SectionOrder.size()) continue;
        const std::uint64_t start = pe.Base + pe.Sections.at(pe.SectionOrder[section - 1]).Address + Read(b, at + 8, 4);
        if (start > address || start < best) continue;
        best = start;
        name = Read(b, at, 4) == 0 ? LongName(b, pe, Read(b, at + 4, 4)) : ShortName(b, at);
    }
    return SourceName(name, pe.Underscored);
}

}  // namespace

bool FindSourcePlace(const std::string& image, std::uint64_t offset, SourcePlace& place, std::string& error) {
    PeImage pe;
    if (!ReadPe(image, pe, error)) return false;
    const Section& text = pe.Sections.at(".text");
    const auto inCode = [&text](std::uint64_t at) { return at >= text.Address && at - text.Address < text.Size; };
    // An address from a debugger or a log at the DLL's preferred base: the
    // crash report's offset is that less the base.
    place.WasAddress = !inCode(offset) && offset >= pe.Base && inCode(offset - pe.Base);
    if (place.WasAddress) offset -= pe.Base;
    if (!inCode(offset)) {
        char range[160];
        std::snprintf(range, sizeof range, "offsets 0x%x to 0x%x, or addresses 0x%llx to 0x%llx at its preferred base",
                      static_cast<unsigned>(text.Address), static_cast<unsigned>(text.Address + text.Size - 1),
                      static_cast<unsigned long long>(pe.Base + text.Address),
                      static_cast<unsigned long long>(pe.Base + text.Address + text.Size - 1));
        error = std::string("outside Orvale8.dll's code (") + range + "); for an address of the DLL loaded at "
                "another base, give the address less that base";
        return false;
    }
    place.Base = pe.Base;
    place.Address = pe.Base + offset;
    place.Function = FunctionAt(image, pe, place.Address);
    const DwarfSections dwarf{Contents(image, pe, ".debug_line"), Contents(image, pe, ".debug_line_str"),
                              Contents(image, pe, ".debug_str")};
    if (!FindLine(dwarf, place.Address, place.File, place.Line)) {
        place.File.clear();
        place.Line = 0;
    }
    return true;
}

namespace {

// Hexadecimal offsets, separated by commas; an entry that is none is kept
// as given, so that each is answered in its place.
struct Offset {
    std::uint64_t Value = 0;
    bool Valid = false;
    std::string Text;  // the entry as given
};

std::vector<Offset> ParseOffsets(const std::string& text) {
    std::vector<Offset> offsets;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string one = text.substr(start, end - start);
        char* stop = nullptr;
        const unsigned long long value = std::strtoull(one.c_str(), &stop, 16);
        offsets.push_back({value, !one.empty() && !*stop && value != ~0ULL, one});
        start = end + 1;
    }
    return offsets;
}

// The whole file, when it is of a size a debug file can have.
bool ReadWhole(const std::string& path, std::string& bytes) {
    constexpr std::uint64_t kLargest = 256u << 20;
    platform::TFileStamp stamp;
    return platform::QueryFileStamp(path).size <= kLargest &&
           platform::ReadWholeFile(path, &bytes, &stamp) == platform::TReadResult::Read;
}

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

bool ReadDebugFile(std::string& path, std::string& image) {
    const std::string here = platform::ExecutableDirectory();
    const std::string up = platform::DirectoryOf(here.substr(0, here.size() - 1));
    for (const std::string& candidate : {here + "Orvale8.dll.debug", up + "Orvale8.dll.debug"}) {
        if (!ReadWhole(candidate, image)) continue;
        path = candidate;
        return true;
    }
    return false;
}

}  // namespace

// Two lines for each offset, in the order given, as addr2line -f prints
// them; why one has no answer goes to the error output.
int RunWhere(const std::string& offsetText) {
    const std::vector<Offset> offsets = ParseOffsets(offsetText);
    std::string path, image;
    if (!ReadDebugFile(path, image)) {
        WriteErr("ovhost: no Orvale8.dll.debug beside ovhost.exe or one folder up: take it from the release the "
                 "shop runs\n");
        return 1;
    }
    int result = 0;
    for (const Offset& offset : offsets) {
        SourcePlace place;
        std::string error;
        if (!offset.Valid || !FindSourcePlace(image, offset.Value, place, error)) {
            WriteErr("ovhost: " + (offset.Valid ? Hex(offset.Value) + ": " + error
                                                : "'" + offset.Text + "' is no offset: --where takes fault offsets in "
                                                  "hexadecimal, as the crash report gives them, separated by commas") +
                     "\n");
            WriteOut("??\n??:0\n");
            result = 1;
            continue;
        }
        if (place.WasAddress)
            WriteErr("ovhost: " + Hex(offset.Value) + " is an address: read as the preferred base " + Hex(place.Base) +
                     " plus the offset " + Hex(place.Address - place.Base) + "\n");
        WriteOut((place.Function.empty() ? "??" : place.Function) + "\n" +
                 (place.Line ? place.File + ":" + std::to_string(place.Line) : "no line information") + "\n");
        // A function without lines (the runtime's own code) is still an answer.
        if (place.Function.empty()) result = 1;
    }
    return result;
}
