// The kinds of Win32 handle the product owns, each closed by its own function.
#pragma once

#include <windows.h>

#include "platform/runtime/UniqueResource.h"

namespace platform {

// Kernel objects: events, threads, processes, files, mappings. CreateFile
// fails with INVALID_HANDLE_VALUE, the others with null; both hold nothing.
using UniqueHandle = UniqueResource<HANDLE, &CloseHandle, -1>;
using UniqueModule = UniqueResource<HMODULE, &FreeLibrary>;
using UniqueWindow = UniqueResource<HWND, &DestroyWindow>;
using UniqueFont = UniqueResource<HFONT, &DeleteObject>;
using UniqueBrush = UniqueResource<HBRUSH, &DeleteObject>;
using UniqueBitmap = UniqueResource<HBITMAP, &DeleteObject>;
using UniqueDC = UniqueResource<HDC, &DeleteDC>;  // a memory device context
using UniqueFind = UniqueResource<HANDLE, &FindClose, -1>;  // a FindFirstFile search

}  // namespace platform
