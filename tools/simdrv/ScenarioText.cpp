#include "tools/simdrv/ScenarioText.h"

#include <cstdint>
#include <cstdio>

#include "platform/Utf16Text.h"

namespace simdrv {
namespace {

bool StartsWith(const std::string& bytes, const char* mark, std::size_t length) {
    return bytes.size() >= length && bytes.compare(0, length, mark, length) == 0;
}

void AppendUnit(std::string& utf16le, std::uint32_t unit) {
    utf16le += static_cast<char>(unit & 0xFF);
    utf16le += static_cast<char>(unit >> 8);
}

// The code point starting at bytes[at], strictly (no overlong forms, no
// surrogates, nothing above U+10FFFF); false on anything else.
bool NextCodePoint(const std::string& bytes, std::size_t& at, std::uint32_t& point) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                       : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    if (!length || at + length > bytes.size()) return false;
    point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return false;
        point = point << 6 | (byte(at + i) & 0x3F);
    }
    static const std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)) return false;
    at += length;
    return true;
}

// UTF-16LE bytes of UTF-8 text; false when `utf8` is not valid UTF-8.
bool Utf8ToUtf16(const std::string& utf8, std::size_t from, std::string& utf16le) {
    utf16le.clear();
    for (std::size_t at = from; at < utf8.size();) {
        std::uint32_t point = 0;
        if (!NextCodePoint(utf8, at, point)) return false;
        if (point < 0x10000) {
            AppendUnit(utf16le, point);
        } else {
            AppendUnit(utf16le, 0xD800 + ((point - 0x10000) >> 10));
            AppendUnit(utf16le, 0xDC00 + ((point - 0x10000) & 0x3FF));
        }
    }
    return true;
}

bool IsAscii(const std::string& bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

std::string DecodeScenarioText(const std::string& bytes, TextEncoding& encoding) {
    std::string utf16le;
    if (StartsWith(bytes, "\xFF\xFE", 2)) {
        encoding = TextEncoding::Utf16Le;
        return platform::Utf16ToGbk(bytes.data() + 2, bytes.size() - 2);
    }
    if (StartsWith(bytes, "\xFE\xFF", 2)) {
        encoding = TextEncoding::Utf16Be;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) utf16le += {bytes[i + 1], bytes[i]};
        return platform::Utf16ToGbk(utf16le.data(), utf16le.size());
    }
    const bool marked = StartsWith(bytes, "\xEF\xBB\xBF", 3);
    // A marked file that is not valid UTF-8 still loses its mark, and its
    // bad bytes are reported line by line as they stand.
    if (marked || !IsAscii(bytes)) {
        if (Utf8ToUtf16(bytes, marked ? 3 : 0, utf16le)) {
            encoding = marked ? TextEncoding::Utf8WithMark : TextEncoding::Utf8;
            return platform::Utf16ToGbk(utf16le.data(), utf16le.size());
        }
        if (marked) {
            encoding = TextEncoding::Utf8WithMark;
            return bytes.substr(3);
        }
    }
    encoding = TextEncoding::Cp936;
    return bytes;
}

const char* EncodingName(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8: return "UTF-8";
    case TextEncoding::Utf8WithMark: return "UTF-8 with a byte-order mark";
    case TextEncoding::Utf16Le: return "UTF-16 (little-endian)";
    case TextEncoding::Utf16Be: return "UTF-16 (big-endian)";
    case TextEncoding::Cp936: break;
    }
    return "ANSI (code page 936)";
}

std::string Printable(const std::string& bytes, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return bytes.size() > limit ? out + "..." : out;
}

}  // namespace simdrv
