#include "tests/support/PeImage_win32.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace ovtest {

namespace {

// The NT headers of an image of `size` bytes (a mapped module's size is
// taken as unbounded), or null when they are not there.
const IMAGE_NT_HEADERS32* Headers(const BYTE* base, std::size_t size) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (size < sizeof *dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const std::size_t at = static_cast<std::size_t>(dos->e_lfanew);
    if (at > size || size - at < sizeof(IMAGE_NT_HEADERS32)) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + at);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
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
    if (!nt || nt->OptionalHeader.NumberOfRvaAndSizes <= static_cast<DWORD>(index)) return nullptr;
    const IMAGE_DATA_DIRECTORY* dir = &nt->OptionalHeader.DataDirectory[index];
    return dir->VirtualAddress && dir->Size ? dir : nullptr;
}

// Walks a lookup table (names or ordinals) beside the bound address table.
std::vector<ImportedFunction> Functions(HMODULE module, DWORD lookupRva, DWORD boundRva) {
    std::vector<ImportedFunction> functions;
    const auto* lookup = At<IMAGE_THUNK_DATA32>(module, lookupRva ? lookupRva : boundRva);
    const auto* bound = At<IMAGE_THUNK_DATA32>(module, boundRva);
    for (; lookup->u1.AddressOfData; ++lookup, ++bound) {
        ImportedFunction f;
        if (IMAGE_SNAP_BY_ORDINAL32(lookup->u1.Ordinal))
            f.Ordinal = static_cast<WORD>(IMAGE_ORDINAL32(lookup->u1.Ordinal));
        else
            f.Name = At<IMAGE_IMPORT_BY_NAME>(module, lookup->u1.AddressOfData)->Name;
        f.Bound = reinterpret_cast<const void*>(static_cast<ULONG_PTR>(bound->u1.Function));
        functions.push_back(f);
    }
    return functions;
}

}  // namespace

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
        const auto* lookup = At<IMAGE_THUNK_DATA32>(module, d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk);
        auto* bound = const_cast<IMAGE_THUNK_DATA32*>(At<IMAGE_THUNK_DATA32>(module, d->FirstThunk));
        for (; lookup->u1.AddressOfData; ++lookup, ++bound) {
            if (IMAGE_SNAP_BY_ORDINAL32(lookup->u1.Ordinal)) continue;
            if (lstrcmpA(At<IMAGE_IMPORT_BY_NAME>(module, lookup->u1.AddressOfData)->Name, function) != 0) continue;
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
