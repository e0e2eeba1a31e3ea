#include "platform/IniFile.h"

#include <utility>

namespace platform {

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

TIniFile::~TIniFile() {
    try {
        UpdateFile();
    } catch (...) {
        // Out of memory while writing: the file is still the old one.
    }
}

void TIniFile::Refresh() {
    if (loaded_ && QueryFileStamp(fileName_) == stamp_) return;
    std::string bytes;
    TFileStamp stamp;
    switch (ReadWholeFile(fileName_, &bytes, &stamp)) {
    case TReadResult::Read:
        break;
    case TReadResult::Missing:
        bytes.clear();
        stamp = TFileStamp{};
        break;
    case TReadResult::Failed:
        // Keep what was read before and try again at the next read.
        readable_ = false;
        loaded_ = false;
        return;
    }
    disk_ = std::move(bytes);
    text_ = TIniText(disk_);
    for (const TWrite& w : held_) text_.Set(w.section, w.key, w.value);
    stamp_ = stamp;
    loaded_ = true;
    readable_ = true;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) {
    Refresh();
    return text_.Find(section, key, nullptr);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) {
    Refresh();
    std::string value;
    return text_.Find(section, key, &value) ? value : defaultValue;
}

// No look at the disk here: UpdateFile applies the held writes again to the
// file as it is then.
bool TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    if (!text_.Set(section, key, value)) return false;
    held_.push_back(TWrite{section, key, value});
    return true;
}

bool TIniFile::UpdateFile() {
    if (held_.empty()) return true;
    Refresh();
    TFileStamp written;
    std::string bytes = text_.Bytes();
    const bool ok = readable_ && ReplaceFileAtomically(fileName_, bytes, &written);
    held_.clear();
    if (ok) {
        disk_ = std::move(bytes);
        stamp_ = written;
    } else {
        text_ = TIniText(disk_);
        loaded_ = false;  // and the next read looks at the file again
    }
    return ok;
}

}  // namespace platform
