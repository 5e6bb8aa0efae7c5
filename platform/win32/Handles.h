// RAII owners for Win32 handles: one template, one closer per handle kind.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace Folio::Win32 {

template <typename H, typename Closer, H Invalid = H{}>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(H h) noexcept : FHandle(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : FHandle(std::exchange(other.FHandle, Invalid)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.FHandle, Invalid));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    H Get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != Invalid; }
    // For out-parameters: frees the current handle and hands out the slot.
    H* Put() noexcept
    {
        Reset();
        return &FHandle;
    }
    H Release() noexcept { return std::exchange(FHandle, Invalid); }
    void Reset(H h = Invalid) noexcept
    {
        if (FHandle != Invalid) {
            Closer{}(FHandle);
        }
        FHandle = h;
    }

private:
    H FHandle = Invalid;
};

struct KeyCloser {
    void operator()(HKEY h) const noexcept { RegCloseKey(h); }
};
struct HandleCloser {
    void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};

using UniqueHKey = UniqueHandle<HKEY, KeyCloser>;
using UniqueHandleObj = UniqueHandle<HANDLE, HandleCloser>;

// Text crosses into Win32 as wchar_t: both are UTF-16 on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* W(const std::u16string& s) noexcept { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline std::u16string U16(const wchar_t* s) { return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string(); }

} // namespace Folio::Win32
