// PNG images from the program's resources as bitmaps, through the Windows Imaging
// Component: decoded, scaled smoothly, premultiplied for AlphaBlend.
#pragma once

#include "platform/win32/Handles.h"

#include <windows.h>

namespace Folio::Win32 {

// A 32-bit top-down premultiplied BGRA bitmap of size x size pixels from the RCDATA
// resource `name` of the running module; empty when it cannot be had (no resource,
// no imaging component, a damaged image).
UniqueBitmap LoadPngResource(const wchar_t* name, int size);

// The same from PNG bytes.
UniqueBitmap DecodePng(const void* bytes, size_t count, int size);

} // namespace Folio::Win32
