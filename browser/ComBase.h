// The COM basics the browser code is written against. On Windows they are the system's
// own; on the host a small set under the same names, so that the browser control and its
// in-process fake compile and run in the unit tests. Helpers for UTF-16 text follow.
#pragma once

#ifdef _WIN32

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <eventtoken.h>
#include <wrl/client.h>

#else // the host

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include <utility>

// Sizes as on Windows (LLP64): ULONG and DWORD stay 32 bits on a 64-bit Linux.
using HRESULT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using INT = int;
using UINT = unsigned int;
using BOOL = int;
using INT32 = std::int32_t;
using UINT32 = std::uint32_t;
using INT64 = long long;
using UINT64 = unsigned long long;
using LONGLONG = long long;
using ULONGLONG = unsigned long long;
using BYTE = unsigned char;
using WORD = unsigned short;
using SIZE_T = std::size_t;
#define TRUE 1
#define FALSE 0

using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using PWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using PCWSTR = const WCHAR*;
using LPOLESTR = WCHAR*;

#define STDMETHODCALLTYPE
#define STDAPICALLTYPE

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2, Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFGUID = const GUID&;

constexpr bool operator==(const GUID& a, const GUID& b) noexcept
{
    bool same = a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3;
    for (int i = 0; i < 8; ++i) {
        same = same && a.Data4[i] == b.Data4[i];
    }
    return same;
}
constexpr bool IsEqualGUID(REFGUID a, REFGUID b) noexcept { return a == b; }
constexpr bool IsEqualIID(REFIID a, REFIID b) noexcept { return a == b; }

// __uuidof as mingw-w64 emulates it: a specialisation per interface, written by
// __CRT_UUID_DECL next to the declaration, so the same lines serve both compilers.
template <typename T>
constexpr const GUID& __mingw_uuidof();
template <typename T>
struct __mingw_uuidof_s;

#define __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                         \
    template <>                                                                                 \
    struct __mingw_uuidof_s<type> {                                                             \
        static constexpr IID __uuid_inst = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};      \
    };                                                                                          \
    template <>                                                                                 \
    constexpr const GUID& __mingw_uuidof<type>() { return __mingw_uuidof_s<type>::__uuid_inst; } \
    template <>                                                                                 \
    constexpr const GUID& __mingw_uuidof<type*>() { return __mingw_uuidof_s<type>::__uuid_inst; }

#define __uuidof(type) __mingw_uuidof<__typeof__(type)>()

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001u);
constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005u);
constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009u);
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) noexcept
{
    return static_cast<HRESULT>(error) <= 0 ? static_cast<HRESULT>(error)
                                            : static_cast<HRESULT>((error & 0x0000FFFFu) | 0x80070000u);
}
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

inline void* CoTaskMemAlloc(SIZE_T size) noexcept { return std::malloc(size); }
inline void CoTaskMemFree(void* block) noexcept { std::free(block); }

struct RECT { LONG left, top, right, bottom; };
struct POINT { LONG x, y; };
struct HWND__;
using HWND = HWND__*;
struct FILETIME { DWORD dwLowDateTime, dwHighDateTime; };
// Only passed through (AddHostObjectToScript): the host never looks inside.
struct tagVARIANT;
using VARIANT = tagVARIANT;

struct EventRegistrationToken { INT64 value; };

union LARGE_INTEGER {
    struct { DWORD LowPart; LONG HighPart; } u;
    LONGLONG QuadPart;
};
union ULARGE_INTEGER {
    struct { DWORD LowPart, HighPart; } u;
    ULONGLONG QuadPart;
};

struct STATSTG {
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};
enum STGTY { STGTY_STORAGE = 1, STGTY_STREAM = 2, STGTY_LOCKBYTES = 3, STGTY_PROPERTY = 4 };
enum STREAM_SEEK { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };
enum STATFLAG { STATFLAG_DEFAULT = 0, STATFLAG_NONAME = 1, STATFLAG_NOOPEN = 2 };
constexpr DWORD STGM_READ = 0x0;
constexpr DWORD STGM_WRITE = 0x1;
constexpr DWORD STGM_READWRITE = 0x2;
constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x10;
constexpr DWORD STGM_SHARE_DENY_WRITE = 0x20;
constexpr DWORD STGM_SHARE_DENY_NONE = 0x40;

