// The encodings a text file announces with a byte-order mark, as Notepad
// saves them and the Windows profile API reads and writes them: UTF-8
// ("UTF-8 with BOM"), UTF-16LE ("Unicode") and UTF-16BE ("Unicode big
// endian"). A file without a mark is 8-bit: its bytes are taken as they are,
// code page 936 on the systems the product serves. Text is handed to the rest
// of the product as code page 936 bytes, never as the system's ANSI code
// page, since the forms' texts are 936 whatever the system.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class TTextEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

// The encoding the first bytes of a file announce; Ansi without a mark.
TTextEncoding EncodingOf(const char* bytes, std::size_t size);
inline TTextEncoding EncodingOf(const std::string& bytes) { return EncodingOf(bytes.data(), bytes.size()); }

// The byte-order mark of the encoding; empty for Ansi.
std::string MarkOf(TTextEncoding encoding);

struct TDecodedText {
    TTextEncoding encoding = TTextEncoding::Ansi;
    std::string text;  // code page 936, without the mark
    // Encoding the text again gives the file's bytes back: nothing was lost
    // on the way through 936 (a character 936 lacks, a broken sequence).
    bool lossless = true;
};

// Whether the bytes are UTF-8 throughout, by the strict rules the decoding
// follows (no overlong form, surrogate or cut sequence).
bool IsUtf8(const char* bytes, std::size_t size);

// A whole file's bytes as text. An Ansi file's bytes are moved, not copied.
TDecodedText DecodeText(std::string bytes);

// The bytes of a file of that encoding holding the text, mark included.
std::string EncodeText(TTextEncoding encoding, const std::string& gbk);

// Decodes a file handed over in blocks, in order, so that a file of any size
// is read in the memory of a block: the first bytes decide the encoding, and
// what a block's end cuts (part of a UTF-8 sequence, an odd byte, the first
// half of a surrogate pair) waits for the next block.
class TTextDecoder {
public:
    std::string Feed(const char* bytes, std::size_t size);
    // What is held at the end of the file, decoded as it is.
    std::string Finish();

private:
    TTextEncoding Decide();  // by the mark, which it drops
    std::string DecodeWhole(std::size_t size);

    bool decided_ = false;
    TTextEncoding encoding_ = TTextEncoding::Ansi;
    std::string held_;
};

}  // namespace platform
