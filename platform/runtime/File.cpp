#include "platform/runtime/File.h"

#include <cstdint>

namespace platform {

bool TInFile::ReadFull(std::string* bytes) {
    if (Size() >= static_cast<std::uint64_t>(PTRDIFF_MAX)) return false;  // more than memory can hold
    // Sized once, with a byte to spare so that the end shows without growing
    // the buffer: growing it would briefly hold the file three times over.
    std::string data(static_cast<std::size_t>(Size()) + 1, '\0');
    std::size_t done = 0;
    for (;;) {
        if (done == data.size()) data.resize(data.size() + 65536);
        std::size_t got = 0;
        if (!Read(&data[done], data.size() - done, &got)) return false;
        if (got == 0) break;
        done += got;
    }
    data.resize(done);
    *bytes = std::move(data);
    return true;
}

TReadResult ReadWholeFile(const std::string& path, std::string* bytes) {
    TInFile file;
    const TReadResult opened = file.Open(path);
    if (opened != TReadResult::Read) return opened;
    return file.ReadFull(bytes) ? TReadResult::Read : TReadResult::Failed;
}

}  // namespace platform
