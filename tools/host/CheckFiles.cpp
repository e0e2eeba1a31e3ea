// The install check of the two INI files the plug-in reads from the host's
// folder, read with the plug-in's own INI reader so both see the same keys,
// and the language file tried with the plug-in's own writer.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/TextLines.h"
#include "platform/runtime/TextConvert.h"
#include "platform/ini/FileLock.h"
#include "platform/ini/IniFile.h"
#include "platform/ini/IniFileIo.h"
#include "platform/ini/IniText.h"
#include "platform/ini/TextEncoding.h"
#include "tools/host/CheckReport.h"
#include "ui/frmProperty.h"
#include "ui/unitTranslate.h"

namespace {

// The plug-in's own names (code page 936 bytes), printed through GbkToUtf8.
const auto& kLanguageSection = unitTranslate::kLanguageSection;
const auto& kLanguageKey = unitTranslate::kLanguageKey;

struct FileBytes {
    bool exists = false;
    bool folder = false;  // the name is a folder's
    unsigned long long size = 0;
    DWORD error = 0;  // why it could not be read; 0 when it was
    std::string bytes;
};

// The check reads a file whole only up to this size; the plug-in reads the
// settings in blocks and no language file above its own, far smaller, limit.
const unsigned long long kLargestRead = 64u << 20;

FileBytes ReadWhole(const std::string& path) {
    FileBytes file;
    const DWORD attributes = GetFileAttributesW(platform::FullWidePath(path).c_str());
    file.exists = attributes != INVALID_FILE_ATTRIBUTES;
    file.folder = file.exists && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    file.size = platform::QueryFileStamp(path).size;
    if (!file.exists || file.folder || file.size > kLargestRead) return file;
    if (platform::ReadWholeFile(path, &file.bytes) != platform::TReadResult::Read)
        file.error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    return file;
}

bool IsUtf8WithNonAscii(const std::string& bytes) {
    bool nonAscii = false;
    for (char c : bytes) nonAscii |= static_cast<unsigned char>(c) >= 0x80;
    return nonAscii && platform::IsUtf8(bytes.data(), bytes.size());
}

const char* EncodingName(platform::TTextEncoding encoding) {
    switch (encoding) {
    case platform::TTextEncoding::Utf8:
        return "UTF-8 with a byte-order mark";
    case platform::TTextEncoding::Utf16Le:
        return "Unicode (UTF-16LE)";
    case platform::TTextEncoding::Utf16Be:
        return "big-endian Unicode (UTF-16BE)";
    case platform::TTextEncoding::Ansi:
        break;
    }
    return "8-bit text";
}

std::string Megabytes(unsigned long long size) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(size) / (1 << 20));
    return text;
}

// Reports the file's encoding; false when nothing more of it is worth
// checking. bytes become the text as the plug-in's reader hands it to the
// translator; lossless tells whether the plug-in would write it.
bool CheckEncoding(std::string& bytes, bool& lossless, CheckReport& report) {
    platform::TDecodedText decoded = platform::DecodeText(std::move(bytes));
    bytes = std::move(decoded.text);
    lossless = decoded.lossless;
    if (!platform::IsIniText(bytes)) {
        const char* why = bytes.find('\0') != std::string::npos ? "it holds NUL bytes"
                                                                  : "no line of it is a section, a key or a comment";
        report.Error(std::string("Orvale7.lng is not text (") + why +
                     "): the plug-in adds nothing to it, so the dialog's texts stay Chinese; replace it with the "
                     "kit's Orvale7.lng");
        return false;
    }
    if (decoded.encoding != platform::TTextEncoding::Ansi) {
        report.Warning(std::string("Orvale7.lng is saved as ") + EncodingName(decoded.encoding) +
                       ": this plug-in reads and extends it in that encoding, older plug-ins do not; save it as ANSI "
                       "(code page 936) if they share it");
        if (!lossless)
            report.Warning("Orvale7.lng holds characters that code page 936 lacks (or broken ones): the plug-in reads "
                           "it but never writes it, so the texts it lacks are not added");
        return true;
    }
    if (IsUtf8WithNonAscii(bytes))
        report.Warning("Orvale7.lng looks like UTF-8 without a byte-order mark, which the plug-in reads as code page "
                       "936: its non-English texts show garbled; save it as ANSI (code page 936) or as UTF-8 with BOM");
    else
        report.Ok("Orvale7.lng is 8-bit text, read as code page 936");
    return true;
}

