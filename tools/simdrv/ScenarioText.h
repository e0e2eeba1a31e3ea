// The bytes of a scenario file as the reader takes them: code page 936 text,
// whatever encoding an editor saved it in; and a line's bytes made safe to
// quote in a problem message.
#pragma once

#include <cstddef>
#include <string>

namespace simdrv {

enum class TextEncoding { Cp936, Utf8, Utf8WithMark, Utf16Le, Utf16Be };

// The file's text in code page 936. A mark (UTF-8, UTF-16 in either byte
// order) decides the encoding; without one, a file that is valid UTF-8 and
// not plain ASCII is read as UTF-8, any other as code page 936 already. A
// character code page 936 lacks becomes '?'.
std::string DecodeScenarioText(const std::string& bytes, TextEncoding& encoding);

// What an editor would call the encoding, for the report.
const char* EncodingName(TextEncoding encoding);

// At most `limit` bytes of `bytes`, printable ASCII as it is and every other
// byte (NUL, control, code page 936 lead and trail bytes) as \xNN, with '"'
// and '\' escaped: the form a quoted scenario text takes, and safe on any
// terminal and in a NUL-terminated report. "..." marks a cut.
std::string Printable(const std::string& bytes, std::size_t limit);

}  // namespace simdrv
