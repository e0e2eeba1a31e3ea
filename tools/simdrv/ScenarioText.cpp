#include "tools/simdrv/ScenarioText.h"

#include <cstdio>

#include "platform/ini/TextEncoding.h"

namespace simdrv {

namespace {

bool IsAscii(const std::string& bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

std::string DecodeScenarioText(const std::string& bytes, TextEncoding& encoding) {
    using platform::TTextEncoding;
    switch (platform::EncodingOf(bytes)) {
    case TTextEncoding::Utf16Le:
        encoding = TextEncoding::Utf16Le;
        return platform::DecodeText(bytes).text;
    case TTextEncoding::Utf16Be:
        encoding = TextEncoding::Utf16Be;
        return platform::DecodeText(bytes).text;
    case TTextEncoding::Utf8:
        encoding = TextEncoding::Utf8WithMark;
        // A marked file that is not valid UTF-8 still loses its mark, and its
        // bad bytes are reported line by line as they stand.
        return platform::IsUtf8(bytes.data() + 3, bytes.size() - 3) ? platform::DecodeText(bytes).text
                                                                     : bytes.substr(3);
    case TTextEncoding::Ansi:
        break;
    }
    if (!IsAscii(bytes) && platform::IsUtf8(bytes.data(), bytes.size())) {
        encoding = TextEncoding::Utf8;
        return platform::DecodeText(platform::MarkOf(TTextEncoding::Utf8) + bytes).text;
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
