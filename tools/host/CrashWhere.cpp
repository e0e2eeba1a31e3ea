#include "tools/host/CrashWhere.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/runtime/Paths.h"
#include "tools/host/Console.h"
#include "tools/host/DwarfLines.h"
#include "tools/host/PeFile.h"
#include "tools/pe/PeImage.h"

namespace {

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

bool ReadPe(const pe::PeImage& image, std::string& error) {
    if (image.Read() < pe::PeImage::Stage::FileHeader) return Fail(error, "the debug file is not a PE image");
    if (!image.Valid()) return Fail(error, "the debug file is not a 32-bit or 64-bit PE image");
    if (!image.Find(".text")) return Fail(error, "the debug file has no code section");
    return true;
}

std::string Contents(const pe::PeImage& image, const char* name) {
    const pe::Section* section = image.Find(name);
    return section ? std::string(image.Contents(*section)) : std::string();
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

// The function symbol at or below `address`. A symbol's name is in place,
// NUL-padded, or in the string table when its first four bytes are 0.
std::string FunctionAt(const pe::PeImage& image, std::uint64_t address) {
    const pe::Headers& header = image.Header();
    const std::vector<pe::Section>& sections = image.Sections();
    std::uint64_t best = 0;
    std::string name;
    for (std::size_t i = 0; i < header.SymbolCount; ++i) {
        const std::size_t at = header.SymbolsAt + 18 * i;
        const std::size_t section = image.Field(at + 12, 2), type = image.Field(at + 14, 2);
        i += image.Field(at + 17, 1);
        if ((type & 0x30) != 0x20 || section == 0 || section > sections.size()) continue;
        const std::uint64_t start = header.ImageBase + sections[section - 1].VirtualAddress + image.Field(at + 8, 4);
        if (start > address || start < best) continue;
        best = start;
        name = image.Field(at, 4) == 0 ? image.TableString(static_cast<std::uint32_t>(image.Field(at + 4, 4)))
                                       : std::string(image.Bytes().substr(at, 8)).c_str();
    }
    return SourceName(name, header.Machine == pe::kMachineI386);
}

}  // namespace

bool FindSourcePlace(const std::string& image, std::uint64_t offset, SourcePlace& place, std::string& error) {
    const pe::PeImage pe(image);
    if (!ReadPe(pe, error)) return false;
    const pe::Section& text = *pe.Find(".text");
    const std::uint64_t base = pe.Header().ImageBase;
    const auto inCode = [&text](std::uint64_t at) {
        return at >= text.VirtualAddress && at - text.VirtualAddress < text.VirtualSize;
    };
    // An address from a debugger or a log at the DLL's preferred base: the
    // crash report's offset is that less the base.
    place.WasAddress = !inCode(offset) && offset >= base && inCode(offset - base);
    if (place.WasAddress) offset -= base;
    if (!inCode(offset)) {
        char range[160];
        std::snprintf(range, sizeof range, "offsets 0x%x to 0x%x, or addresses 0x%llx to 0x%llx at its preferred base",
                      static_cast<unsigned>(text.VirtualAddress), static_cast<unsigned>(text.VirtualAddress + text.VirtualSize - 1),
                      static_cast<unsigned long long>(base + text.VirtualAddress),
                      static_cast<unsigned long long>(base + text.VirtualAddress + text.VirtualSize - 1));
        error = std::string("outside Orvale8.dll's code (") + range + "); for an address of the DLL loaded at "
                "another base, give the address less that base";
        return false;
    }
    place.Base = base;
    place.Address = base + offset;
    place.Function = FunctionAt(pe, place.Address);
    const DwarfSections dwarf{Contents(pe, ".debug_line"), Contents(pe, ".debug_line_str"), Contents(pe, ".debug_str")};
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

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

bool ReadDebugFile(std::string& path, std::string& image) {
    const std::string here = platform::ExecutableDirectory();
    const std::string up = platform::DirectoryOf(here.substr(0, here.size() - 1));
    for (const std::string& candidate : {here + "Orvale8.dll.debug", up + "Orvale8.dll.debug"}) {
        if (!ReadPeFile(candidate, 256u << 20, image)) continue;  // of a size a debug file can have
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
