#include "tools/host/PeFile.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/HostPath.h"
#include "platform/ini/IniFileIo.h"

namespace {

// The headers and the section table lie in the first pages of any DLL.
constexpr DWORD kHeaderBytes = 64 * 1024;

constexpr char kNotADll[] = "is not a Windows DLL at all (a text or other file under a DLL's name)";

template <class T>
bool ReadAt(const std::vector<char>& bytes, std::size_t at, T& value) {
    if (at > bytes.size() || bytes.size() - at < sizeof value) return false;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return true;
}

// Where the section table starts: after the signature, the file header and
// the optional header, whatever size the file header gives that.
std::size_t SectionTableAt(const IMAGE_DOS_HEADER& dos, const IMAGE_FILE_HEADER& file) {
    return static_cast<std::size_t>(dos.e_lfanew) + 4 + sizeof file + file.SizeOfOptionalHeader;
}

std::string CutShort(DWORD size, unsigned long long needed) {
    return "is broken, it is cut short: " + std::to_string(size) + " bytes where its sections need " + std::to_string(needed);
}

}  // namespace

std::string PeFileDamage(const std::string& path) {
    const platform::UniqueHandle file(CreateFileW(platform::FullWidePath(path).c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "cannot be read (error " + std::to_string(GetLastError()) + ")";
    const DWORD size = GetFileSize(file.Get(), nullptr);
    std::vector<char> bytes(size < kHeaderBytes ? size : kHeaderBytes);
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return "cannot be read (error " + std::to_string(GetLastError()) + ")";
    IMAGE_DOS_HEADER dos{};
    if (!ReadAt(bytes, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return kNotADll;
    IMAGE_NT_HEADERS32 nt{};
    if (dos.e_lfanew < 0 || !ReadAt(bytes, static_cast<std::size_t>(dos.e_lfanew), nt.Signature) ||
        !ReadAt(bytes, static_cast<std::size_t>(dos.e_lfanew) + 4, nt.FileHeader))
        return CutShort(size, static_cast<unsigned long long>(dos.e_lfanew) + sizeof nt);
    if (nt.Signature != IMAGE_NT_SIGNATURE) return kNotADll;
    if (nt.FileHeader.Machine == IMAGE_FILE_MACHINE_AMD64 || nt.FileHeader.Machine == 0xAA64 /* ARM64 */)
        return "is a 64-bit DLL, which a 32-bit host cannot load";
    if (nt.FileHeader.Machine != IMAGE_FILE_MACHINE_I386)
        return "is not a 32-bit Windows DLL (machine type " + std::to_string(nt.FileHeader.Machine) + ")";
    if (!(nt.FileHeader.Characteristics & IMAGE_FILE_DLL)) return "is a program, not a DLL";
    const std::size_t sections = SectionTableAt(dos, nt.FileHeader);
    unsigned long long needed = sections + nt.FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER);
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section{};
        if (!ReadAt(bytes, sections + i * sizeof section, section)) return CutShort(size, needed);
        const unsigned long long end =
            static_cast<unsigned long long>(section.PointerToRawData) + section.SizeOfRawData;
        if (section.SizeOfRawData && end > needed) needed = end;
    }
    return needed > size ? CutShort(size, needed) : std::string();
}

namespace {

// The file offset of a relative virtual address, through the section that
// holds it; 0 when none does.
std::size_t FileOffsetOf(const std::vector<char>& bytes, std::size_t sections, WORD count, DWORD rva) {
    for (WORD i = 0; i < count; ++i) {
        IMAGE_SECTION_HEADER section{};
        if (!ReadAt(bytes, sections + i * sizeof section, section)) return 0;
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < section.SizeOfRawData)
            return section.PointerToRawData + (rva - section.VirtualAddress);
    }
    return 0;
}

}  // namespace

std::vector<std::string> PeImportedDlls(const std::string& path) {
    std::string whole;
    platform::TFileStamp stamp;
    std::vector<std::string> names;
    if (platform::QueryFileStamp(path).size > (64u << 20) ||
        platform::ReadWholeFile(path, &whole, &stamp) != platform::TReadResult::Read)
        return names;
    const std::vector<char> bytes(whole.begin(), whole.end());
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS32 nt{};
    if (!ReadAt(bytes, 0, dos) || dos.e_lfanew < 0 || !ReadAt(bytes, static_cast<std::size_t>(dos.e_lfanew), nt) ||
        nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC ||
        nt.OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
        return names;
    const std::size_t sections = SectionTableAt(dos, nt.FileHeader);
    const WORD count = nt.FileHeader.NumberOfSections;
    std::size_t at = FileOffsetOf(bytes, sections, count,
                                  nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    IMAGE_IMPORT_DESCRIPTOR entry{};
    for (; at && ReadAt(bytes, at, entry) && entry.Name; at += sizeof entry) {
        const std::size_t name = FileOffsetOf(bytes, sections, count, entry.Name);
        if (!name) break;
        names.emplace_back(bytes.data() + name, strnlen(bytes.data() + name, bytes.size() - name));
    }
    return names;
}
