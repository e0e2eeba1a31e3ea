#include "tools/host/PeFile.h"

#include <cstring>
#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
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

bool IsProgramName(const std::string& path) {
    return path.size() > 4 && lstrcmpiA(path.c_str() + path.size() - 4, ".exe") == 0;
}

// The first `limit` bytes of the file; false with the reason when it cannot
// be read.
bool ReadStart(const std::string& path, DWORD limit, std::vector<char>& bytes, DWORD& size, std::string& why) {
    const platform::UniqueHandle file(CreateFileW(platform::FullWidePath(path).c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    size = file ? GetFileSize(file.Get(), nullptr) : 0;
    bytes.assign(size < limit ? size : limit, 0);
    DWORD read = 0;
    if (file && (bytes.empty() || (ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                                   read == bytes.size())))
        return true;
    why = "cannot be read (error " + std::to_string(GetLastError()) + ")";
    return false;
}

// The processor and the kind of image against those expected; empty when
// they are right.
std::string WrongKind(const IMAGE_FILE_HEADER& header, WORD machine, bool program, const std::string& refusedBy) {
    const std::string kind = program ? "program" : "DLL";
    const bool known = header.Machine == IMAGE_FILE_MACHINE_I386 || header.Machine == IMAGE_FILE_MACHINE_AMD64 ||
                       header.Machine == 0xAA64 /* ARM64 */;
    if (!known)
        return std::string("is not a ") + BitsOf(machine) + " Windows " + kind + " (machine type " +
               std::to_string(header.Machine) + ")";
    if (header.Machine == 0xAA64) return "is an ARM64 " + kind + ", which " + refusedBy;
    if (header.Machine != machine) return std::string("is a ") + BitsOf(header.Machine) + " " + kind + ", which " + refusedBy;
    const bool dll = header.Characteristics & IMAGE_FILE_DLL;
    if (program && dll) return "is a DLL, not a program";
    if (!program && !dll) return "is a program, not a DLL";
    return std::string();
}

}  // namespace

const char* BitsOf(WORD machine) { return machine == IMAGE_FILE_MACHINE_I386 ? "32-bit" : "64-bit"; }

WORD PeMachine(const std::string& path) {
    std::vector<char> bytes;
    DWORD size = 0;
    std::string why;
    IMAGE_DOS_HEADER dos{};
    DWORD signature = 0;
    IMAGE_FILE_HEADER file{};
    if (!ReadStart(path, kHeaderBytes, bytes, size, why) || !ReadAt(bytes, 0, dos) ||
        dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 ||
        !ReadAt(bytes, static_cast<std::size_t>(dos.e_lfanew), signature) || signature != IMAGE_NT_SIGNATURE ||
        !ReadAt(bytes, static_cast<std::size_t>(dos.e_lfanew) + 4, file))
        return 0;
    return file.Machine;
}

std::string PeFileDamage(const std::string& path, WORD machine, const std::string& refusedBy) {
    std::vector<char> bytes;
    DWORD size = 0;
    std::string why;
    if (!ReadStart(path, kHeaderBytes, bytes, size, why)) return why;
    IMAGE_DOS_HEADER dos{};
    if (!ReadAt(bytes, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return kNotADll;
    IMAGE_NT_HEADERS32 nt{};
    if (dos.e_lfanew < 0 || !ReadAt(bytes, static_cast<std::size_t>(dos.e_lfanew), nt.Signature) ||
        !ReadAt(bytes, static_cast<std::size_t>(dos.e_lfanew) + 4, nt.FileHeader))
        return CutShort(size, static_cast<unsigned long long>(dos.e_lfanew) + sizeof nt);
    if (nt.Signature != IMAGE_NT_SIGNATURE) return kNotADll;
    const std::string wrong = WrongKind(nt.FileHeader, machine, IsProgramName(path), refusedBy);
    if (!wrong.empty()) return wrong;
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

// A whole PE file, reached by relative virtual address through its sections;
// its data directories wherever the optional header of either form (PE32,
// or the 64-bit PE32+) puts them.
class PeImage {
public:
    explicit PeImage(const std::string& path) {
        std::string whole;
        platform::TFileStamp stamp;
        if (platform::QueryFileStamp(path).size > (64u << 20) ||
            platform::ReadWholeFile(path, &whole, &stamp) != platform::TReadResult::Read)
            return;
        bytes_.assign(whole.begin(), whole.end());
        IMAGE_DOS_HEADER dos{};
        IMAGE_FILE_HEADER file{};
        WORD magic = 0;
        if (!ReadAt(bytes_, 0, dos) || dos.e_lfanew < 0) return;
        const std::size_t optional = static_cast<std::size_t>(dos.e_lfanew) + 4 + sizeof file;
        if (!ReadAt(bytes_, optional - sizeof file, file) || !ReadAt(bytes_, optional, magic)) return;
        // NumberOfRvaAndSizes, then the directories, close either form's header.
        const std::size_t count = optional + (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? 108 : 92);
        if ((magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) ||
            !ReadAt(bytes_, count, directories_))
            return;
        directoriesAt_ = count + sizeof(DWORD);
        sections_ = SectionTableAt(dos, file);
        sectionCount_ = file.NumberOfSections;
    }

    // The directory `index`'s address; 0 when there is none.
    DWORD Directory(int index) const {
        IMAGE_DATA_DIRECTORY directory{};
        return DWORD(index) < directories_ && ReadAt(bytes_, directoriesAt_ + index * sizeof directory, directory)
                   ? directory.VirtualAddress
                   : 0;
    }

    // The file offset of `rva`, through the section that holds it; 0 when none does.
    std::size_t Offset(DWORD rva) const {
        for (WORD i = 0; rva && i < sectionCount_; ++i) {
            IMAGE_SECTION_HEADER section{};
            if (!ReadAt(bytes_, sections_ + i * sizeof section, section)) return 0;
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < section.SizeOfRawData)
                return section.PointerToRawData + (rva - section.VirtualAddress);
        }
        return 0;
    }

    template <class T>
    bool Read(DWORD rva, T& value) const {
        const std::size_t at = Offset(rva);
        return at && ReadAt(bytes_, at, value);
    }

    // The NUL-terminated name at `rva`; false when it is not in the file.
    bool Name(DWORD rva, std::string& name) const {
        const std::size_t at = Offset(rva);
        if (!at || at >= bytes_.size()) return false;
        name.assign(bytes_.data() + at, strnlen(bytes_.data() + at, bytes_.size() - at));
        return true;
    }

private:
    std::vector<char> bytes_;
    DWORD directories_ = 0;
    std::size_t directoriesAt_ = 0;
    std::size_t sections_ = 0;
    WORD sectionCount_ = 0;
};

}  // namespace

std::vector<std::string> PeImportedDlls(const std::string& path) {
    const PeImage image(path);
    std::vector<std::string> names;
    IMAGE_IMPORT_DESCRIPTOR entry{};
    std::string name;
    for (DWORD at = image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
         at && image.Read(at, entry) && entry.Name && image.Name(entry.Name, name); at += sizeof entry)
        names.push_back(name);
    return names;
}

std::vector<std::string> PeExportedNames(const std::string& path) {
    const PeImage image(path);
    std::vector<std::string> names;
    IMAGE_EXPORT_DIRECTORY exports{};
    const DWORD at = image.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (!at || !image.Read(at, exports)) return names;
    std::string name;
    DWORD nameRva = 0;
    for (DWORD i = 0; i < exports.NumberOfNames && image.Read(exports.AddressOfNames + i * 4, nameRva) &&
                      image.Name(nameRva, name);
         ++i)
        names.push_back(name);
    return names;
}
