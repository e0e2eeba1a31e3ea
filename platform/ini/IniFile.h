// An INI file on disk, read and written with the rules of TIniText (the Windows
// profile API's reading on a code page 936 system).
// Writes are held until UpdateFile, which replaces the file whole and
// atomically: a crash or a kill at any moment leaves the old file or the new
// one (but where no file can be made beside it, see ReplaceFileAtomically).
// So reads take no lock: they see one file or the other, whole.
// UpdateFile holds the file's lock (TFileLock) from its re-read of the file
// to the replace, so writers in several processes never lose each other's
// keys. A change made to the file by another program is seen at the next
// read, even one that kept its size and time, except within a TPass; held
// writes are applied again on top of it.
// Memory follows the file's size: the model is its bytes. A file saved with
// a byte-order mark (UTF-8, UTF-16LE or UTF-16BE, TextEncoding.h) is read as
// the profile API reads it, its text converted to code page 936, and written
// back in its encoding with its mark; one holding characters that 936 lacks
// is never written, since the conversion would lose them. Nor is a file that
// is not text (IsIniText). A file above the size limit given is neither read
// nor written: it reads as unreadable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ini/IniFileIo.h"
#include "platform/ini/IniText.h"
#include "platform/ini/TextEncoding.h"

namespace platform {

class TFileLock;

class TIniFile {
public:
    static constexpr std::uint64_t kNoSizeLimit = UINT64_MAX;
    // sizeLimit: the largest file, in bytes, that is read or written.
    explicit TIniFile(std::string fileName, std::uint64_t sizeLimit = kNoSizeLimit);
    ~TIniFile();  // drops the writes that UpdateFile has not written
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    // False when the key is not there; value, when given, is then untouched.
    bool Find(const std::string& section, const std::string& key, std::string* value);

    // Holds the key for UpdateFile. Only ever adds: a key that the file holds
    // when UpdateFile writes keeps its value. False, with nothing held, when
    // no line could hold these names.
    bool AddString(const std::string& section, const std::string& key, const std::string& value);

    // Writes the held changes. False when the file cannot be written
    // (LastWrite says why): the file is then left as it was and the held
    // changes are dropped. True: the change is in the file.
    bool UpdateFile();
    TWriteResult LastWrite() const { return lastWrite_; }

    // True when the last look at the file could not read it: what it holds is
    // unknown, so a key that seems missing may be there.
    bool ReadFailed() const { return !readable_; }

    // One run of lookups and writes that should cost the disk as little as
    // possible, such as translating a form. While it lives, the file is read
    // at most once, at the first lookup, and later lookups use that view with
    // the pass's own writes on it. The first UpdateFile takes the lock,
    // waiting at most waitMs, and keeps it to the end of the pass, so the
    // pass waits once at most; when that wait runs out, each UpdateFile of
    // the pass fails at once and the view is the file as read, without the
    // dropped writes. Passes may nest; the outermost one counts.
    class TPass {
    public:
        TPass(TIniFile& file, int waitMs);
        ~TPass();
        TPass(const TPass&) = delete;
        TPass& operator=(const TPass&) = delete;

    private:
        TIniFile& file_;
    };

private:
    struct TWrite {
        std::string section, key, value;
    };

    bool Apply(const TWrite& write);
    void Refresh();
    bool Load();
    void Forget();
    bool TakeLock();
    bool LoadUnderLock();
    TWriteResult Replace(const std::vector<TWrite>& writes);
    TWriteResult WhyUnloaded() const;
    void Unpin();

    std::string fileName_;
    std::uint64_t sizeLimit_;
    TIniText text_;  // the file as last read, with the held writes applied
    TFileStamp stamp_;
    bool loaded_ = false;
    bool readable_ = true;
    bool swept_ = false;  // temporaries of dead writers removed, none of live ones seen
    int passes_ = 0;       // TPass objects alive
    int passWaitMs_ = 0;
    bool pinned_ = false;      // in a pass, the view is read
    bool lockFailed_ = false;  // in a pass, the wait for the lock ran out
    bool viewIsOwn_ = false;   // the file is what this object wrote while holding lock_
    bool differs_ = false;     // the model is not the file as last read or written
    std::unique_ptr<TFileLock> lock_;  // held from a write to the end of its pass
    std::string lockName_;             // TFileLock::NameOf the file, once known
    // What the pass's last replace took over from the file: a change of its
    // attributes or access rules moves no stamp, so it lasts one pass only.
    TReplaceMemo memo_;
    TTextEncoding encoding_ = TTextEncoding::Ansi;  // as its mark says
    bool writable_ = true;  // text that survives the way through code page 936
    TWriteResult lastWrite_ = TWriteResult::Written;
    std::vector<TWrite> held_;
};

// The value of one key, read in blocks without a model of the file: memory
// stays at its longest line, whatever its size.
std::string ReadIniValue(const std::string& fileName, const std::string& section, const std::string& key,
                         const std::string& defaultValue);

}  // namespace platform
