// Conversions between the Unicode forms Notepad saves and the code page 936
// bytes that the rest of the product works in (see TextEncoding.h). Explicitly
// 936, never the system's ANSI code page. A character that 936 lacks becomes
// '?', and so does a broken sequence, as the system's own conversion makes
// them. Under Windows, also wide text to and from UTF-8 and 936, the one
// place the product converts. One implementation per platform.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// utf16le: whole 16-bit units (an odd last byte is ignored).
std::string Utf16ToGbk(const char* utf16le, std::size_t bytes);
// The UTF-16LE bytes of the text, without a mark.
std::string GbkToUtf16(const std::string& gbk);

// The UTF-8 bytes of the text, without a mark.
std::string GbkToUtf8(const std::string& gbk);

#ifdef _WIN32
// The wide text a window shows for the bytes, and back: the forms' texts are
// code page 936 whatever the system's ANSI code page, so they reach windows
// through the wide API after this explicit conversion.
std::wstring GbkToWide(const std::string& gbk);
std::string WideToGbk(const std::wstring& wide);

std::string Utf8FromWide(const std::wstring& wide);
std::wstring WideFromUtf8(const std::string& utf8);
#endif

}  // namespace platform
