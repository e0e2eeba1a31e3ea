// The boundary tests run once per ANSI code page; ctest names the one it
// meant in OV_EXPECT_ACP, so a run under the wrong locale cannot pass.
#pragma once

#include <string>

namespace ovtest {

// Fails the current test when OV_EXPECT_ACP is set and GetACP() differs.
void ExpectAnsiCodePage();

}  // namespace ovtest
