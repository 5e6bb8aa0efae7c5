// The agile IStream over a streamed body (see EntryStream.h).
#include "browser/win32/EntryStream.h"

#include "browser/ComBase.h"
#include "browser/StreamedBody.h"

#include <new>

namespace Folio::Win32 {

namespace {

class TBodyStream final : public Browser::TComObject<IStream, IAgileObject> {
public:
    TBodyStream(std::shared_ptr<Browser::TByteSource> source, uint64_t start, uint64_t length)
        : FBody(std::move(source), start, length)
    {
    }

    // The free-threaded marshaler hands other apartments this very object, not a proxy
    // to the thread that made it (the UI thread, which must not serve the reads).
    HRESULT Initialize() noexcept
    {
        return CoCreateFreeThreadedMarshaler(static_cast<IStream*>(this), FMarshaler.ReleaseAndGetAddressOf());
    }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* read) noexcept override
    {
        if (read) {
            *read = 0;
        }
        if (!buffer && count > 0) {
            return STG_E_INVALIDPOINTER;
        }
        size_t got = 0;
        try {
            if (!FBody.Read(static_cast<uint8_t*>(buffer), count, got)) {
                return HRESULT_FROM_WIN32(ERROR_CRC);
            }
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
        if (read) {
            *read = static_cast<ULONG>(got);
        }
        return got == count ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) noexcept override
    {
        uint64_t base = 0;
        switch (origin) {
        case STREAM_SEEK_SET: break;
        case STREAM_SEEK_CUR: base = FBody.Position(); break;
        case STREAM_SEEK_END: base = FBody.Size(); break;
        default: return STG_E_INVALIDFUNCTION;
        }
        const int64_t offset = move.QuadPart;
        if (offset < 0 && static_cast<uint64_t>(-(offset + 1)) + 1 > base) {
            return STG_E_INVALIDFUNCTION;
        }
        const uint64_t target = base + static_cast<uint64_t>(offset);
        if (!FBody.Seek(target)) {
            return STG_E_INVALIDFUNCTION; // beyond the end: the body has no more bytes
        }
        if (position) {
            position->QuadPart = target;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) noexcept override
    {
        if (!stat) {
            return STG_E_INVALIDPOINTER;
        }
        *stat = {};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = FBody.Size();
        stat->grfMode = STGM_READ | STGM_SHARE_DENY_WRITE;
        return S_OK; // no name, whatever the flag: the stream has none
    }

    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) noexcept override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) noexcept override { return E_NOTIMPL; }

private:
    // ISequentialStream, the base of IStream, and the marshaler's IMarshal.
    HRESULT QueryOther(REFIID riid, void** object) noexcept override
    {
        if (IsEqualIID(riid, __uuidof(ISequentialStream))) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(riid, __uuidof(IMarshal)) && FMarshaler) {
            return FMarshaler->QueryInterface(riid, object);
        }
        return E_NOINTERFACE;
    }

    Browser::TStreamedBody FBody; // locks each call itself
    Microsoft::WRL::ComPtr<IUnknown> FMarshaler;
};

} // namespace

Microsoft::WRL::ComPtr<IStream> CreateBodyStream(std::shared_ptr<Browser::TByteSource> source, uint64_t start,
                                                 uint64_t length) noexcept
{
    auto* created = new (std::nothrow) TBodyStream(std::move(source), start, length);
    if (!created) {
        return nullptr;
    }
    // Not ComPtr::Attach: mingw-w64's Attach adds a reference where Microsoft's does not.
    Microsoft::WRL::ComPtr<IStream> stream(static_cast<IStream*>(created));
    created->Release();
    if (FAILED(created->Initialize())) {
        return nullptr;
    }
    return stream;
}

Microsoft::WRL::ComPtr<IStream> CreateEntryStream(std::shared_ptr<Shared::TZipEntryReader> reader, uint64_t start,
                                                  uint64_t length) noexcept
{
    try {
        return CreateBodyStream(Browser::EntrySource(std::move(reader)), start, length);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace Folio::Win32