// No virtual destructor: it would add slots that the real objects do not have.
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
__CRT_UUID_DECL(IUnknown, 0x00000000, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)

struct ISequentialStream : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};
__CRT_UUID_DECL(ISequentialStream, 0x0c733a30, 0x2a1c, 0x11ce, 0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3a)

struct IStream : public ISequentialStream {
    virtual HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Revert() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) = 0;
};
__CRT_UUID_DECL(IStream, 0x0000000c, 0x0000, 0x0000, 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)

template <typename T>
void** IID_PPV_ARGS_Helper(T** pp) noexcept
{
    static_assert(std::is_base_of_v<IUnknown, T>, "IID_PPV_ARGS needs a COM interface");
    return reinterpret_cast<void**>(pp);
}
#define IID_PPV_ARGS(ppType) __uuidof(**(ppType)), IID_PPV_ARGS_Helper(ppType)

namespace Microsoft::WRL {

// Microsoft's semantics: taking a raw pointer adds a reference, Attach does not.
template <typename T>
class ComPtr {
public:
    using InterfaceType = T;

    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    template <typename U>
    ComPtr(U* other) noexcept : FPtr(other) { InternalAddRef(); }
    ComPtr(const ComPtr& other) noexcept : FPtr(other.FPtr) { InternalAddRef(); }
    template <typename U>
    ComPtr(const ComPtr<U>& other) noexcept : FPtr(other.Get()) { InternalAddRef(); }
    ComPtr(ComPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    template <typename U>
    ComPtr(ComPtr<U>&& other) noexcept : FPtr(other.Detach()) {}
    ~ComPtr() { InternalRelease(); }

    // Each assignment builds the new value first, so assigning a pointer to itself is safe.
    ComPtr& operator=(std::nullptr_t) noexcept { return InternalRelease(), *this; }
    template <typename U>
    ComPtr& operator=(U* other) noexcept { return ComPtr(other).Swap(*this), *this; }
    ComPtr& operator=(const ComPtr& other) noexcept { return ComPtr(other).Swap(*this), *this; }
    template <typename U>
    ComPtr& operator=(const ComPtr<U>& other) noexcept { return ComPtr(other).Swap(*this), *this; }
    ComPtr& operator=(ComPtr&& other) noexcept { return ComPtr(std::move(other)).Swap(*this), *this; }
    template <typename U>
    ComPtr& operator=(ComPtr<U>&& other) noexcept { return ComPtr(std::move(other)).Swap(*this), *this; }

    void Swap(ComPtr& other) noexcept { std::swap(FPtr, other.FPtr); }
    T* Get() const noexcept { return FPtr; }
    T* operator->() const noexcept { return FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }
    T* const* GetAddressOf() const noexcept { return &FPtr; }
    T** GetAddressOf() noexcept { return &FPtr; }
    T** ReleaseAndGetAddressOf() noexcept { return InternalRelease(), &FPtr; }
    ULONG Reset() noexcept { return InternalRelease(); }
    T* Detach() noexcept { return std::exchange(FPtr, nullptr); }
    void Attach(T* other) noexcept
    {
        if (FPtr != nullptr && FPtr != other) {
            FPtr->Release();
        }
        FPtr = other;
    }
    HRESULT CopyTo(T** out) const noexcept { return InternalAddRef(), *out = FPtr, S_OK; }
    HRESULT CopyTo(REFIID riid, void** out) const noexcept { return FPtr->QueryInterface(riid, out); }
    template <typename U>
    HRESULT CopyTo(U** out) const noexcept
    {
        return FPtr->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out));
    }
    template <typename U>
    HRESULT As(ComPtr<U>* out) const noexcept
    {
        return FPtr->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
    }

private:
    void InternalAddRef() const noexcept { if (FPtr) { FPtr->AddRef(); } }
    ULONG InternalRelease() noexcept
    {
        T* old = std::exchange(FPtr, nullptr);
        return old ? old->Release() : 0;
    }

    T* FPtr = nullptr;
};

template <typename T, typename U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) noexcept { return a.Get() == b.Get(); }
template <typename T>
bool operator==(const ComPtr<T>& a, std::nullptr_t) noexcept { return a.Get() == nullptr; }

} // namespace Microsoft::WRL

