// A Windows image (PE32 or the 64-bit PE32+) read from its bytes: a file's,
// or a loaded module's. Every field and table is checked against the bytes
// before it is read, since the tools read whatever a shop's folder holds,
// cut short or not a DLL at all. Portable: it parses bytes only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pe {

constexpr std::uint16_t kMachineI386 = 0x14c, kMachineAmd64 = 0x8664, kMachineArm64 = 0xAA64;
constexpr std::uint16_t kCharacteristicDll = 0x2000;

struct Section {
    std::string Name;  // a long one ("/4" in the header) from the COFF string table
    std::uint32_t VirtualAddress = 0, VirtualSize = 0, FileOffset = 0, FileSize = 0;
};

struct ImportedFunction {
    std::string Name;           // empty when imported by ordinal
    std::uint16_t Ordinal = 0;  // when imported by ordinal
    std::uint32_t Slot = 0;     // the address (RVA) of its entry in the import address table
};

struct ImportedModule {
    std::string Dll;
    bool Delayed = false;
    std::vector<ImportedFunction> Functions;
};

// What the file header and the optional header give.
struct Headers {
    std::uint16_t Machine = 0, Characteristics = 0;
    bool Wide = false;  // PE32+
    std::uint64_t ImageBase = 0;
    std::uint32_t EntryPoint = 0, SizeOfImage = 0, SizeOfHeaders = 0;
    std::uint16_t OsMajor = 0, OsMinor = 0, SubsystemMajor = 0, SubsystemMinor = 0;
    std::uint32_t SymbolsAt = 0, SymbolCount = 0;  // the COFF symbol table, no more entries than the bytes hold
};

class PeImage {
public:
    // How far the headers read, each stage having passed the ones before.
    enum class Stage {
        NotPe,        // no "MZ" header, or something else than "PE\0\0" where it points
        Dos,          // the PE signature lies past the bytes
        Signature,    // the file header is cut short
        FileHeader,   // the optional header or the section table is cut short
        SectionTable  // all headers read
    };

    // `bytes` as a file holds them; they must outlive the image.
    explicit PeImage(std::string_view bytes);
    // The module the loader mapped at `base`: sections lie at their RVAs.
    static PeImage Loaded(const void* base);

    Stage Read() const { return stage_; }
    // All headers read, and the optional header of a known form.
    bool Valid() const { return stage_ == Stage::SectionTable && known_; }
    std::string_view Bytes() const { return bytes_; }
    std::size_t SignatureAt() const { return signatureAt_; }
    const Headers& Header() const { return header_; }
    const std::vector<Section>& Sections() const { return sections_; }
    const Section* Find(std::string_view name) const;
    std::string_view Contents(const Section& section) const;
    // Where the section table, or the file data of the furthest section, ends.
    std::uint64_t SectionsEnd() const;
    // The headers and every section not named ".debug*": a stripped build's
    // size. 0 when the image is not valid.
    std::size_t SizeWithoutDebugInfo() const;
    // The NUL-terminated name at `offset` into the COFF string table.
    std::string TableString(std::uint32_t offset) const;

    // Load-time then delay-load imports; false, with those read so far, when
    // a table lies outside the bytes.
    bool Imports(std::vector<ImportedModule>& modules) const;
    // The export table's names, up to the first that is not in the bytes.
    std::vector<std::string> ExportNames() const;

    // A little-endian field of `size` bytes at file offset `at`; 0 past the end.
    std::uint64_t Field(std::size_t at, std::size_t size) const;
    // The offset of `rva` in the bytes, or npos when no section's data there holds it.
    std::size_t Offset(std::uint64_t rva) const;

private:
    PeImage(std::string_view bytes, bool loaded);
    bool Has(std::size_t at, std::size_t size) const { return at <= bytes_.size() && bytes_.size() - at >= size; }
    void ReadHeaders();
    void ReadOptionalHeader(std::size_t at);
    void ReadSections(std::size_t table, std::uint16_t count);
    std::uint32_t At(std::size_t at) const { return static_cast<std::uint32_t>(Field(at, 4)); }
    bool Text(std::uint64_t rva, std::string& text) const;
    bool Functions(std::uint32_t lookup, std::uint32_t slots, std::vector<ImportedFunction>& functions) const;
    bool Descriptors(bool delayed, std::vector<ImportedModule>& modules) const;
    std::uint32_t Directory(int index) const;

    std::string_view bytes_;
    bool loaded_ = false;
    Stage stage_ = Stage::NotPe;
    bool known_ = false;
    std::size_t signatureAt_ = 0, tableEnd_ = 0, directoriesAt_ = 0;
    std::uint32_t directories_ = 0;
    std::uint64_t stringsAt_ = 0;
    Headers header_;
    std::vector<Section> sections_;
};

}  // namespace pe
