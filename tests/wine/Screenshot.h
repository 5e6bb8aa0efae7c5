// Screenshots for the window tests: what the screen shows in a rectangle, saved as a PNG
// (into build/artifacts, where people look at them) or read back pixel by pixel.
#pragma once

#include "util/PngWriter.h"

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace Folio::Test {

// The pixels of a w x h bitmap, rows top to bottom, as 0x00RRGGBB, after `paint` drew
// on it: paint(memory, screen, bits) gets a memory device context with the bitmap
// selected, the screen's device context and the bitmap's 32-bit pixels.
template <class TPaint>
std::vector<uint32_t> PaintedPixels(int w, int h, TPaint&& paint)
{
    std::vector<uint32_t> pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        const HGDIOBJ old = SelectObject(memory, bitmap);
        paint(memory, screen, static_cast<uint32_t*>(bits));
        GdiFlush();
        SelectObject(memory, old);
        const auto* bgra = static_cast<const uint32_t*>(bits);
        pixels.assign(bgra, bgra + static_cast<size_t>(w) * h);
        for (auto& p : pixels) {
            p &= 0x00FFFFFF;
        }
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The pixels of `area` of the screen, rows top to bottom, as 0x00RRGGBB.
inline std::vector<uint32_t> CaptureScreen(const RECT& area)
{
    const int w = area.right - area.left, h = area.bottom - area.top;
    return PaintedPixels(w, h, [&](HDC memory, HDC screen, uint32_t*) {
        BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
    });
}

inline void SavePng(const std::vector<uint32_t>& pixels, int w, int h, const std::filesystem::path& file)
{
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < pixels.size() && i * 4 < rgba.size(); ++i) {
        rgba[i * 4] = static_cast<uint8_t>(pixels[i] >> 16), rgba[i * 4 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgba[i * 4 + 2] = static_cast<uint8_t>(pixels[i]), rgba[i * 4 + 3] = 255;
    }
    std::filesystem::create_directories(file.parent_path());
    const std::string png = Folio::Shared::EncodePng(static_cast<uint32_t>(w), static_cast<uint32_t>(h), rgba.data());
    std::ofstream(file, std::ios::binary).write(png.data(), static_cast<std::streamsize>(png.size()));
}

// Saves what the screen shows of a window, with `margin` pixels of its surroundings.
inline void SaveScreenshot(HWND window, const std::filesystem::path& file, int margin = 0)
{
    RECT r;
    GetWindowRect(window, &r);
    InflateRect(&r, margin, margin);
    SavePng(CaptureScreen(r), r.right - r.left, r.bottom - r.top, file);
}

} // namespace Folio::Test
