#include "tools/host/CheckDll.h"

#include <vector>

#include "platform/runtime/Paths.h"
#include "tools/host/PeFile.h"

std::string VersionText(const std::string& path) {
    DWORD ignored = 0;
    const std::wstring wide = platform::WideFromUtf8(path);
    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (!size) return std::string();
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, data.data())) return std::string();
    struct Translation {
        WORD Language, CodePage;
    }* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        length < sizeof *translations)
        return std::string();
    wchar_t key[64];
    wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileVersion", translations->Language, translations->CodePage);
    // Read wide: the ANSI query would give it in the system's code page.
    wchar_t* text = nullptr;
    if (!VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&text), &length) || !length) return std::string();
    return platform::Utf8FromWide(std::wstring(text, wcsnlen(text, length)));
}

// The path is full already, and the loader takes it without the long-path
// prefix.
platform::UniqueModule LoadFrom(const std::string& path, DWORD& error) {
    platform::UniqueModule module(
        LoadLibraryExW(platform::WideFromUtf8(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    error = module ? 0 : GetLastError();
    return module;
}

// Loaded here, a system DLL is there for the other processor too.
std::string MissingImport(const std::string& path, bool for32Bit) {
    const std::string folder = platform::DirectoryOf(path);
    for (const std::string& name : PeImportedDlls(path))
        if (!GetModuleHandleA(name.c_str()) && !platform::FileExists(folder + name) &&
            OnSearchPath(name, for32Bit).empty())
            return name;
    return std::string();
}

std::string LoadFailure(DWORD error, const std::string& path) {
    std::string text = " (error " + std::to_string(error) + ")";
    if (error == ERROR_MOD_NOT_FOUND) {
        const std::string missing = MissingImport(path);
        text += missing.empty() ? ": a DLL it needs is missing"
                                : ": it needs " + missing + ", which is neither beside it nor on the DLL search path";
    }
    if (error == ERROR_PROC_NOT_FOUND) text += ": a DLL it needs lacks a function";
    if (error == ERROR_BAD_EXE_FORMAT)
        text += sizeof(void*) == 4 ? ": not a 32-bit Windows DLL (a 64-bit DLL, or not a Windows DLL)"
                                   : ": not a 64-bit Windows DLL (a 32-bit DLL, or not a Windows DLL)";
    return text;
}

std::string OnSearchPath(const std::string& name, bool for32Bit) {
    wchar_t folder[MAX_PATH];
    std::wstring folders;
#ifdef _WIN64
    // A 32-bit process's system folder is SysWOW64.
    if (for32Bit ? GetSystemWow64DirectoryW(folder, MAX_PATH) : GetSystemDirectoryW(folder, MAX_PATH))
#else
    (void)for32Bit;
    if (GetSystemDirectoryW(folder, MAX_PATH))
#endif
        folders += std::wstring(folder) + L";";
    if (GetWindowsDirectoryW(folder, MAX_PATH)) folders += std::wstring(folder) + L"\\system;" + folder + L";";
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::vector<wchar_t> path(size + 1);
    if (size && GetEnvironmentVariableW(L"PATH", path.data(), size) < size) folders += path.data();
    std::vector<wchar_t> found(32768);
    const DWORD length = SearchPathW(folders.c_str(), platform::WideFromUtf8(name).c_str(), nullptr,
                                     static_cast<DWORD>(found.size()), found.data(), nullptr);
    return length && length < found.size() ? platform::Utf8FromWide(std::wstring(found.data(), length))
                                            : std::string();
}

std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}