// The text of the file, read as UTF-16 or UTF-8 without a mark, when it looks
// like that; empty when it looks like 8-bit text.
std::string UnmarkedUnicodeText(const std::string& bytes, std::string& form) {
    std::size_t evenNuls = 0, oddNuls = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\0') ++(i % 2 ? oddNuls : evenNuls);
    // ASCII in UTF-16 has a NUL in every unit, at the odd byte in little-endian
    // order; a Chinese character has one only now and then (U+8A00, 言).
    if (oddNuls > 2 * evenNuls) {
        form = "UTF-16LE without a byte-order mark";
        return platform::DecodeText(platform::MarkOf(platform::TTextEncoding::Utf16Le) + bytes).text;
    }
    if (evenNuls > 2 * oddNuls) {
        form = "UTF-16BE without a byte-order mark";
        return platform::DecodeText(platform::MarkOf(platform::TTextEncoding::Utf16Be) + bytes).text;
    }
    if (IsUtf8WithNonAscii(bytes)) {
        form = "UTF-8 without a byte-order mark";
        return platform::DecodeText(platform::MarkOf(platform::TTextEncoding::Utf8) + bytes).text;
    }
    return std::string();
}

// The encoding the plug-in sees, and whether an English setting hides in a
// form it does not read: such a file is 8-bit text to the plug-in (and to the
// profile API), so the Chinese names of the setting do not match.
void CheckSettingsEncoding(const std::string& bytes, bool english, CheckReport& report) {
    const platform::TTextEncoding encoding = platform::EncodingOf(bytes);
    if (encoding != platform::TTextEncoding::Ansi) {
        report.Ok(std::string("kdwusr70.ini is saved as ") + EncodingName(encoding) + ", which the plug-in reads");
        return;
    }
    std::string form;
    const std::string text = UnmarkedUnicodeText(bytes, form);
    if (form.empty()) {
        report.Ok("kdwusr70.ini is 8-bit text, which the plug-in reads as code page 936");
        return;
    }
    std::string value;
    if (!english && platform::TIniText(text).Find(kLanguageSection, kLanguageKey, &value) && value == unitTranslate::kEnglish) {
        report.Warning("kdwusr70.ini sets English, but it is saved as " + form +
                       ", which the plug-in reads as 8-bit text and so does not see the setting: the dialog stays "
                       "Chinese; save it as ANSI (code page 936), or as UTF-8 or Unicode with a byte-order mark");
        return;
    }
    report.Ok("kdwusr70.ini is saved as " + form + ": the plug-in reads it as 8-bit text (code page 936)");
}

// A language file the plug-in cannot use whatever it holds: a folder of that
// name, or a file above the plug-in's limit. False when it is one of those.
bool CheckLanguageFileKind(const FileBytes& file, bool english, CheckReport& report) {
    std::string text;
    if (file.folder)
        text = "Orvale7.lng is a folder, not a file: the plug-in finds no language file and the dialog stays Chinese; "
               "remove the folder and copy the kit's Orvale7.lng beside the host program";
    else if (file.size > unitTranslate::kLanguageFileLimit)
        text = "Orvale7.lng is " + Megabytes(file.size) + ", above the " + Megabytes(unitTranslate::kLanguageFileLimit) +
               " the plug-in accepts for a language file: it neither reads nor writes it and the dialog stays "
               "Chinese; a complete language file is a few kilobytes: copy the kit's Orvale7.lng";
    if (text.empty()) return true;
    english ? report.Error(text) : report.Warning(text);
    return false;
}

