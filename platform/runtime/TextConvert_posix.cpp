#include "platform/runtime/TextConvert.h"

#include <cerrno>
#include <iconv.h>

#include "platform/runtime/UniqueResource.h"

namespace platform {

namespace {

using UniqueConverter = UniqueResource<iconv_t, &::iconv_close, -1>;

// What cannot be converted becomes '?' in the output and is skipped in the
// input by `unit` bytes, as the Windows conversion does.
std::string Convert(const char* to, const char* from, const char* in, std::size_t size, std::size_t unit,
                    const std::string& replacement) {
    const UniqueConverter converter(::iconv_open(to, from));
    std::string out;
    if (!converter) return out;
    out.resize(size * 2 + 16);
    char* src = const_cast<char*>(in);
    std::size_t left = size;
    char* dst = &out[0];
    std::size_t room = out.size();
    auto grow = [&] {
        const std::size_t used = out.size() - room;
        out.resize(out.size() * 2);
        dst = &out[used];
        room = out.size() - used;
    };
    while (left > 0) {
        if (::iconv(converter.Get(), &src, &left, &dst, &room) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            grow();
        } else if ((errno == EILSEQ || errno == EINVAL) && left >= unit) {
            // EINVAL: a sequence cut by the end of the input, which is all
            // there is; Windows makes it a replacement too.
            if (room < replacement.size()) grow();
            for (char c : replacement) *dst++ = c;
            room -= replacement.size();
            src += unit;
            left -= unit;
        } else {
            break;
        }
    }
    out.resize(out.size() - room);
    return out;
}

}  // namespace

std::string Utf16ToGbk(const char* utf16le, std::size_t bytes) {
    return Convert("GBK", "UTF-16LE", utf16le, bytes & ~static_cast<std::size_t>(1), 2, "?");
}

std::string GbkToUtf16(const std::string& gbk) {
    return Convert("UTF-16LE", "GBK", gbk.data(), gbk.size(), 1, std::string("?\0", 2));
}

std::string GbkToUtf8(const std::string& gbk) { return Convert("UTF-8", "GBK", gbk.data(), gbk.size(), 1, "?"); }

}  // namespace platform
