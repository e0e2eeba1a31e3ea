#include "tests/wine/support/CodePage.h"

#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

namespace ovtest {

void ExpectAnsiCodePage() {
    const char* expected = std::getenv("OV_EXPECT_ACP");
    if (!expected || !*expected) return;  // run by hand
    EXPECT_EQ(std::strtoul(expected, nullptr, 10), GetACP())
        << "Wine's ANSI code page does not match OV_EXPECT_ACP; check LC_ALL and the installed locales";
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    std::string out(wide.size() * 4, '\0');
    out.resize(std::size_t(
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &out[0], int(out.size()), nullptr, nullptr)));
    return out;
}

}  // namespace ovtest
