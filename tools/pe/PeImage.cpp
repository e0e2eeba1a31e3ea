#include "tools/pe/PeImage.h"

#include <algorithm>
#include <cstdlib>

namespace pe {

namespace {

constexpr std::size_t kFileHeaderSize = 20, kSectionHeaderSize = 40, kSymbolSize = 18;
constexpr int kExportDirectory = 0, kImportDirectory = 1, kDelayImportDirectory = 13;
// A loaded module's headers lie in its first page.
constexpr std::size_t kHeaderPage = 4096;

}  // namespace

PeImage::PeImage(std::string_view bytes) : PeImage(bytes, false) {}

PeImage::PeImage(std::string_view bytes, bool loaded) : bytes_(bytes), loaded_(loaded) { ReadHeaders(); }

PeImage PeImage::Loaded(const void* base) {
    const auto* start = static_cast<const char*>(base);
    const PeImage headers(std::string_view(start, kHeaderPage), true);
    return PeImage(std::string_view(start, std::max<std::size_t>(headers.header_.SizeOfImage, kHeaderPage)), true);
}

std::uint64_t PeImage::Field(std::size_t at, std::size_t size) const {
    std::uint64_t value = 0;
    for (std::size_t i = 0; Has(at, size) && i < size; ++i)
        value |= std::uint64_t(static_cast<unsigned char>(bytes_[at + i])) << (8 * i);
    return value;
}

void PeImage::ReadHeaders() {
    if (!Has(0, 0x40) || bytes_.substr(0, 2) != "MZ") return;
    signatureAt_ = At(0x3c);
    if (!Has(signatureAt_, 4)) {
        stage_ = Stage::Dos;
        return;
    }
    if (bytes_.substr(signatureAt_, 4) != std::string_view("PE\0\0", 4)) return;
    stage_ = Stage::Signature;
    const std::size_t coff = signatureAt_ + 4;
    if (!Has(coff, kFileHeaderSize)) return;
    stage_ = Stage::FileHeader;
    header_.Machine = static_cast<std::uint16_t>(Field(coff, 2));
    header_.Characteristics = static_cast<std::uint16_t>(Field(coff + 18, 2));
    header_.SymbolsAt = At(coff + 8);
    const std::uint32_t symbols = At(coff + 12);
    // No more symbols than the bytes hold, whatever the header says; the
    // string table follows all that it says.
    if (header_.SymbolsAt && header_.SymbolsAt < bytes_.size())
        header_.SymbolCount = std::min<std::uint64_t>(symbols, (bytes_.size() - header_.SymbolsAt) / kSymbolSize);
    stringsAt_ = header_.SymbolsAt ? header_.SymbolsAt + std::uint64_t(symbols) * kSymbolSize : 0;
    const std::size_t optional = coff + kFileHeaderSize;
    ReadOptionalHeader(optional);
    // Wherever the file header says the optional header ends.
    const std::size_t table = optional + static_cast<std::size_t>(Field(coff + 16, 2));
    const auto count = static_cast<std::uint16_t>(Field(coff + 2, 2));
    tableEnd_ = table + std::size_t(count) * kSectionHeaderSize;
    if (!Has(table, std::size_t(count) * kSectionHeaderSize)) return;
    ReadSections(table, count);
    stage_ = Stage::SectionTable;
}

// The fields up to the image base, and from the versions to the directory
// count, lie alike in both forms; the PE32+ form has an eight-byte base and
// no BaseOfData.
void PeImage::ReadOptionalHeader(std::size_t at) {
    const std::uint64_t magic = Field(at, 2);
    known_ = magic == 0x10b || magic == 0x20b;
    header_.Wide = magic == 0x20b;
    header_.EntryPoint = At(at + 16);
    header_.ImageBase = header_.Wide ? Field(at + 24, 8) : At(at + 28);
    header_.OsMajor = static_cast<std::uint16_t>(Field(at + 40, 2));
    header_.OsMinor = static_cast<std::uint16_t>(Field(at + 42, 2));
    header_.SubsystemMajor = static_cast<std::uint16_t>(Field(at + 48, 2));
    header_.SubsystemMinor = static_cast<std::uint16_t>(Field(at + 50, 2));
    header_.SizeOfImage = At(at + 56);
    header_.SizeOfHeaders = At(at + 60);
    const std::size_t count = at + (header_.Wide ? 108 : 92);
    directories_ = At(count);
    directoriesAt_ = count + 4;
}

void PeImage::ReadSections(std::size_t table, std::uint16_t count) {
    for (std::size_t at = table; count--; at += kSectionHeaderSize) {
        Section s;
        const std::string_view name = bytes_.substr(at, 8);
        s.Name = std::string(name.substr(0, name.find('\0')));
        if (s.Name.size() > 1 && s.Name[0] == '/') {
            const std::string full = TableString(static_cast<std::uint32_t>(std::strtoul(s.Name.c_str() + 1, nullptr, 10)));
            if (!full.empty()) s.Name = full;
        }
        s.VirtualSize = At(at + 8);
        s.VirtualAddress = At(at + 12);
        s.FileSize = At(at + 16);
        s.FileOffset = At(at + 20);
        sections_.push_back(s);
    }
}

std::string PeImage::TableString(std::uint32_t offset) const {
    const std::uint64_t at = stringsAt_ + offset;
    if (!stringsAt_ || at >= bytes_.size()) return std::string();
    const std::string_view rest = bytes_.substr(static_cast<std::size_t>(at));
    return std::string(rest.substr(0, rest.find('\0')));
}

const Section* PeImage::Find(std::string_view name) const {
    for (const Section& s : sections_)
        if (s.Name == name) return &s;
    return nullptr;
}

std::string_view PeImage::Contents(const Section& s) const {
    const std::uint32_t size = s.VirtualSize && s.VirtualSize <= s.FileSize ? s.VirtualSize : s.FileSize;
    return s.FileOffset < bytes_.size() ? bytes_.substr(s.FileOffset, size) : std::string_view();
}

std::uint64_t PeImage::SectionsEnd() const {
    std::uint64_t end = tableEnd_;
    for (const Section& s : sections_)
        if (s.FileSize) end = std::max(end, std::uint64_t(s.FileOffset) + s.FileSize);
    return end;
}

std::size_t PeImage::SizeWithoutDebugInfo() const {
    if (!Valid()) return 0;
    std::size_t total = header_.SizeOfHeaders;
    for (const Section& s : sections_) {
        // A long name the string table does not hold: no telling what it is.
        if (!s.Name.empty() && s.Name[0] == '/') return 0;
        if (s.Name.compare(0, 6, ".debug") != 0) total += s.FileSize;
    }
    return total;
}

std::size_t PeImage::Offset(std::uint64_t rva) const {
    if (loaded_) return rva < bytes_.size() ? static_cast<std::size_t>(rva) : std::string_view::npos;
    for (const Section& s : sections_) {
        if (rva < s.VirtualAddress || rva - s.VirtualAddress >= s.FileSize) continue;
        const std::uint64_t at = s.FileOffset + (rva - s.VirtualAddress);
        return at < bytes_.size() ? static_cast<std::size_t>(at) : std::string_view::npos;
    }
    return std::string_view::npos;
}

std::uint32_t PeImage::Directory(int index) const {
    return std::uint32_t(index) < directories_ ? At(directoriesAt_ + 8 * std::size_t(index)) : 0;
}

bool PeImage::Text(std::uint64_t rva, std::string& text) const {
    const std::size_t at = Offset(rva);
    const std::size_t end = at < bytes_.size() ? bytes_.find('\0', at) : std::string_view::npos;
    if (end == std::string_view::npos) return false;
    text.assign(bytes_.data() + at, end - at);
    return true;
}

// A lookup table's entries are four bytes in a PE32 image and eight in a
// PE32+ one, the top bit marking an import by ordinal; a name entry gives
// the RVA of a two-byte hint and the name.
bool PeImage::Functions(std::uint32_t lookup, std::uint32_t slots, std::vector<ImportedFunction>& functions) const {
    const std::size_t width = header_.Wide ? 8 : 4;
    for (std::uint64_t i = 0;; ++i) {
        const std::size_t at = Offset(lookup + i * width);
        if (at == std::string_view::npos || !Has(at, width)) return false;
        const std::uint64_t entry = Field(at, width);
        if (!entry) return true;
        ImportedFunction f;
        f.Slot = static_cast<std::uint32_t>(slots + i * width);
        if (entry >> (width * 8 - 1))
            f.Ordinal = static_cast<std::uint16_t>(entry);
        else if (!Text(static_cast<std::uint32_t>(entry) + std::uint64_t(2), f.Name))
            return false;
        functions.push_back(f);
    }
}

// An import descriptor gives the DLL's name at 12, its address table at 16
// and its lookup table (or none) at 0; a delay-load one the name at 4 and
// the tables at 12 and 16.
bool PeImage::Descriptors(bool delayed, std::vector<ImportedModule>& modules) const {
    const std::uint32_t directory = Directory(delayed ? kDelayImportDirectory : kImportDirectory);
    const std::size_t size = delayed ? 32 : 20;
    for (std::uint64_t rva = directory; directory; rva += size) {
        const std::size_t at = Offset(rva);
        if (at == std::string_view::npos || !Has(at, size)) return false;
        const std::uint32_t name = At(at + (delayed ? 4 : 12));
        if (!name) return true;
        const std::uint32_t slots = At(at + (delayed ? 12 : 16));
        const std::uint32_t lookup = delayed ? At(at + 16) : At(at) ? At(at) : slots;
        modules.push_back({std::string(), delayed, {}});
        if (!Text(name, modules.back().Dll) || !Functions(lookup, slots, modules.back().Functions)) return false;
    }
    return true;
}

bool PeImage::Imports(std::vector<ImportedModule>& modules) const {
    modules.clear();
    return Valid() && Descriptors(false, modules) && Descriptors(true, modules);
}

std::vector<std::string> PeImage::ExportNames() const {
    std::vector<std::string> names;
    const std::uint32_t directory = Directory(kExportDirectory);
    const std::size_t at = directory && Valid() ? Offset(directory) : std::string_view::npos;
    if (at == std::string_view::npos || !Has(at, 40)) return names;
    const std::uint32_t count = At(at + 24), table = At(at + 32);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = Offset(table + std::uint64_t(i) * 4);
        std::string name;
        if (entry == std::string_view::npos || !Has(entry, 4) || !Text(At(entry), name)) break;
        names.push_back(name);
    }
    return names;
}

}  // namespace pe
