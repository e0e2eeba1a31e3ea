#include "platform/ini/IniFileIo.h"

#include <windows.h>
#include <aclapi.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Module_win32.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/SystemFunctions_win32.h"

namespace platform {

namespace {

// Two seconds, in file-time units: the coarsest file time in use (FAT) and a
// margin for a clock that file systems read lazily.
const std::uint64_t kSettleTicks = 20000000u;

std::uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::uint64_t Join(const FILETIME& t) { return Join(t.dwHighDateTime, t.dwLowDateTime); }

TFileStamp StampOf(std::uint64_t size, const FILETIME& written, const FILETIME& created) {
    TFileStamp s;
    s.exists = true;
    s.size = size;
    s.modified = Join(written);
    s.identity = Join(created);
    return s;
}

// The NT form of a full path ("\\??\\C:\\dir\\file"), which a rename by handle
// needs: FinalWidePath gives drive and network paths their "\\\\?\\" form, whose
// prefix becomes "\\??\\". Empty for the forms without it (a device).
std::wstring NtPath(const std::wstring& full) {
    if (full.compare(0, 4, L"\\\\?\\") != 0) return std::wstring();
    return L"\\??\\" + full.substr(4);
}

// Renames the open file over path in one step. By its handle, the rename
// skips the second open MoveFileEx makes, which is near half the cost of a
// flush under Wine. False when the system cannot (before Vista) or the path
// has no NT form; the caller then moves the file by name.
bool RenameOpenFile(HANDLE file, const std::wstring& path) {
    const auto set = DynSetFileInformationByHandle();
    const std::wstring target = NtPath(path);
    if (!set || target.empty()) return false;
    struct RenameInfo {  // FILE_RENAME_INFO, which the XP headers lack
        union {
            BOOLEAN ReplaceIfExists;
            DWORD Flags;
        };
        HANDLE RootDirectory;
        DWORD FileNameLength;
        WCHAR FileName[1];
    };
    const std::size_t bytes = offsetof(RenameInfo, FileName) + (target.size() + 1) * sizeof(WCHAR);
    std::vector<char> buffer(bytes, 0);
    auto* info = reinterpret_cast<RenameInfo*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(WCHAR));
    std::memcpy(info->FileName, target.c_str(), (target.size() + 1) * sizeof(WCHAR));
    const int kFileRenameInfo = 3;  // the system's FILE_INFO_BY_HANDLE_CLASS value
    return set(file, kFileRenameInfo, info, static_cast<DWORD>(bytes)) != FALSE;
}

TFileStamp StampOf(BOOL queried, const WIN32_FILE_ATTRIBUTE_DATA& data) {
    if (!queried) return TFileStamp{};
    return StampOf(Join(data.nFileSizeHigh, data.nFileSizeLow), data.ftLastWriteTime, data.ftCreationTime);
}

// Not kill-safe: used only where no file can be made beside the target.
bool WriteInPlace(const std::wstring& path, const std::string& bytes) {
    TOutFile file(UniqueHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr)));
    const bool ok = file && file.WriteFull(bytes) && ::SetEndOfFile(file.Handle().Get());
    return file.Close() && ok;
}

// What the new file takes over from the old so that, to its users, it stays
// the same file: its attributes (hidden, system, archive), its creation time
// and its own access rules. Read from the old file where it can be opened.
struct TIdentity {
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    FILETIME created{};
    bool hasCreated = false;
    std::vector<unsigned char> dacl;  // the access control list's bytes; empty when unknown
    bool protectedDacl = false;
    bool inherited = false;  // a new file beside it gets these rules by itself
};

DWORD KeptAttributes(DWORD attributes) {
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

// The access rules of an open file: their bytes, and whether they are
// protected from inheritance. False when the system does not say.
bool ReadRules(HANDLE file, std::vector<unsigned char>* bytes, bool* isProtected) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &sd) !=
        ERROR_SUCCESS) {
        return false;
    }
    const UniqueResource<PSECURITY_DESCRIPTOR, &LocalFree> owned(sd);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!dacl || !::GetSecurityDescriptorControl(sd, &control, &revision)) return false;
    const auto* first = reinterpret_cast<const unsigned char*>(dacl);
    bytes->assign(first, first + dacl->AclSize);
    *isProtected = (control & SE_DACL_PROTECTED) != 0;
    return true;
}