// What the plug-in's writer makes of the file: its own bytes put back in its
// place, under its lock, by the replace the plug-in makes, so that every
// obstacle to the plug-in's writes shows while the file stays as it is.
platform::TWriteResult TryWrite(const std::string& path, const std::string& bytes) {
    const platform::TFileLock lock(path, unitTranslate::kFormLockWaitMs);
    if (!lock.Held()) return platform::TWriteResult::Locked;
    std::string now;
    platform::TFileStamp stamp;
    if (platform::ReadWholeFile(path, &now, &stamp) != platform::TReadResult::Read || now != bytes)
        return platform::TWriteResult::Unreadable;
    return platform::ReplaceFileAtomically(path, bytes, &stamp);
}

// Why the plug-in cannot write the file, as the check says it after its name.
std::string WriteObstacle(platform::TWriteResult result) {
    using Result = platform::TWriteResult;
    if (result == Result::ReadOnly) return "is read-only";
    if (result == Result::Locked) return "is being written by another program (its lock is held)";
    if (result == Result::Unreadable) return "changed while it was checked";
    return "cannot be written (held open by another program, no permission or a full disk)";
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string Trimmed(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t");
    return begin == std::string::npos ? std::string() : text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
}

// The numbers (from 1) of the lines of `text` that head `section`.
std::vector<std::size_t> SectionLines(const std::string& text, const std::string& section) {
    using platform::TIniText;
    std::vector<std::size_t> lines;
    const std::string folded = TIniText::FoldCase(section);
    const std::vector<std::string> all = platform::SplitLines(text);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string line = Trimmed(all[i]);
        const std::size_t close = line.find(']');
        if (!line.empty() && line[0] == '[' && close != std::string::npos &&
            TIniText::FoldCase(Trimmed(line.substr(1, close - 1))) == folded)
            lines.push_back(i + 1);
    }
    return lines;
}

// A section headed twice: the plug-in reads the first and ignores the others
// whole, so what is set in those does nothing. True when it is.
bool CheckDuplicateSection(const std::string& text, const std::string& file, const std::string& section,
                           CheckReport& report) {
    const std::vector<std::size_t> lines = SectionLines(text, section);
    if (lines.size() < 2) return false;
    std::vector<std::string> later;
    for (std::size_t i = 1; i < lines.size(); ++i) later.push_back(std::to_string(lines[i]));
    const std::string name = "[" + platform::GbkToUtf8(section) + "]";
    report.Warning(file + " has section " + name + " " + std::to_string(lines.size()) + " times: the plug-in reads "
                   "the one at line " + std::to_string(lines[0]) + " and ignores the one" +
                   (later.size() > 1 ? "s" : "") + " at line" + (later.size() > 1 ? "s " : " ") + Joined(later) +
                   "; merge them by hand into the first, keeping one value per key, and delete the others");
    return true;
}

// Every key the property dialog looks up in English mode, found by the
// translator's own walk over the dialog as designed, so the check cannot
// drift from the dialog. A section's name is the form's class, or nested.
std::vector<TTranslationKey> DialogKeys() {
    TPropertyForm dialog(nullptr);
    return TranslationKeys(dialog);
}

// Key names, with their section where it is not the form's own.
std::string KeysAndSections(const std::vector<TTranslationKey>& keys, const std::string& formSection) {
    std::vector<std::string> names;
    for (const TTranslationKey& key : keys)
        names.push_back(key.Section == formSection ? key.Key : key.Key + " in [" + key.Section + "]");
    return Joined(names);
}