#endif // _WIN32

#include <atomic>
#include <string>
#include <utility>

namespace Folio::Browser {

// Text crosses into COM as UTF-16 in both builds (wchar_t on Windows, char16_t here).
static_assert(sizeof(WCHAR) == 2);
static_assert(sizeof(WCHAR) == sizeof(char16_t));

inline const WCHAR* AsWide(const std::u16string& text) noexcept
{
    return reinterpret_cast<const WCHAR*>(text.c_str());
}
inline std::u16string FromWide(const WCHAR* text)
{
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

// Owns a string the browser hands out (get_Source, get_Uri, ...), which the caller
// must free with CoTaskMemFree:  TCoTaskString uri; args->get_Uri(uri.Put());
class TCoTaskString {
public:
    TCoTaskString() noexcept = default;
    explicit TCoTaskString(LPWSTR owned) noexcept : FText(owned) {}
    TCoTaskString(const TCoTaskString&) = delete;
    TCoTaskString& operator=(const TCoTaskString&) = delete;
    TCoTaskString(TCoTaskString&& other) noexcept : FText(std::exchange(other.FText, nullptr)) {}
    TCoTaskString& operator=(TCoTaskString&& other) noexcept
    {
        if (this != &other) {
            Reset();
            FText = std::exchange(other.FText, nullptr);
        }
        return *this;
    }
    ~TCoTaskString() { Reset(); }

    // Frees what it held and hands out the slot for an out-parameter.
    LPWSTR* Put() noexcept { return Reset(), &FText; }
    LPCWSTR Get() const noexcept { return FText; }
    bool IsNull() const noexcept { return FText == nullptr; }
    std::u16string Text() const { return FromWide(FText); }
    void Reset() noexcept { CoTaskMemFree(std::exchange(FText, nullptr)); }

private:
    LPWSTR FText = nullptr;
};

// A copy of the text in CoTaskMemAlloc'd memory, as a COM getter returns it; null when
// memory runs out.
inline LPWSTR CoTaskStringFrom(const std::u16string& text) noexcept
{
    const size_t bytes = (text.size() + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy) {
        text.copy(reinterpret_cast<char16_t*>(copy), text.size());
        copy[text.size()] = 0;
    }
    return copy;
}

// The IUnknown of a hand-written COM object: an atomic reference count that deletes the
// object when it drops to zero, and QueryInterface for IUnknown (answered with First)
// and each listed interface. An object that answers more (a base interface not listed,
// IMarshal through an aggregated marshaler) overrides QueryOther. A new object holds
// one reference, which MakeComObject hands to a ComPtr.
template <typename First, typename... Rest>
class TComObject : public First, public Rest... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override
    {
        if (!object) {
            return E_POINTER;
        }
        *object = nullptr;
        if (IsEqualIID(riid, __uuidof(IUnknown))) {
            *object = static_cast<First*>(this);
        } else if (!Find<First, Rest...>(riid, object)) {
            return QueryOther(riid, object);
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++FReferences; }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG left = --FReferences;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    TComObject() = default;
    // Virtual, so `delete this` reaches the final type; the slot comes after those of
    // the interfaces, where no caller through them looks.
    virtual ~TComObject() = default;

    // An interface not listed: *object set, with a reference added, or E_NOINTERFACE.
    virtual HRESULT QueryOther(REFIID, void**) noexcept { return E_NOINTERFACE; }

private:
    template <typename I, typename... More>
    bool Find(REFIID riid, void** object) noexcept
    {
        if (IsEqualIID(riid, __uuidof(I))) {
            *object = static_cast<I*>(this);
            return true;
        }
        if constexpr (sizeof...(More) > 0) {
            return Find<More...>(riid, object);
        }
        return false;
    }

    std::atomic<ULONG> FReferences{1};
};

// A new object, held by the returned pointer alone.
template <typename T, typename... Args>
Microsoft::WRL::ComPtr<T> MakeComObject(Args&&... args)
{
    // Not ComPtr::Attach: mingw-w64's Attach adds a reference where Microsoft's does not.
    T* created = new T(std::forward<Args>(args)...);
    Microsoft::WRL::ComPtr<T> object(created);
    created->Release();
    return object;
}

} // namespace Folio::Browser
