#include "tests/support/PeImage_win32.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace ovtest {

namespace {

// The NT headers of an image of `size` bytes (a mapped module's size is
// taken as unbounded), or null when they are not there. The fields up to the
// stack sizes lie alike in both forms; a PE32+ image's (64-bit) are read
// through OptionalHeaderOf.
const IMAGE_NT_HEADERS32* Headers(const BYTE* base, std::size_t size) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (size < sizeof *dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const std::size_t at = static_cast<std::size_t>(dos->e_lfanew);
    if (at > size || size - at < sizeof(IMAGE_NT_HEADERS32)) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + at);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
    const bool wide = nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    return !wide || size - at >= sizeof(IMAGE_NT_HEADERS64) ? nt : nullptr;
}

bool IsPe32Plus(const IMAGE_NT_HEADERS32* nt) { return nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC; }

// The data directory `index` of either form, or null when the image has none.
const IMAGE_DATA_DIRECTORY* DirectoryOf(const IMAGE_NT_HEADERS32* nt, int index) {
    if (IsPe32Plus(nt)) {
        const auto& optional = reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader;
        return optional.NumberOfRvaAndSizes > DWORD(index) ? &optional.DataDirectory[index] : nullptr;
    }
    return nt->OptionalHeader.NumberOfRvaAndSizes > DWORD(index) ? &nt->OptionalHeader.DataDirectory[index] : nullptr;
}

const IMAGE_NT_HEADERS32* Headers(HMODULE module) { return Headers(reinterpret_cast<const BYTE*>(module), SIZE_MAX); }

// A section's name, from its header or from the COFF string table at `strings`.
bool SectionName(const std::string& file, const IMAGE_SECTION_HEADER& section, std::size_t strings, std::string& name) {
    const char* raw = reinterpret_cast<const char*>(section.Name);
    name.assign(raw, strnlen(raw, IMAGE_SIZEOF_SHORT_NAME));
    if (name.size() < 2 || name[0] != '/') return true;
    const std::size_t at = strings + std::strtoul(name.c_str() + 1, nullptr, 10);
    if (!strings || at >= file.size()) return false;
    name = file.substr(at, file.find('\0', at) - at);
    return true;
}

template <class T>
const T* At(HMODULE module, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

const IMAGE_DATA_DIRECTORY* Directory(HMODULE module, int index) {
    const IMAGE_NT_HEADERS32* nt = Headers(module);
    const IMAGE_DATA_DIRECTORY* dir = nt ? DirectoryOf(nt, index) : nullptr;
    return dir && dir->VirtualAddress && dir->Size ? dir : nullptr;
}

// Walks a lookup table (names or ordinals) beside the bound address table.
std::vector<ImportedFunction> Functions(HMODULE module, DWORD lookupRva, DWORD boundRva) {
    std::vector<ImportedFunction> functions;
    const auto* lookup = At<IMAGE_THUNK_DATA>(module, lookupRva ? lookupRva : boundRva);
    const auto* bound = At<IMAGE_THUNK_DATA>(module, boundRva);
    for (; lookup->u1.AddressOfData; ++lookup, ++bound) {
        ImportedFunction f;
        if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal))
            f.Ordinal = static_cast<WORD>(IMAGE_ORDINAL(lookup->u1.Ordinal));
        else
            f.Name = At<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(lookup->u1.AddressOfData))->Name;
        f.Bound = reinterpret_cast<const void*>(static_cast<ULONG_PTR>(bound->u1.Function));
        functions.push_back(f);
    }
    return functions;
}

// A PE file's bytes, reached by RVA through the section that holds them.
class FileImage {
public:
    explicit FileImage(const std::string& file) : file_(file), nt_(Headers(Base(), file.size())) {
        if (!nt_) return;
        const BYTE* table = reinterpret_cast<const BYTE*>(&nt_->OptionalHeader) + nt_->FileHeader.SizeOfOptionalHeader;
        const std::size_t at = std::size_t(table - Base());
        if (at > file.size() || (file.size() - at) / sizeof(IMAGE_SECTION_HEADER) < nt_->FileHeader.NumberOfSections)
            nt_ = nullptr;
        else
            sections_ = reinterpret_cast<const IMAGE_SECTION_HEADER*>(table);
    }
    const IMAGE_NT_HEADERS32* Nt() const { return nt_; }

