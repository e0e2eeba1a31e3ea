// The plug-in's five exports: the names and ordinals library/Orvale8.def
// gives them, typed by the host SDK's header. How the bench, its install
// check and the tests find them.
#pragma once

#include <windows.h>

#include <string>
#include <type_traits>

#include "include/Orvale8.h"

struct PluginFunctions {
    decltype(&::ShowProperties) ShowProperties = nullptr;
    decltype(&::InitCallbackEx) InitCallbackEx = nullptr;
    decltype(&::CloseDevice) CloseDevice = nullptr;
    decltype(&::InitDevice) InitDevice = nullptr;
    decltype(&::OrvaleGetLastError) GetLastError = nullptr;  // exported as GetLastError
};

// visit(name, ordinal, slot) for each export, in ordinal order; `slot` is
// the member of `functions` that holds it.
template <class Visit>
void ForEachPluginExport(PluginFunctions& functions, Visit&& visit) {
    visit("ShowProperties", WORD(1), functions.ShowProperties);
    visit("InitCallbackEx", WORD(2), functions.InitCallbackEx);
    visit("CloseDevice", WORD(3), functions.CloseDevice);
    visit("InitDevice", WORD(4), functions.InitDevice);
    visit("GetLastError", WORD(5), functions.GetLastError);
}

// Each export of `module` by name; false, naming the first that is missing
// in `missing`, when one is.
inline bool FindPluginFunctions(HMODULE module, PluginFunctions& functions, std::string& missing) {
    missing.clear();
    ForEachPluginExport(functions, [&](const char* name, WORD, auto& slot) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
            reinterpret_cast<void*>(module ? GetProcAddress(module, name) : nullptr));
        if (!slot && missing.empty()) missing = name;
    });
    return missing.empty();
}
