#include "tests/support/CodePage.h"

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

}  // namespace ovtest