void ReadIdentity(const std::wstring& target, const WIN32_FILE_ATTRIBUTE_DATA& data, TIdentity* id) {
    id->attributes = KeptAttributes(data.dwFileAttributes);
    id->created = data.ftCreationTime;
    id->hasCreated = true;
    const UniqueHandle old(::CreateFileW(target.c_str(), READ_CONTROL,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    if (!old || !ReadRules(old.Get(), &id->dacl, &id->protectedDacl)) id->dacl.clear();
}

// Best effort: a system or file system without access rules (FAT, Wine on
// some file systems) still gets the file. Rules that the new file already
// has, as a file whose rules all come from its folder does, are not set
// again: that would cost more than the rest of the write.
void ApplyIdentity(HANDLE file, TIdentity& id) {
    if (id.hasCreated) ::SetFileTime(file, &id.created, nullptr, nullptr);
    if (id.dacl.empty() || id.inherited) return;
    std::vector<unsigned char> got;
    bool gotProtected = false;
    id.inherited = ReadRules(file, &got, &gotProtected) && got == id.dacl && gotProtected == id.protectedDacl;
    if (id.inherited) return;
    const SECURITY_INFORMATION inheritance =
        id.protectedDacl ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
    ::SetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr, nullptr,
                      reinterpret_cast<PACL>(id.dacl.data()), nullptr);
}

// Writes bytes to a new temporary file and renames it over target in one
// step. False, with nothing left behind, on any failure; denied then tells
// a folder that allows no new file.
bool WriteAndRename(const std::wstring& target, const std::wstring& temp, const std::string& bytes,
                    TIdentity* identity, bool* denied) {
    TOutFile file(UniqueHandle(::CreateFileW(temp.c_str(), GENERIC_WRITE | READ_CONTROL | WRITE_DAC | DELETE, 0,
                                             nullptr, CREATE_ALWAYS,
                                             identity ? identity->attributes : FILE_ATTRIBUTE_NORMAL, nullptr)));
    *denied = !file && ::GetLastError() == ERROR_ACCESS_DENIED;
    if (!file) return false;
    bool ok = file.WriteFull(bytes);
    if (ok && identity) ApplyIdentity(file.Handle().Get(), *identity);
    const bool renamed = ok && RenameOpenFile(file.Handle().Get(), target);
    ok = file.Close() && ok;
    ok = ok && (renamed || ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    if (!ok) ::DeleteFileW(temp.c_str());
    return ok;
}

}  // namespace

TFileStamp QueryFileStamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return StampOf(::GetFileAttributesExW(FullWidePath(path).c_str(), GetFileExInfoStandard, &data), data);
}

bool StampIsSettled(const TFileStamp& stamp) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return stamp.modified + kSettleTicks < Join(now);
}

TReadResult ReadWholeFile(const std::string& path, std::string* bytes, TFileStamp* stamp) {
    TInFile file;
    FILETIME created, written;
    const TReadResult opened = file.Open(path);
    if (opened != TReadResult::Read) return opened;
    if (!::GetFileTime(file.Handle().Get(), &created, nullptr, &written) || !file.ReadFull(bytes))
        return TReadResult::Failed;
    *stamp = StampOf(bytes->size(), written, created);
    return TReadResult::Read;
}

struct TReplaceMemo::TState {
    TFileStamp written;  // the file this replace made
    TIdentity identity;  // what it took over
};
TReplaceMemo::TReplaceMemo() = default;
TReplaceMemo::~TReplaceMemo() = default;
void TReplaceMemo::Forget() { state.reset(); }

// Not ReplaceFileW: Wine's moves the old file away before it moves the new
// one in, so a writer killed between the two leaves no file at all. The new
// file takes the old one's identity itself (TIdentity), then one rename puts
// it in place.
TWriteResult ReplaceFileAtomically(const std::string& path, const std::string& bytes, TFileStamp* stamp,
                                   TReplaceMemo* memo) {
    const std::wstring target = FinalWidePath(path);
    if (target.empty()) return TWriteResult::WriteFailed;
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool existed = ::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data) != FALSE;
    const DWORD error = ::GetLastError();
    if (!existed) {
        if (error == ERROR_PATH_NOT_FOUND) return TWriteResult::MissingFolder;
        if (error != ERROR_FILE_NOT_FOUND) return TWriteResult::WriteFailed;
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        return TWriteResult::Directory;
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        return TWriteResult::ReadOnly;
    }
    TIdentity identity;
    const bool remembered = existed && memo && memo->state && memo->state->written == StampOf(TRUE, data);
    if (remembered)
        identity = memo->state->identity;
    else if (existed)
        ReadIdentity(target, data, &identity);
    if (memo) memo->state.reset();
    // One name per process: a writer killed half-way leaves at most one behind.
    const std::wstring temp = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
    bool denied = false;
    bool ok = WriteAndRename(target, temp, bytes, existed ? &identity : nullptr, &denied);
    // A folder where no new file may be made (a protected program folder)
    // still lets a writable file take its keys.
    const bool inPlace = !ok && denied && existed;
    if (inPlace) ok = WriteInPlace(target, bytes);
    if (!ok) return TWriteResult::WriteFailed;
    *stamp = StampOf(::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data), data);
    if (memo && existed && !inPlace) memo->state.reset(new TReplaceMemo::TState{*stamp, identity});
    return inPlace ? TWriteResult::WrittenInPlace : TWriteResult::Written;
}

bool RemoveStaleTemporaries(const std::string& path) {
    const std::wstring target = FinalWidePath(path);
    if (target.empty()) return false;
    const std::wstring folder = target.substr(0, target.find_last_of(L"\\/") + 1);  // empty without a separator
    const std::wstring prefix = target.substr(folder.size()) + L".";
    WIN32_FIND_DATAW found;
    const UniqueFind find(::FindFirstFileW((target + L".*.tmp").c_str(), &found));
    if (!find) return false;
    bool live = false;
    do {
        const std::wstring name = found.cFileName;
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) continue;
        wchar_t* end = nullptr;
        const unsigned long pid = std::wcstoul(name.c_str() + prefix.size(), &end, 10);
        if (pid == 0 || std::wstring(end) != L".tmp") continue;
        const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        const bool gone = process ? ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0
                                  : ::GetLastError() == ERROR_INVALID_PARAMETER;
        if (gone)
            ::DeleteFileW((folder + name).c_str());
        else
            live = true;
    } while (::FindNextFileW(find.Get(), &found));
    return live;
}

}  // namespace platform
