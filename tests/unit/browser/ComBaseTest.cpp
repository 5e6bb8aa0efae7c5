// The COM basics of browser/ComBase.h as the browser code uses them: ComPtr's reference
// counting, QueryInterface through As/CopyTo/IID_PPV_ARGS, the UTF-16 helpers and
// TCoTaskString. On Windows these are mingw-w64's own, on the host the project's; the
// TComObject base of hand-written objects is the project's in both.
#include "browser/ComBase.h"

#include <gtest/gtest.h>

#include <thread>

// Interfaces of the test's own: a base, one derived from it, and another.
struct ITestBase : public IUnknown {
    virtual int STDMETHODCALLTYPE Base() = 0;
};
__CRT_UUID_DECL(ITestBase, 0x5b0f3d1e, 0x6a2c, 0x4e11, 0x9d, 0x40, 0x2c, 0x7e, 0x15, 0xa3, 0x60, 0x01)
struct ITestCounter : public ITestBase {
    virtual int STDMETHODCALLTYPE Count() = 0;
};
__CRT_UUID_DECL(ITestCounter, 0x5b0f3d1e, 0x6a2c, 0x4e11, 0x9d, 0x40, 0x2c, 0x7e, 0x15, 0xa3, 0x60, 0x02)
struct ITestName : public IUnknown {
    virtual int STDMETHODCALLTYPE Name() = 0;
};
__CRT_UUID_DECL(ITestName, 0x5b0f3d1e, 0x6a2c, 0x4e11, 0x9d, 0x40, 0x2c, 0x7e, 0x15, 0xa3, 0x60, 0x03)

namespace {

using Microsoft::WRL::ComPtr;

// A stream that counts its references; it is never deleted, so the count stays readable.
struct TCountedStream : IStream {
    ULONG References = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == __uuidof(IUnknown) || riid == __uuidof(ISequentialStream) || riid == __uuidof(IStream)) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
    ULONG STDMETHODCALLTYPE Release() override { return --References; }
    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
};

TEST(ComBaseTest, ComPtrCountsReferences)
{
    TCountedStream stream;
    {
        ComPtr<IStream> a(&stream); // a raw pointer is shared: one more reference
        EXPECT_EQ(stream.References, 2u);
        ComPtr<IStream> b = a;
        EXPECT_EQ(stream.References, 3u);
        ComPtr<IStream> c = std::move(b);
        EXPECT_EQ(stream.References, 3u);
        EXPECT_FALSE(b);
        a = a.Get(); // assigning itself keeps the count
        EXPECT_EQ(stream.References, 3u);
        c.Reset();
        EXPECT_EQ(stream.References, 2u);
        IStream* detached = a.Detach();
        EXPECT_EQ(stream.References, 2u);
        detached->Release();
        IStream* copy = nullptr;
        c = &stream;
        ASSERT_EQ(c.CopyTo(&copy), S_OK);
        EXPECT_EQ(copy, &stream);
        EXPECT_EQ(stream.References, 3u);
        copy->Release();
    }
    EXPECT_EQ(stream.References, 1u);
}

TEST(ComBaseTest, QueryInterfaceThroughAsAndIidPpvArgs)
{
    TCountedStream stream;
    {
        ComPtr<IUnknown> unknown(static_cast<IStream*>(&stream));
        ComPtr<ISequentialStream> sequential;
        ASSERT_EQ(unknown.As(&sequential), S_OK);
        EXPECT_EQ(sequential.Get(), static_cast<ISequentialStream*>(&stream));
        ComPtr<IStream> full;
        ASSERT_EQ(sequential->QueryInterface(IID_PPV_ARGS(full.ReleaseAndGetAddressOf())), S_OK);
        EXPECT_EQ(full.Get(), &stream);
        EXPECT_EQ(stream.References, 4u);
        EXPECT_TRUE(__uuidof(IStream) == __uuidof(full.Get()));
        EXPECT_FALSE(__uuidof(IStream) == __uuidof(ISequentialStream));
    }
    EXPECT_EQ(stream.References, 1u);
}