    // A T at `rva`, or null when it is not all in the file.
    template <class T>
    const T* At(DWORD rva) const {
        const std::size_t at = Offset(rva);
        return at && at <= file_.size() && file_.size() - at >= sizeof(T) ? reinterpret_cast<const T*>(Base() + at)
                                                                         : nullptr;
    }

    // A NUL-terminated name at `rva`, or null when it runs off the file.
    const char* Text(DWORD rva) const {
        const char* text = At<char>(rva);
        return text && std::memchr(text, 0, file_.size() - Offset(rva)) ? text : nullptr;
    }

private:
    const BYTE* Base() const { return reinterpret_cast<const BYTE*>(file_.data()); }

    // 0 when no section's file data holds `rva`.
    std::size_t Offset(DWORD rva) const {
        for (WORD i = 0; nt_ && i < nt_->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections_[i];
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData)
                return s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return 0;
    }

    const std::string& file_;
    const IMAGE_NT_HEADERS32* nt_;
    const IMAGE_SECTION_HEADER* sections_ = nullptr;
};

// One import descriptor's functions, read from the file's lookup table, whose
// entries are a DWORD in a PE32 file and a ULONGLONG in a PE32+ one.
template <class Thunk>
bool FileFunctions(const FileImage& image, DWORD lookupRva, std::vector<ImportedFunction>& functions) {
    constexpr auto kByOrdinal = decltype(Thunk{}.u1.Ordinal)(1) << (sizeof(Thunk) * 8 - 1);
    for (DWORD rva = lookupRva;; rva += sizeof(Thunk)) {
        const auto* thunk = image.At<Thunk>(rva);
        if (!thunk) return false;
        if (!thunk->u1.AddressOfData) return true;
        ImportedFunction f;
        if (thunk->u1.Ordinal & kByOrdinal) {
            f.Ordinal = static_cast<WORD>(thunk->u1.Ordinal & 0xFFFF);
        } else {
            const char* name =
                image.Text(static_cast<DWORD>(thunk->u1.AddressOfData) + offsetof(IMAGE_IMPORT_BY_NAME, Name));
            if (!name) return false;
            f.Name = name;
        }
        functions.push_back(f);
    }
}

// A descriptor's DLL name and the table that names its functions.
std::pair<DWORD, DWORD> NameAndLookup(const IMAGE_IMPORT_DESCRIPTOR& d) {
    return {d.Name, d.OriginalFirstThunk ? d.OriginalFirstThunk : d.FirstThunk};
}
std::pair<DWORD, DWORD> NameAndLookup(const IMAGE_DELAYLOAD_DESCRIPTOR& d) {
    return {d.DllNameRVA, d.ImportNameTableRVA};
}

template <class Descriptor>
bool FileDescriptors(const FileImage& image, int index, std::vector<ImportedModule>& imports) {
    const IMAGE_DATA_DIRECTORY* directory = DirectoryOf(image.Nt(), index);
    if (!directory || !directory->VirtualAddress) return true;
    for (DWORD rva = directory->VirtualAddress;; rva += sizeof(Descriptor)) {
        const Descriptor* d = image.At<Descriptor>(rva);
        if (!d) return false;
        const auto [nameRva, lookupRva] = NameAndLookup(*d);
        if (!nameRva) return true;
        const char* dll = image.Text(nameRva);
        if (!dll) return false;
        imports.push_back({dll, index == IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, {}});
        const bool read = IsPe32Plus(image.Nt()) ? FileFunctions<IMAGE_THUNK_DATA64>(image, lookupRva, imports.back().Functions)
                                                 : FileFunctions<IMAGE_THUNK_DATA32>(image, lookupRva, imports.back().Functions);
        if (!read) return false;
    }
}

}  // namespace

bool ImportsOfFile(const std::string& file, std::vector<ImportedModule>& imports) {
    imports.clear();
    const FileImage image(file);
    return image.Nt() && FileDescriptors<IMAGE_IMPORT_DESCRIPTOR>(image, IMAGE_DIRECTORY_ENTRY_IMPORT, imports) &&
           FileDescriptors<IMAGE_DELAYLOAD_DESCRIPTOR>(image, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, imports);
}

