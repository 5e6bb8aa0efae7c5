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

// The same from PNG bytes (or any format WIC decodes). Images that declare more than
// 4096 pixels a side are refused.
UniqueBitmap DecodePng(const void* bytes, size_t count, int size);

// A PNG resource at its own size (an animation strip, say); size receives it.
UniqueBitmap LoadPngResourceUnscaled(const wchar_t* name, SIZE& size);

// Blends the part `from` of such a bitmap over dc's pixels in `to` (stretched when the
// sizes differ).
void DrawPremultiplied(HDC dc, const RECT& to, HGDIOBJ bitmap, const RECT& from) noexcept;

} // namespace Folio::Win32
