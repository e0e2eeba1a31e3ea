#include "tools/host/Console.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr UINT kChineseCodePage = 936;

std::wstring Widen(const char* text, int length, UINT codePage) {
    const int size = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    std::wstring wide(size > 0 ? size : 0, L'\0');
    if (size > 0) MultiByteToWideChar(codePage, 0, text, length, &wide[0], size);
    return wide;
}

std::string ToUtf8(const std::wstring& wide) {
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &utf8[0], size, nullptr, nullptr);
    return utf8;
}

void Write(DWORD which, const std::string& utf8) {
    const HANDLE out = GetStdHandle(which);
    if (out == INVALID_HANDLE_VALUE || !out) return;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        // A console would read the bytes in its own code page.
        const std::wstring wide = Widen(utf8.data(), static_cast<int>(utf8.size()), CP_UTF8);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

}  // namespace

std::string Cp936ToUtf8(const char* text) {
    if (!text || !*text) return std::string();
    return ToUtf8(Widen(text, static_cast<int>(std::strlen(text)), kChineseCodePage));
}

void WriteOut(const std::string& utf8) { Write(STD_OUTPUT_HANDLE, utf8); }
void WriteErr(const std::string& utf8) { Write(STD_ERROR_HANDLE, utf8); }