void CheckDialogKeys(const std::string& bytes, bool writable, CheckReport& report) {
    const platform::TIniText ini(bytes);
    const std::vector<TTranslationKey> keys = DialogKeys();
    const std::string& formSection = keys.front().Section;  // the form's "Caption" comes first
    const std::string section = "[" + formSection + "]";
    bool duplicated = false;
    std::vector<std::string> sections;
    for (const TTranslationKey& key : keys)
        if (std::find(sections.begin(), sections.end(), key.Section) == sections.end()) {
            sections.push_back(key.Section);
            duplicated |= CheckDuplicateSection(bytes, "Orvale7.lng", key.Section, report);
        }
    std::vector<TTranslationKey> missing, chinese;
    for (const TTranslationKey& key : keys) {
        std::string value;
        if (!ini.Find(key.Section, key.Key, &value))
            missing.push_back(key);
        else
            for (char c : value)
                if (static_cast<unsigned char>(c) >= 0x80) {
                    chinese.push_back(key);
                    break;
                }
    }
    if (!chinese.empty())
        report.Warning("Orvale7.lng still has non-English texts for " + KeysAndSections(chinese, formSection) + ": translate them");
    if (missing.empty()) {
        report.Ok("Orvale7.lng has every text of the dialog in section " + section);
        return;
    }
    const std::string lacks = missing.size() == keys.size()
                                  ? "Orvale7.lng has no section " + section
                                  : "Orvale7.lng lacks " + KeysAndSections(missing, formSection) + " in section " + section;
    // Texts the plug-in added to the first of two sections would stand
    // beside those the second may hold, and merging would grow harder.
    if (writable && duplicated)
        report.Warning(lacks + " (the first, which the plug-in reads): merge the sections as said above before "
                               "the dialog first opens, so that the plug-in does not add them there in Chinese; or "
                               "copy the kit's Orvale7.lng");
    else if (writable)
        report.Warning(lacks + ": the plug-in adds them in Chinese when the dialog first opens; translate them then, "
                               "or copy the kit's Orvale7.lng");
    else
        report.Error(lacks + " and the plug-in cannot add them: those texts stay Chinese; copy the kit's complete "
                             "Orvale7.lng, or make the file writable");
}

}  // namespace

void CheckSettingsFile(const std::string& folder, CheckReport& report, HostLanguage& language) {
    const FileBytes file = ReadWhole(folder + "kdwusr70.ini");
    const std::string where = "[" + platform::GbkToUtf8(kLanguageSection) + "] " + platform::GbkToUtf8(kLanguageKey);
    if (!file.exists) {
        report.Ok("no kdwusr70.ini: the host is set to Chinese and the dialog stays Chinese");
        return;
    }
    if (file.folder) {
        report.Warning("kdwusr70.ini is a folder, not a file: the plug-in takes the host as set to Chinese");
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
    if (file.size <= kLargestRead)
        CheckDuplicateSection(platform::DecodeText(file.bytes).text, "kdwusr70.ini", kLanguageSection, report);
    language.english = value == unitTranslate::kEnglish;
    if (file.size <= kLargestRead) CheckSettingsEncoding(file.bytes, language.english, report);
    if (language.english)
        report.Ok("kdwusr70.ini selects English (" + where + "=EN): the dialog is translated through Orvale7.lng");
    else if (value == "CN")
        report.Ok("kdwusr70.ini selects Chinese (" + where + "=CN, or no such key)");
    else
        report.Warning("kdwusr70.ini sets " + where + "=" + platform::GbkToUtf8(value) +
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
    if (!CheckLanguageFileKind(file, language.english, report)) return;
    if (file.error) {
        const std::string text = "Orvale7.lng cannot be read (error " + std::to_string(file.error) +
                                 "): close any program holding it open and check its permissions";
        language.english ? report.Error(text) : report.Warning(text);
        return;
    }
    bool lossless = true;
    if (!CheckEncoding(file.bytes, lossless, report) || !language.english) return;
    const platform::TWriteResult written = TryWrite(path, file.bytes);
    const bool writable = platform::Wrote(written);
    if (!writable)
        report.Warning("Orvale7.lng " + WriteObstacle(written) + ": the plug-in cannot add the texts it lacks");
    else if (written == platform::TWriteResult::WrittenInPlace)
        report.Warning("the folder is not writable: the plug-in writes Orvale7.lng in place instead of replacing it "
                       "whole, so a crash while it writes can tear the file; let the host's users write the folder");
    CheckDialogKeys(file.bytes, writable && lossless, report);
}
