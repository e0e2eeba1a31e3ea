// The install check of the two INI files the plug-in reads from the host's
// folder, read with the plug-in's own INI reader so both see the same keys.
#include <windows.h>

#include <vector>

#include "platform/Handles_win32.h"
#include "platform/HostPath.h"
#include "platform/IniFile.h"
#include "platform/IniText.h"
#include "platform/Utf16Text.h"
#include "tools/host/CheckReport.h"

namespace {

// Names as the plug-in stores them: code page 936 bytes (the sources are
// compiled to GBK), printed through Cp936ToUtf8.
const char kLanguageSection[] = "语言设置";
const char kLanguageKey[] = "系统语言";
const char kDialogSection[] = "TPropertyForm";
// Every key the property dialog reads in English mode, in the order it asks.
const char* const kDialogKeys[] = {"Caption", "Hint", "Label1.Hint", "Label1.Caption", "btnOk.Hint", "btnOk.Caption"};

struct FileBytes {
    bool exists = false;
    DWORD error = 0;  // why it could not be read; 0 when it was
    std::string bytes;
};

FileBytes ReadWhole(const std::string& path) {
    FileBytes file;
    const DWORD attributes = GetFileAttributesW(platform::FullWidePath(path).c_str());
    file.exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!file.exists) return file;
    platform::UniqueHandle handle(CreateFileW(platform::FullWidePath(path).c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD size = handle ? GetFileSize(handle.Get(), nullptr) : 0;
    if (!handle || size == INVALID_FILE_SIZE || size > (64u << 20)) {
        file.error = handle ? ERROR_FILE_TOO_LARGE : GetLastError();
        return file;
    }
    file.bytes.resize(size);
    DWORD read = 0;
    if (size && (!ReadFile(handle.Get(), &file.bytes[0], size, &read, nullptr) || read != size))
        file.error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    return file;
}

bool StartsWith(const std::string& bytes, const char* prefix) { return bytes.rfind(prefix, 0) == 0; }

bool IsUtf8WithNonAscii(const std::string& bytes) {
    bool nonAscii = false;
    for (char c : bytes) nonAscii |= static_cast<unsigned char>(c) >= 0x80;
    return nonAscii && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

// Reports the file's encoding; false when the plug-in cannot read it at all.
bool CheckEncoding(std::string& bytes, CheckReport& report) {
    if (platform::StartsWithUtf16Mark(bytes)) {
        report.Warning("Orvale7.lng is saved as Unicode (UTF-16LE): this plug-in reads and extends it in that "
                       "encoding, older plug-ins do not; save it as ANSI (code page 936) if they share it");
        // As the plug-in's reader hands such a file's texts to the translator.
        bytes = platform::Utf16ToGbk(bytes.data() + 2, bytes.size() - 2);
        return true;
    }
    if (StartsWith(bytes, "\xFE\xFF")) {
        report.Error("Orvale7.lng is saved as big-endian Unicode, which the plug-in cannot read: save it as ANSI "
                     "(code page 936)");
        return false;
    }
    if (StartsWith(bytes, "\xEF\xBB\xBF")) {
        report.Error("Orvale7.lng starts with a UTF-8 byte-order mark, which hides its first section from the "
                     "plug-in: save it as ANSI (code page 936)");
        return false;
    }
    if (IsUtf8WithNonAscii(bytes))
        report.Warning("Orvale7.lng looks like UTF-8: its non-English texts show garbled; save it as ANSI (code "
                       "page 936)");
    else
        report.Ok("Orvale7.lng is 8-bit text, read as code page 936");
    return true;
}

// Whether the plug-in could add keys: the file opens for writing and is not
// read-only. Nothing is written.
bool Writable(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(platform::FullWidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    platform::UniqueHandle handle(CreateFileW(platform::FullWidePath(path).c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle.Valid();
}

// The plug-in replaces the file through a temporary beside it.
bool FolderWritable(const std::string& folder) {
    const std::string probe = folder + "ovhost-check-" + std::to_string(GetCurrentProcessId()) + ".tmp";
    platform::UniqueHandle handle(CreateFileW(platform::FullWidePath(probe).c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                              nullptr));
    return handle.Valid();
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

void CheckDialogKeys(const std::string& bytes, bool writable, CheckReport& report) {
    const platform::TIniText ini(bytes);
    std::vector<std::string> missing, chinese;
    for (const char* key : kDialogKeys) {
        std::string value;
        if (!ini.Find(kDialogSection, key, &value))
            missing.push_back(key);
        else
            for (char c : value)
                if (static_cast<unsigned char>(c) >= 0x80) {
                    chinese.push_back(key);
                    break;
                }
    }
    if (!chinese.empty())
        report.Warning("Orvale7.lng still has non-English texts for " + Joined(chinese) + ": translate them");
    if (missing.empty()) {
        report.Ok("Orvale7.lng has every text of the dialog in section [TPropertyForm]");
        return;
    }
    const std::string lacks = missing.size() == std::size(kDialogKeys)
                                  ? std::string("Orvale7.lng has no section [TPropertyForm]")
                                  : "Orvale7.lng lacks " + Joined(missing) + " in section [TPropertyForm]";
    if (writable)
        report.Warning(lacks + ": the plug-in adds them in Chinese when the dialog first opens; translate them then, "
                               "or copy the kit's Orvale7.lng");
    else
        report.Error(lacks + " and the plug-in cannot add them: those texts stay Chinese; copy the kit's complete "
                             "Orvale7.lng, or make the file writable");
}

}  // namespace

void CheckSettingsFile(const std::string& folder, CheckReport& report, HostLanguage& language) {
    const FileBytes file = ReadWhole(folder + "kdwusr70.ini");
    const std::string where = "[" + Cp936ToUtf8(kLanguageSection) + "] " + Cp936ToUtf8(kLanguageKey);
    if (!file.exists) {
        report.Ok("no kdwusr70.ini: the host is set to Chinese and the dialog stays Chinese");
        return;
    }
    if (file.error) {
        report.Warning("kdwusr70.ini cannot be read (error " + std::to_string(file.error) +
                       "): the plug-in takes the host as set to Chinese; check the file's permissions");
        return;
    }
    // Read again by the plug-in's own call, so that the check sees what the
    // plug-in sees in any encoding it reads (a UTF-16 file included).
    const std::string value = platform::ReadIniValue(folder + "kdwusr70.ini", kLanguageSection, kLanguageKey, "CN");
    language.english = value == "EN";
    if (language.english)
        report.Ok("kdwusr70.ini selects English (" + where + "=EN): the dialog is translated through Orvale7.lng");
    else if (value == "CN")
        report.Ok("kdwusr70.ini selects Chinese (" + where + "=CN, or no such key)");
    else
        report.Warning("kdwusr70.ini sets " + where + "=" + Cp936ToUtf8(value.c_str()) +
                       ": only EN, in capitals, selects English; the dialog stays Chinese");
}

void CheckLanguageFile(const std::string& folder, const HostLanguage& language, CheckReport& report) {
    const std::string path = folder + "Orvale7.lng";
    FileBytes file = ReadWhole(path);
    if (!file.exists) {
        if (language.english)
            report.Error("the host is set to English but Orvale7.lng is missing: copy the kit's English Orvale7.lng "
                         "beside the host program");
        else
            report.Ok("no Orvale7.lng: not needed while the host is set to Chinese");
        return;
    }
    if (file.error) {
        const std::string text = "Orvale7.lng cannot be read (error " + std::to_string(file.error) +
                                 "): close any program holding it open and check its permissions";
        language.english ? report.Error(text) : report.Warning(text);
        return;
    }
    if (!CheckEncoding(file.bytes, report) || !language.english) return;
    const bool writable = Writable(path);
    if (!writable)
        report.Warning("Orvale7.lng is read-only or locked: the plug-in cannot add the texts it lacks");
    else if (!FolderWritable(folder))
        report.Warning("the folder is not writable: the plug-in writes Orvale7.lng in place instead of replacing it "
                       "whole, so a crash while it writes can tear the file; let the host's users write the folder");
    CheckDialogKeys(file.bytes, writable, report);
}
