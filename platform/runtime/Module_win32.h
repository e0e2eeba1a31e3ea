#pragma once

#include <windows.h>

namespace platform {

// The instance handle of the module this code is linked into (the plug-in
// DLL, or a test program), for window classes and resources.
HINSTANCE ThisModule();

}  // namespace platform
