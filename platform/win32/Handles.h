// RAII owners for Win32 handles: one template, a small traits type per handle kind
// (its invalid value and how it is released), and the UTF-16 edge helpers.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>
#include <utility>

namespace Folio::Win32 {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type h) noexcept : FHandle(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : FHandle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Type Get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != Traits::Invalid(); }
    // For out-parameters: releases the current handle and hands out the slot.
    Type* Put() noexcept
    {
        Reset();
        return &FHandle;
    }
    Type Release() noexcept { return std::exchange(FHandle, Traits::Invalid()); }
    void Reset(Type h = Traits::Invalid()) noexcept
    {
        if (FHandle != Traits::Invalid()) {
            Traits::Close(FHandle);
        }
        FHandle = h;
    }

private:
    Type FHandle = Traits::Invalid();
};

template <typename T, auto CloseFn>
struct NullInvalid {
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { CloseFn(h); }
};

struct FileTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};

inline void CloseKernelObject(HANDLE h) noexcept { CloseHandle(h); }
inline void CloseKey(HKEY h) noexcept { RegCloseKey(h); }
inline void CloseMenu(HMENU h) noexcept { DestroyMenu(h); }
inline void CloseIcon(HICON h) noexcept { DestroyIcon(h); }
inline void CloseGdiObject(HGDIOBJ h) noexcept { DeleteObject(h); }
inline void CloseMemoryDc(HDC h) noexcept { DeleteDC(h); }
inline void CloseModule(HMODULE h) noexcept { FreeLibrary(h); }
inline void CloseCoTaskMem(wchar_t* p) noexcept { CoTaskMemFree(p); }

using UniqueHKey = UniqueHandle<NullInvalid<HKEY, CloseKey>>;
using UniqueKernelHandle = UniqueHandle<NullInvalid<HANDLE, CloseKernelObject>>; // processes, threads, mutexes, pipes
using UniqueFile = UniqueHandle<FileTraits>;                                      // CreateFile results
using UniqueMenu = UniqueHandle<NullInvalid<HMENU, CloseMenu>>;
using UniqueIcon = UniqueHandle<NullInvalid<HICON, CloseIcon>>;
using UniqueBitmap = UniqueHandle<NullInvalid<HGDIOBJ, CloseGdiObject>>;
using UniqueGdiObject = UniqueHandle<NullInvalid<HGDIOBJ, CloseGdiObject>>;        // fonts, brushes, regions
using UniqueMemoryDc = UniqueHandle<NullInvalid<HDC, CloseMemoryDc>>; // CreateCompatibleDC results
using UniqueModule = UniqueHandle<NullInvalid<HMODULE, CloseModule>>;
using UniqueCoTaskString = UniqueHandle<NullInvalid<wchar_t*, CloseCoTaskMem>>; // shell and COM out-strings

// Text crosses into Win32 as wchar_t: both are UTF-16 on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* W(const std::u16string& s) noexcept { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline std::u16string U16(const wchar_t* s) { return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string(); }
inline std::u16string U16(const wchar_t* s, size_t n) { return std::u16string(reinterpret_cast<const char16_t*>(s), n); }

} // namespace Folio::Win32
