#include "tests/support/PeImage_win32.h"

namespace ovtest {

namespace {

const IMAGE_NT_HEADERS32* Headers(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
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

}  // namespace ovtest