bool VersionsOfFile(const std::string& file, ImageVersions& versions) {
    const IMAGE_NT_HEADERS32* nt = Headers(reinterpret_cast<const BYTE*>(file.data()), file.size());
    if (!nt) return false;
    const IMAGE_OPTIONAL_HEADER32& optional = nt->OptionalHeader;
    versions = {optional.MajorOperatingSystemVersion, optional.MinorOperatingSystemVersion,
                optional.MajorSubsystemVersion, optional.MinorSubsystemVersion, nt->FileHeader.Machine};
    return true;
}

std::vector<ImportedModule> ImportsOf(HMODULE module) {
    std::vector<ImportedModule> modules;
    if (const IMAGE_DATA_DIRECTORY* dir = Directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT)) {
        for (const auto* d = At<IMAGE_IMPORT_DESCRIPTOR>(module, dir->VirtualAddress); d->Name; ++d)
            modules.push_back({At<char>(module, d->Name), false, Functions(module, d->OriginalFirstThunk, d->FirstThunk)});
    }
    if (const IMAGE_DATA_DIRECTORY* dir = Directory(module, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT)) {
        for (const auto* d = At<IMAGE_DELAYLOAD_DESCRIPTOR>(module, dir->VirtualAddress); d->DllNameRVA; ++d)
            modules.push_back({At<char>(module, d->DllNameRVA), true,
                               Functions(module, d->ImportNameTableRVA, d->ImportAddressTableRVA)});
    }
    return modules;
}

std::vector<std::string> ExportNamesOf(HMODULE module) {
    std::vector<std::string> names;
    const IMAGE_DATA_DIRECTORY* dir = Directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (!dir) return names;
    const auto* exports = At<IMAGE_EXPORT_DIRECTORY>(module, dir->VirtualAddress);
    const auto* nameRvas = At<DWORD>(module, exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.emplace_back(At<char>(module, nameRvas[i]));
    return names;
}

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement) {
    const IMAGE_DATA_DIRECTORY* dir = Directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (!dir) return;
    for (const auto* d = At<IMAGE_IMPORT_DESCRIPTOR>(module, dir->VirtualAddress); d->Name && !slot_; ++d) {
        if (lstrcmpiA(At<char>(module, d->Name), dll) != 0) continue;
        const auto* lookup = At<IMAGE_THUNK_DATA>(module, d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk);
        auto* bound = const_cast<IMAGE_THUNK_DATA*>(At<IMAGE_THUNK_DATA>(module, d->FirstThunk));
        for (; lookup->u1.AddressOfData; ++lookup, ++bound) {
            if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal)) continue;
            if (lstrcmpA(At<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(lookup->u1.AddressOfData))->Name, function) != 0)
                continue;
            slot_ = reinterpret_cast<const void**>(&bound->u1.Function);
            break;
        }
    }
    if (!slot_) return;
    original_ = *slot_;
    Write(replacement);
}

ImportPatch::~ImportPatch() {
    if (slot_) Write(original_);
}

void ImportPatch::Write(const void* value) {
    DWORD old = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
    *slot_ = value;
    VirtualProtect(slot_, sizeof *slot_, old, &old);
}

std::size_t SizeWithoutDebugInfo(const std::string& file) {
    const auto* base = reinterpret_cast<const BYTE*>(file.data());
    const IMAGE_NT_HEADERS32* nt = Headers(base, file.size());
    if (!nt) return 0;
    const IMAGE_FILE_HEADER& coff = nt->FileHeader;
    const std::size_t table = std::size_t(reinterpret_cast<const BYTE*>(&nt->OptionalHeader) - base) +
                              coff.SizeOfOptionalHeader;
    if (table > file.size() || (file.size() - table) / sizeof(IMAGE_SECTION_HEADER) < coff.NumberOfSections) return 0;
    const std::size_t strings =
        coff.PointerToSymbolTable ? coff.PointerToSymbolTable + std::size_t(coff.NumberOfSymbols) * 18 : 0;
    std::size_t total = nt->OptionalHeader.SizeOfHeaders;
    for (WORD i = 0; i < coff.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        std::memcpy(&section, base + table + i * sizeof section, sizeof section);
        std::string name;
        if (!SectionName(file, section, strings, name)) return 0;
        if (name.compare(0, 6, ".debug") != 0) total += section.SizeOfRawData;
    }
    return total;
}

}  // namespace ovtest
