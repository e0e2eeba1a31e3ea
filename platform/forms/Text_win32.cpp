#include "platform/forms/Text_win32.h"

#include <windows.h>

namespace platform {

std::wstring WideFromForm(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(kFormCodePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(n), L'\0');
    MultiByteToWideChar(kFormCodePage, 0, text.data(), int(text.size()), &wide[0], n);
    return wide;
}

std::string FormFromWide(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(kFormCodePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(std::size_t(n), '\0');
    WideCharToMultiByte(kFormCodePage, 0, text.data(), int(text.size()), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

}  // namespace platform
