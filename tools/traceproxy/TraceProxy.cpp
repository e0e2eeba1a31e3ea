// The four driver functions: forward, then log what went in and came out.
#include <cstdio>
#include <cstring>
#include <string>

#include <windows.h>

#include "device/usbid.h"
#include "platform/runtime/Guard.h"
#include "platform/runtime/Paths.h"
#include "tools/traceproxy/TraceLog.h"
#include "tools/traceproxy/VendorDriver.h"

using namespace traceproxy;

namespace {

std::string Result(const char* call, std::int32_t result) {
    char text[96];
    std::snprintf(text, sizeof text, "%s -> %ld", call, static_cast<long>(result));
    return text;
}

// The caller's text as it stands, quoted; bytes outside printable ASCII as \xNN.
std::string Quote(const char* text) {
    if (!text) return "(null)";
    std::string out = "\"";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        char esc[5];
        if (*p >= 0x20 && *p < 0x7f && *p != '"' && *p != '\\') {
            out += static_cast<char>(*p);
        } else {
            std::snprintf(esc, sizeof esc, "\\x%02x", *p);
            out += esc;
        }
    }
    return out + "\"";
}

// Said at every call, so that however little of the log is read, the line's
// silence is explained.
bool VendorMissing(const char* call) {
    if (Vendor()) return false;
    AppendLine(std::string(call) + ": no vendor driver behind the tracing driver (" + VendorProblem() +
               "): answered 0, no call reaches the box and no ring the host");
    return true;
}

// Said once at load, before any call: the vendor's file can only be looked
// for here; whether it loads is found at the first call.
void LogLoad() {
    AppendLine("tracing driver loaded by " + platform::ExecutablePath());
    if (!VendorFilePresent())
        AppendLine(std::string("FAILURE: vendor driver ") + kVendorFileName + " not found beside the tracing "
                   "driver: every call answers 0 and no ring reaches the host; rename the vendor's TmA4Drv.dll to " +
                   kVendorFileName + " in this folder");
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) platform::Guarded(LogLoad);
    return TRUE;
}

// For the install check: 0 when the vendor's driver is in place behind the
// tracing driver; else 1, with why in `text` (NUL-terminated, cut to `size`).
std::int32_t OV_STDCALL TraceProxy_VendorProblem(char* text, std::int32_t size) {
    const std::string& problem = VendorProblem();
    if (text && size > 0) text[problem.copy(text, static_cast<std::size_t>(size) - 1)] = '\0';
    return problem.empty() ? 0 : 1;
}

std::int32_t OV_STDCALL Tma4drv_DLL_Version(const char* text) {
    if (VendorMissing("Tma4drv_DLL_Version")) return 0;
    std::int32_t r = Vendor()->Version(text);
    AppendLine(Result(("Tma4drv_DLL_Version(" + Quote(text) + ")").c_str(), r));
    return r;
}

std::int32_t OV_STDCALL TV_Initialize() {
    if (VendorMissing("TV_Initialize")) return 0;
    std::int32_t r = Vendor()->Initialize();
    AppendLine(Result("TV_Initialize()", r));
    return r;
}

std::int32_t OV_STDCALL TV_Disable() {
    if (VendorMissing("TV_Disable")) return 0;
    std::int32_t r = Vendor()->Disable();
    AppendLine(Result("TV_Disable()", r));
    return r;
}

std::int32_t OV_STDCALL TV_GetEvent(TDriverEvent* event) {
    if (VendorMissing("TV_GetEvent")) return 0;
    std::int32_t r = Vendor()->GetEvent(event);
    std::string line = Result("TV_GetEvent()", r);
    if (r > 0 && event) {
        char code[32];
        std::snprintf(code, sizeof code, " code=%ld", static_cast<long>(event->Code));
        std::string text(event->Text, strnlen(event->Text, sizeof event->Text));
        line += code + std::string(" text=") + Quote(text.c_str()) + " record=" + DescribeRecord(event, sizeof *event);
    }
    AppendLine(line);
    return r;
}

}  // extern "C"
