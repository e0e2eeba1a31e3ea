// The voice box vendor's driver library, TmA4Drv.dll, imported by name at
// load time. All four functions use the Windows standard calling convention.
#pragma once

#include <cstdint>

#include "include/Orvale8.h"  // OV_STDCALL

// The record the driver fills on a poll: 56 bytes, little-endian.
#pragma pack(push, 1)
struct TDriverEvent {
    std::int32_t Code;
    std::uint8_t Reserved1[4];
    char Text[46];  // NUL-terminated only when shorter than 46 bytes
    std::uint8_t Reserved2[2];
};
#pragma pack(pop)
static_assert(sizeof(TDriverEvent) == 56, "the driver's event record is 56 bytes");

extern "C" {
std::int32_t OV_STDCALL Tma4drv_DLL_Version(const char* text);
std::int32_t OV_STDCALL TV_Initialize();
std::int32_t OV_STDCALL TV_Disable();
// Greater than 0 when an event was stored in *event.
std::int32_t OV_STDCALL TV_GetEvent(TDriverEvent* event);
}
