#include "tools/host/Console.h"

#include <windows.h>

#include "platform/runtime/Paths.h"

namespace {

void Write(DWORD which, const std::string& utf8) {
    const HANDLE out = GetStdHandle(which);
    if (out == INVALID_HANDLE_VALUE || !out) return;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        // A console would read the bytes in its own code page.
        const std::wstring wide = platform::WideFromUtf8(utf8);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

}  // namespace

void WriteOut(const std::string& utf8) { Write(STD_OUTPUT_HANDLE, utf8); }
void WriteErr(const std::string& utf8) { Write(STD_ERROR_HANDLE, utf8); }
