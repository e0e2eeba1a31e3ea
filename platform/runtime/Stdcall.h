// The Windows standard calling convention at the library's boundaries
// (exports, host callback, driver); portable builds have only one convention.
#pragma once

#if defined(_WIN32)
#define OV_STDCALL __stdcall
#else
#define OV_STDCALL
#endif
