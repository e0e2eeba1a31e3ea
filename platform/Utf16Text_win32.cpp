#include "platform/Utf16Text.h"

#include <windows.h>

#include <cstring>

namespace platform {

std::string Utf16ToGbk(const char* utf16le, std::size_t bytes) {
    std::wstring wide(bytes / 2, L'\0');
    if (wide.empty()) return std::string();
    std::memcpy(&wide[0], utf16le, wide.size() * 2);
    const int length = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(936, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(936, 0, wide.data(), length, &out[0], n, nullptr, nullptr);
    return out;
}

std::string GbkToUtf16(const std::string& gbk) {
    if (gbk.empty()) return std::string();
    const int length = static_cast<int>(gbk.size());
    const int n = ::MultiByteToWideChar(936, 0, gbk.data(), length, nullptr, 0);
    if (n <= 0) return std::string();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(936, 0, gbk.data(), length, &wide[0], n);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

}  // namespace platform
