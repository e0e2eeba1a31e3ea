#include "platform/runtime/TextConvert.h"

#include <windows.h>

#include <cstring>

namespace platform {

namespace {

std::wstring ToWide(UINT codePage, const char* bytes, std::size_t size) {
    if (size == 0) return std::wstring();
    const int length = static_cast<int>(size);
    const int n = ::MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes, length, &wide[0], n);
    return wide;
}

std::string FromWide(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int length = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(codePage, 0, wide.data(), length, &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace

std::string Utf16ToGbk(const char* utf16le, std::size_t bytes) {
    std::wstring wide(bytes / 2, L'\0');
    if (!wide.empty()) std::memcpy(&wide[0], utf16le, wide.size() * 2);
    return WideToGbk(wide);
}

std::wstring GbkToWide(const std::string& gbk) { return ToWide(936, gbk.data(), gbk.size()); }
std::string WideToGbk(const std::wstring& wide) { return FromWide(936, wide); }
std::wstring WideFromUtf8(const std::string& utf8) { return ToWide(CP_UTF8, utf8.data(), utf8.size()); }
std::string Utf8FromWide(const std::wstring& wide) { return FromWide(CP_UTF8, wide); }

std::string GbkToUtf16(const std::string& gbk) {
    const std::wstring wide = GbkToWide(gbk);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

std::string GbkToUtf8(const std::string& gbk) { return Utf8FromWide(GbkToWide(gbk)); }

}  // namespace platform
