#include "tools/host/PeFile.h"

#include <algorithm>

#include "platform/runtime/File.h"
#include "tools/pe/PeImage.h"

namespace {

// The headers and the section table lie in the first pages of any DLL.
constexpr DWORD kHeaderBytes = 64 * 1024;

constexpr char kNotADll[] = "is not a Windows DLL at all (a text or other file under a DLL's name)";

std::string CutShort(DWORD size, unsigned long long needed) {
    return "is broken, it is cut short: " + std::to_string(size) + " bytes where its sections need " + std::to_string(needed);
}

bool IsProgramName(const std::string& path) {
    return path.size() > 4 && lstrcmpiA(path.c_str() + path.size() - 4, ".exe") == 0;
}

// The first `limit` bytes of the file and its size; false with the reason
// when it cannot be read.
bool ReadStart(const std::string& path, DWORD limit, std::string& bytes, DWORD& size, std::string& why) {
    platform::TInFile file;
    const bool opened = file.Open(path) == platform::TReadResult::Read;
    size = opened ? static_cast<DWORD>(std::min<std::uint64_t>(file.Size(), MAXDWORD)) : 0;
    bytes.assign(std::min(size, limit), '\0');
    std::size_t done = 0, got = 0;
    while (opened && done < bytes.size() && file.Read(&bytes[done], bytes.size() - done, &got) && got > 0) done += got;
    if (opened && done == bytes.size()) return true;
    why = "cannot be read (error " + std::to_string(GetLastError()) + ")";
    return false;
}

// The processor and the kind of image against those expected; empty when
// they are right.
std::string WrongKind(const pe::Headers& header, WORD machine, bool program, const std::string& refusedBy) {
    const std::string kind = program ? "program" : "DLL";
    const bool known = header.Machine == pe::kMachineI386 || header.Machine == pe::kMachineAmd64 ||
                       header.Machine == pe::kMachineArm64;
    if (!known)
        return std::string("is not a ") + BitsOf(machine) + " Windows " + kind + " (machine type " +
               std::to_string(header.Machine) + ")";
    if (header.Machine == pe::kMachineArm64) return "is an ARM64 " + kind + ", which " + refusedBy;
    if (header.Machine != machine) return std::string("is a ") + BitsOf(header.Machine) + " " + kind + ", which " + refusedBy;
    const bool dll = header.Characteristics & pe::kCharacteristicDll;
    if (program && dll) return "is a DLL, not a program";
    if (!program && !dll) return "is a program, not a DLL";
    return std::string();
}

}  // namespace

const char* BitsOf(WORD machine) { return machine == IMAGE_FILE_MACHINE_I386 ? "32-bit" : "64-bit"; }

bool ReadPeFile(const std::string& path, std::uint64_t largest, std::string& bytes) {
    platform::TInFile file;
    return file.Open(path) == platform::TReadResult::Read && file.Size() <= largest && file.ReadFull(&bytes);
}

WORD PeMachine(const std::string& path) {
    std::string bytes, why;
    DWORD size = 0;
    if (!ReadStart(path, kHeaderBytes, bytes, size, why)) return 0;
    const pe::PeImage image(bytes);
    return image.Read() >= pe::PeImage::Stage::FileHeader ? image.Header().Machine : 0;
}

std::string PeFileDamage(const std::string& path, WORD machine, const std::string& refusedBy) {
    using Stage = pe::PeImage::Stage;
    std::string bytes, why;
    DWORD size = 0;
    if (!ReadStart(path, kHeaderBytes, bytes, size, why)) return why;
    const pe::PeImage image(bytes);
    if (image.Read() == Stage::NotPe) return kNotADll;
    if (image.Read() < Stage::FileHeader) return CutShort(size, image.SignatureAt() + sizeof(IMAGE_NT_HEADERS32));
    const std::string wrong = WrongKind(image.Header(), machine, IsProgramName(path), refusedBy);
    if (!wrong.empty()) return wrong;
    const unsigned long long needed = image.SectionsEnd();
    return image.Read() < Stage::SectionTable || needed > size ? CutShort(size, needed) : std::string();
}

namespace {

// The whole file, when it is of a size a DLL can have.
std::string WholeImage(const std::string& path) {
    std::string bytes;
    return ReadPeFile(path, 64u << 20, bytes) ? bytes : std::string();
}

}  // namespace

std::vector<std::string> PeImportedDlls(const std::string& path) {
    const std::string bytes = WholeImage(path);
    std::vector<pe::ImportedModule> modules;
    pe::PeImage(bytes).Imports(modules);
    std::vector<std::string> names;
    for (const pe::ImportedModule& module : modules)
        if (!module.Delayed) names.push_back(module.Dll);
    return names;
}

std::vector<std::string> PeExportedNames(const std::string& path) {
    const std::string bytes = WholeImage(path);
    return pe::PeImage(bytes).ExportNames();
}
