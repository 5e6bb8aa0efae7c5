// PNG resources through WIC (see PngImage.h).
#include "platform/win32/PngImage.h"

#include <wincodec.h>
#include <wrl/client.h>

namespace Folio::Win32 {

using Microsoft::WRL::ComPtr;

namespace {

// Decodes to width x height, or to the image's own size when width is 0.
UniqueBitmap Decode(const void* bytes, size_t count, int width, int height, SIZE* decoded)
{
    if (!bytes || count == 0 || count > 0x7FFFFFFF || width < 0 || width > 4096 || height < 0 || height > 4096) {
        return {};
    }
    // WIC needs COM on this thread; an apartment set up elsewhere is fine as it is.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    struct Uninit {
        bool Needed;
        ~Uninit()
        {
            if (Needed) {
                CoUninitialize();
            }
        }
    } uninit{SUCCEEDED(init)};

    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
        return {};
    }
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), static_cast<DWORD>(count))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame))) {
        return {};
    }
    ComPtr<IWICBitmapSource> source = frame;
    if (width == 0) {
        UINT w = 0, h = 0;
        // A strip of 75 frames of 64 pixels is 4800 wide; far more is not an image of ours.
        if (FAILED(frame->GetSize(&w, &h)) || w == 0 || h == 0 || w > 16384 || h > 4096) {
            return {};
        }
        width = static_cast<int>(w), height = static_cast<int>(h);
    } else {
        // The work is paid by the size the image declares, which a few kilobytes can make
        // a photo's: icons scaled to a target are far smaller.
        UINT w = 0, h = 0;
        if (FAILED(frame->GetSize(&w, &h)) || w == 0 || h == 0 || w > 4096 || h > 4096) {
            return {};
        }
        ComPtr<IWICBitmapScaler> scaler;
        if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
            FAILED(scaler->Initialize(frame.Get(), static_cast<UINT>(width), static_cast<UINT>(height),
                                      WICBitmapInterpolationModeFant))) {
            return {};
        }
        source = scaler;
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom))) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!bitmap || !pixels) {
        return {};
    }
    const UINT stride = static_cast<UINT>(width) * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, stride * static_cast<UINT>(height), static_cast<BYTE*>(pixels)))) {
        return {};
    }
    if (decoded) {
        *decoded = {width, height};
    }
    return bitmap;
}

// The bytes of the RCDATA resource `name` of the running module; null when there is none.
const void* FindPngResource(const wchar_t* name, size_t& count)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) {
        return nullptr;
    }
    const HGLOBAL loaded = LoadResource(module, found);
    count = SizeofResource(module, found);
    return loaded ? LockResource(loaded) : nullptr;
}

} // namespace

UniqueBitmap DecodePng(const void* bytes, size_t count, int size)
{
    if (size <= 0) {
        return {};
    }
    return Decode(bytes, count, size, size, nullptr);
}

UniqueBitmap LoadPngResource(const wchar_t* name, int size)
{
    size_t count = 0;
    const void* bytes = FindPngResource(name, count);
    return DecodePng(bytes, count, size);
}

UniqueBitmap LoadPngResourceUnscaled(const wchar_t* name, SIZE& size)
{
    size_t count = 0;
    const void* bytes = FindPngResource(name, count);
    return Decode(bytes, count, 0, 0, &size);
}

void DrawPremultiplied(HDC dc, const RECT& to, HGDIOBJ bitmap, const RECT& from) noexcept
{
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    if (!memory || !bitmap) {
        return;
    }
    const HGDIOBJ old = SelectObject(memory.Get(), bitmap);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(dc, to.left, to.top, to.right - to.left, to.bottom - to.top, memory.Get(), from.left, from.top,
               from.right - from.left, from.bottom - from.top, blend);
    SelectObject(memory.Get(), old);
}

} // namespace Folio::Win32
