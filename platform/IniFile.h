// An INI file on disk, read and written with the rules of TIniText (the Windows
// profile API's reading on a code page 936 system; bytes never transcoded).
// Writes are held until UpdateFile, which replaces the file whole and
// atomically: a crash or a kill at any moment leaves the old file or the new
// one. A change made to the file by another program is seen at the next read;
// held writes are applied again on top of it.
#pragma once

#include <string>
#include <vector>

#include "platform/IniFileIo.h"
#include "platform/IniText.h"

namespace platform {

class TIniFile {
public:
    explicit TIniFile(std::string fileName);
    ~TIniFile();  // writes what UpdateFile has not written yet
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return fileName_; }

    bool ValueExists(const std::string& section, const std::string& key);
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue);

    // False, with nothing held, when no line could hold these names.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);

    // Writes the held changes. False when the file cannot be written (read-
    // only, locked, unreadable, a directory, a missing folder, a full disk):
    // the file is then left as it was and the held changes are dropped.
    bool UpdateFile();

private:
    struct TWrite {
        std::string section, key, value;
    };

    void Refresh();

    std::string fileName_;
    std::string disk_;  // the bytes last read or written
    TIniText text_;     // disk_ with the held writes applied
    TFileStamp stamp_;
    bool loaded_ = false;
    bool readable_ = true;  // false: what is on disk is unknown, so it is not overwritten
    std::vector<TWrite> held_;
};

}  // namespace platform
