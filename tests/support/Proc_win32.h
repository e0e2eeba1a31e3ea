// A function of a loaded module, typed by the caller: how tests and the
// benchmark reach the plug-in's exports and the simulated driver's controls.
#pragma once

#include <windows.h>

namespace ovtest {

// Null when the module is null or lacks the name.
template <class F>
F Proc(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(module ? GetProcAddress(module, name) : nullptr));
}

}  // namespace ovtest
