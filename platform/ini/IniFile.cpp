#include "platform/ini/IniFile.h"

#include <utility>
#include <vector>

#include "platform/ini/FileLock.h"
#include "platform/runtime/Paths.h"

namespace platform {

namespace {

// Long enough for another process to write a large file, short enough that a
// host is never held up for long by a writer that hangs.
const int kLockWaitMs = 2000;

}  // namespace

TIniFile::TIniFile(std::string fileName, std::uint64_t sizeLimit)
    : fileName_(std::move(fileName)), sizeLimit_(sizeLimit) {}

TIniFile::~TIniFile() = default;

// Frees the model's memory now: assigning an empty one would keep the old
// buffer (a short string is copied into it), and a large file twice.
void TIniFile::Forget() {
    TIniText freed;
    std::swap(text_, freed);
}

// Reads the file. The old model goes first, so a large file is held once,
// not twice.
bool TIniFile::Load() {
    Forget();
    loaded_ = false;
    viewIsOwn_ = false;
    std::string bytes;
    TFileStamp stamp;  // left as made when the file is missing
    // The size is asked first, so that a file far above the limit costs no
    // read at all; the bytes tell of one grown since.
    if ((sizeLimit_ != kNoSizeLimit && QueryFileStamp(fileName_).size > sizeLimit_) ||
        ReadWholeFile(fileName_, &bytes, &stamp) == TReadResult::Failed || bytes.size() > sizeLimit_) {
        readable_ = false;
        return false;
    }
    TDecodedText decoded = DecodeText(std::move(bytes));
    encoding_ = decoded.encoding;
    writable_ = decoded.lossless && IsIniText(decoded.text);
    text_ = TIniText(std::move(decoded.text));
    stamp_ = stamp;
    loaded_ = true;
    readable_ = true;
    differs_ = false;
    return true;
}

// No lock: the file is only ever replaced whole, so a read sees the old file
// or the new one. The stamp alone cannot tell a change made within the clock
// tick of the last one, so a file changed that recently is read again; within
// a pass, it is read once.
void TIniFile::Refresh() {
    if (pinned_) return;
    pinned_ = passes_ > 0;
    if (loaded_ && StampIsSettled(stamp_) && QueryFileStamp(fileName_) == stamp_) return;
    if (!Load()) return;
    for (const TWrite& w : held_) Apply(w);
}

// The next lookup reads the file again, even within a pass.
void TIniFile::Unpin() {
    loaded_ = false;
    pinned_ = false;
    viewIsOwn_ = false;
}

TIniFile::TPass::TPass(TIniFile& file, int waitMs) : file_(file) {
    if (file_.passes_++ > 0) return;
    file_.passWaitMs_ = waitMs;
    file_.pinned_ = false;
    file_.lockFailed_ = false;
}

TIniFile::TPass::~TPass() {
    if (--file_.passes_ > 0) return;
    file_.lock_.reset();
    file_.memo_.Forget();
    file_.viewIsOwn_ = false;
    file_.pinned_ = false;
    file_.lockFailed_ = false;
}

// Outside a pass the lock lasts one UpdateFile; within one, it is waited
// for once and kept.
bool TIniFile::TakeLock() {
    if (lock_) return true;
    if (lockFailed_) return false;
    if (lockName_.empty()) lockName_ = TFileLock::NameOf(fileName_);
    auto lock = std::make_unique<TFileLock>(TFileLock::TNamed{lockName_}, passes_ > 0 ? passWaitMs_ : kLockWaitMs);
    if (!lock->Held()) {
        lockFailed_ = passes_ > 0;
        return false;
    }
    lock_ = std::move(lock);
    viewIsOwn_ = false;
    return true;
}

// Under the lock the file is read again: only its bytes tell for sure what
// another writer left, and writing a stale view would undo its change. The
// one exception is a file that this object wrote itself while holding the
// lock ever since, as long as its stamp has not moved: no writer that takes
// the lock can have changed it.
bool TIniFile::LoadUnderLock() {
    // A write that took the file above its limit ends its writing, too.
    if (viewIsOwn_ && loaded_ && stamp_.size <= sizeLimit_ && QueryFileStamp(fileName_) == stamp_) return true;
    return Load();
}

bool TIniFile::Find(const std::string& section, const std::string& key, std::string* value) {
    Refresh();
    return text_.Find(section, key, value);
}

// A key that is there keeps its value: the file's own, or another
// program's, is never replaced. False for names that no line could hold.
bool TIniFile::Apply(const TWrite& w) {
    if (text_.Find(w.section, w.key, nullptr)) return true;
    if (!text_.Set(w.section, w.key, w.value)) return false;
    differs_ = true;
    return true;
}

// No look at the disk here: UpdateFile applies the held writes again to the
// file as it is then.
bool TIniFile::AddString(const std::string& section, const std::string& key, const std::string& value) {
    TWrite write{section, key, value};
    if (!Apply(write)) return false;
    held_.push_back(std::move(write));
    return true;
}

bool TIniFile::UpdateFile() {
    if (held_.empty()) return true;
    std::vector<TWrite> writes;
    writes.swap(held_);
    if (TakeLock())
        lastWrite_ = LoadUnderLock() ? Replace(writes) : WhyUnloaded();
    else  // a lock has no name without its folder
        lastWrite_ = lockName_.empty() ? TWriteResult::MissingFolder : TWriteResult::Locked;
    const bool ok = Wrote(lastWrite_);
    if (!ok) Unpin();  // the view holds the dropped writes: read the file again
    if (passes_ == 0) {  // outside a pass the lock lasts one flush, whatever its end
        lock_.reset();
        memo_.Forget();
    }
    return ok;
}

// Under the lock: the writes go onto the file as just read, which then takes
// the file's place.
TWriteResult TIniFile::Replace(const std::vector<TWrite>& writes) {
    if (!swept_) swept_ = !RemoveStaleTemporaries(fileName_);
    for (const TWrite& w : writes) Apply(w);
    const bool changed = differs_;
    TWriteResult result = changed ? TWriteResult::NotText : TWriteResult::Written;
    TFileStamp written;
    if (changed && writable_) {
        if (encoding_ == TTextEncoding::Ansi)
            result = ReplaceFileAtomically(fileName_, text_.Bytes(), &written, &memo_);  // no copy of a large file
        else
            result = ReplaceFileAtomically(fileName_, EncodeText(encoding_, text_.Bytes()), &written, &memo_);
    }
    const bool ok = Wrote(result);
    if (ok && changed) stamp_ = written;
    differs_ = !ok;
    viewIsOwn_ = ok && lock_ && passes_ > 0;
    return result;
}

// Only a file is read: a name that is not one is a directory's.
TWriteResult TIniFile::WhyUnloaded() const {
    if (!FileExists(fileName_)) return TWriteResult::Directory;
    return QueryFileStamp(fileName_).size > sizeLimit_ ? TWriteResult::TooLarge : TWriteResult::Unreadable;
}

std::string ReadIniValue(const std::string& fileName, const std::string& section, const std::string& key,
                         const std::string& defaultValue) {
    TIniLookup lookup(section, key);
    TTextDecoder decoder;
    TInFile file;
    if (file.Open(fileName) != TReadResult::Read) return defaultValue;
    std::vector<char> block(65536);  // memory stays at one block whatever the file's size
    for (std::size_t got = 0;;) {
        if (!file.Read(block.data(), block.size(), &got)) return defaultValue;
        if (got == 0) break;
        const std::string text = decoder.Feed(block.data(), got);
        if (lookup.Feed(text.data(), text.size())) break;
    }
    const std::string rest = decoder.Finish();
    lookup.Feed(rest.data(), rest.size());
    lookup.Finish();
    return lookup.Found() ? lookup.Value() : defaultValue;
}

}  // namespace platform
