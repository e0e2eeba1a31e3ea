// The vendor's driver, renamed beside the proxy and loaded on first use
// (never from DllMain, where loading another library is unsafe).
#pragma once

#include <cstdint>
#include <string>

#include "device/usbid.h"

namespace traceproxy {

constexpr char kVendorFileName[] = "TmA4Drv_vendor.dll";

struct VendorDriver {
    std::int32_t(OV_STDCALL* Version)(const char*);
    std::int32_t(OV_STDCALL* Initialize)();
    std::int32_t(OV_STDCALL* Disable)();
    std::int32_t(OV_STDCALL* GetEvent)(TDriverEvent*);
};

// The vendor's four functions, or nullptr when its file or one of them is
// missing (the proxy then logs that and answers "no event").
const VendorDriver* Vendor();

// Why Vendor() is null ("TmA4Drv_vendor.dll not found", "... lacks
// TV_GetEvent"); empty when the vendor's driver is in place.
const std::string& VendorProblem();

// Whether the vendor's file is there at all: all that may be asked while
// the loader runs the proxy's entry routine, where no library is loaded.
bool VendorFilePresent();

// The folder of the proxy's own file, with its trailing separator (UTF-8).
const std::string& ProxyFolder();

}  // namespace traceproxy