#ifndef _WIN32
// Microsoft's Attach takes over the caller's reference; mingw-w64's adds one, so Windows
// code does not use it (see platform/win32/ComHandler.h).
TEST(ComBaseTest, AttachTakesOverTheReference)
{
    TCountedStream stream;
    stream.AddRef();
    {
        ComPtr<IStream> owner;
        owner.Attach(&stream);
        EXPECT_EQ(stream.References, 2u);
    }
    EXPECT_EQ(stream.References, 1u);
}
#endif

// Two interfaces listed, the base of one answered through QueryOther, as the body
// stream answers ISequentialStream; it says when it is destroyed.
class TTwoFaced final : public Folio::Browser::TComObject<ITestCounter, ITestName> {
public:
    explicit TTwoFaced(bool& destroyed) : FDestroyed(destroyed) {}
    ~TTwoFaced() override { FDestroyed = true; }
    int STDMETHODCALLTYPE Base() override { return 1; }
    int STDMETHODCALLTYPE Count() override { return 2; }
    int STDMETHODCALLTYPE Name() override { return 3; }

private:
    HRESULT QueryOther(REFIID riid, void** object) noexcept override
    {
        if (!IsEqualIID(riid, __uuidof(ITestBase))) {
            return E_NOINTERFACE;
        }
        *object = static_cast<ITestCounter*>(this);
        AddRef();
        return S_OK;
    }
    bool& FDestroyed;
};

TEST(ComBaseTest, ComObjectAnswersItsInterfacesAndDiesWithItsLastReference)
{
    bool destroyed = false;
    {
        const ComPtr<TTwoFaced> object = Folio::Browser::MakeComObject<TTwoFaced>(destroyed);
        EXPECT_EQ(object->AddRef(), 2u); // the ComPtr holds the only reference
        EXPECT_EQ(object->Release(), 1u);

        ComPtr<IUnknown> unknown;
        ComPtr<ITestName> name;
        ComPtr<ITestBase> base;
        ASSERT_EQ(object.As(&unknown), S_OK);
        ASSERT_EQ(object.As(&name), S_OK);
        ASSERT_EQ(unknown.As(&base), S_OK);
        EXPECT_EQ(unknown.Get(), static_cast<IUnknown*>(static_cast<ITestCounter*>(object.Get())));
        EXPECT_EQ(name->Name(), 3);
        EXPECT_EQ(base->Base(), 1);
        EXPECT_EQ(base.Get(), static_cast<ITestBase*>(object.Get()));

        void* slot = &destroyed;
        EXPECT_EQ(object->QueryInterface(__uuidof(IStream), &slot), E_NOINTERFACE);
        EXPECT_EQ(slot, nullptr);
        EXPECT_EQ(object->QueryInterface(__uuidof(IStream), nullptr), E_POINTER);

        // Counted from two threads at once.
        auto churn = [&] {
            for (int i = 0; i < 20000; ++i) {
                name->AddRef();
                name->Release();
            }
        };
        std::thread one(churn), two(churn);
        one.join();
        two.join();
        EXPECT_EQ(object->AddRef(), 5u); // the four ComPtrs and this
        object->Release();
        unknown.Reset();
        name.Reset();
        base.Reset();
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}

TEST(ComBaseTest, ErrorCodesAreWindowsValues)
{
    EXPECT_EQ(static_cast<std::uint32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), 0x80070002u);
    EXPECT_EQ(static_cast<std::uint32_t>(E_FAIL), 0x80004005u);
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_TRUE(FAILED(E_ABORT));
}

TEST(ComBaseTest, TextRoundTripsThroughCoTaskStrings)
{
    using namespace Folio::Browser;
    const std::u16string text = u"file:///Z:/App/index.html?\u00e9\u4e2d";
    TCoTaskString owned(CoTaskStringFrom(text));
    ASSERT_FALSE(owned.IsNull());
    EXPECT_EQ(owned.Text(), text);
    EXPECT_EQ(FromWide(AsWide(text)), text);
    EXPECT_EQ(FromWide(nullptr), u"");
    // Put frees what it held before handing out the slot.
    *owned.Put() = CoTaskStringFrom(u"next");
    EXPECT_EQ(owned.Text(), u"next");
    TCoTaskString moved = std::move(owned);
    EXPECT_TRUE(owned.IsNull());
    EXPECT_EQ(moved.Text(), u"next");
}

} // namespace
