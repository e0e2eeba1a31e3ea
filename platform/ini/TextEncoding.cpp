#include "platform/ini/TextEncoding.h"

#include <utility>

#include "platform/runtime/TextConvert.h"

namespace platform {

namespace {

// The byte-order marks, by TTextEncoding: Ansi has none.
const char* const kMarks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

unsigned char Byte(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// Big-endian units as little-endian ones; an odd last byte is dropped.
std::string Swapped(const char* bytes, std::size_t size) {
    std::string out(size & ~static_cast<std::size_t>(1), '\0');
    for (std::size_t i = 0; i < out.size(); i += 2) {
        out[i] = bytes[i + 1];
        out[i + 1] = bytes[i];
    }
    return out;
}

// The length of a UTF-8 sequence by its first byte; 0 for a byte no sequence
// starts with.
std::size_t SequenceLength(unsigned char b) {
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b < 0xE0) return 2;
    if (b >= 0xE0 && b < 0xF0) return 3;
    if (b >= 0xF0 && b < 0xF5) return 4;
    return 0;
}

// The code point of the sequence at s[i], or -1 when it is broken: cut short,
// overlong, a surrogate, beyond U+10FFFF.
long DecodeSequence(const char* s, std::size_t i, std::size_t n, std::size_t length) {
    if (length == 0 || i + length > n) return -1;
    const auto b = static_cast<unsigned char>(s[i]);
    long cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return -1;
        cp = cp << 6 | (c & 0x3F);
    }
    const long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return -1;
    return cp;
}

// UTF-8 to UTF-16LE by our own rules, not the system's, which differ between
// versions (XP drops a broken byte, later systems replace it, Wine's swallows
// a line end after one at the end of its input): each byte of a broken
// sequence becomes U+FFFD, so a block read in parts decodes exactly as whole.
std::string Utf8ToUtf16(const char* s, std::size_t n) {
    std::string out;
    out.reserve(n * 2);
    auto put = [&out](unsigned long unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8 & 0xFF);
    };
    for (std::size_t i = 0; i < n;) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(s[i]));
        const long cp = DecodeSequence(s, i, n, length);
        i += cp < 0 ? 1 : length;
        if (cp >= 0x10000) {
            put(0xD800 | (cp - 0x10000) >> 10);
            put(0xDC00 | ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp < 0 ? 0xFFFD : static_cast<unsigned long>(cp));
        }
    }
    return out;
}

std::string Decode(TTextEncoding encoding, const char* bytes, std::size_t size) {
    if (encoding == TTextEncoding::Ansi) return std::string(bytes, size);
    if (encoding == TTextEncoding::Utf16Le) return Utf16ToGbk(bytes, size);
    const std::string little = encoding == TTextEncoding::Utf8 ? Utf8ToUtf16(bytes, size) : Swapped(bytes, size);
    return Utf16ToGbk(little.data(), little.size());
}

// How many of the held bytes form whole characters: a block's end may cut a
// UTF-8 sequence, a 16-bit unit or a surrogate pair.
std::size_t WholeLength(TTextEncoding encoding, const std::string& held) {
    std::size_t n = held.size();
    if (encoding == TTextEncoding::Utf8) {
        std::size_t start = n;
        while (start > 0 && n - start < 4 && (Byte(held, start - 1) & 0xC0) == 0x80) --start;
        if (start == 0) return n;
        const unsigned lead = Byte(held, start - 1);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return n - (start - 1) < length ? start - 1 : n;
    }
    if (encoding == TTextEncoding::Ansi) return n;
    n &= ~static_cast<std::size_t>(1);
    if (n < 2) return n;
    const bool little = encoding == TTextEncoding::Utf16Le;
    const unsigned unit = little ? Byte(held, n - 2) | Byte(held, n - 1) << 8 : Byte(held, n - 2) << 8 | Byte(held, n - 1);
    return unit >= 0xD800 && unit < 0xDC00 ? n - 2 : n;
}

}  // namespace

TTextEncoding EncodingOf(const char* bytes, std::size_t size) {
    for (const auto e : {TTextEncoding::Utf8, TTextEncoding::Utf16Le, TTextEncoding::Utf16Be}) {
        const std::string mark = MarkOf(e);
        if (size >= mark.size() && mark.compare(0, mark.size(), bytes, mark.size()) == 0) return e;
    }
    return TTextEncoding::Ansi;
}

bool IsUtf8(const char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size;) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(bytes[i]));
        if (DecodeSequence(bytes, i, size, length) < 0) return false;
        i += length;
    }
    return true;
}

std::string MarkOf(TTextEncoding encoding) { return kMarks[static_cast<int>(encoding)]; }

TDecodedText DecodeText(std::string bytes) {
    TDecodedText decoded;
    decoded.encoding = EncodingOf(bytes);
    if (decoded.encoding == TTextEncoding::Ansi) {
        decoded.text = std::move(bytes);
        return decoded;
    }
    const std::size_t mark = MarkOf(decoded.encoding).size();
    decoded.text = Decode(decoded.encoding, bytes.data() + mark, bytes.size() - mark);
    decoded.lossless = EncodeText(decoded.encoding, decoded.text) == bytes;
    return decoded;
}

std::string EncodeText(TTextEncoding encoding, const std::string& gbk) {
    if (encoding == TTextEncoding::Ansi) return gbk;
    if (encoding == TTextEncoding::Utf8) return MarkOf(encoding) + GbkToUtf8(gbk);
    std::string little = GbkToUtf16(gbk);
    const bool swap = encoding == TTextEncoding::Utf16Be;
    return MarkOf(encoding) + (swap ? Swapped(little.data(), little.size()) : std::move(little));
}

std::string TTextDecoder::Feed(const char* bytes, std::size_t size) {
    held_.append(bytes, size);
    // Three bytes tell every mark apart; a shorter file is decided at its end.
    if (!decided_ && held_.size() < 3) return std::string();
    return DecodeWhole(WholeLength(Decide(), held_));
}

std::string TTextDecoder::Finish() {
    Decide();
    return DecodeWhole(held_.size());
}

TTextEncoding TTextDecoder::Decide() {
    if (!decided_) {
        encoding_ = EncodingOf(held_);
        held_.erase(0, MarkOf(encoding_).size());
        decided_ = true;
    }
    return encoding_;
}

std::string TTextDecoder::DecodeWhole(std::size_t size) {
    std::string text = Decode(encoding_, held_.data(), size);
    held_.erase(0, size);
    return text;
}

}  // namespace platform
