// The Win32 groundwork for real: COM handler objects, the window base class (no
// exception crosses its procedure), rounded corners, error texts.
#include "platform/win32/ComHandler.h"
#include "platform/win32/Errors.h"
#include "platform/win32/Handles.h"
#include "platform/win32/RoundedWindow.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace Folio::Win32;
using Folio::Platform::TRoundedCornerType;

MIDL_INTERFACE("6a1b7e2c-3d4f-4a5b-9c8d-7e6f5a4b3c2d")
ITestCompletedHandler : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT result, int value) = 0;
};
__CRT_UUID_DECL(ITestCompletedHandler, 0x6a1b7e2c, 0x3d4f, 0x4a5b, 0x9c, 0x8d, 0x7e, 0x6f, 0x5a, 0x4b, 0x3c, 0x2d)

TEST(ComHandler, CountsReferencesAndAnswersItsInterfaces)
{
    int seen = 0;
    auto handler = MakeComHandler<ITestCompletedHandler, HRESULT, int>([&](HRESULT hr, int value) {
        seen = value;
        return hr;
    });
    EXPECT_EQ(handler->Invoke(S_FALSE, 7), S_FALSE);
    EXPECT_EQ(seen, 7);

    EXPECT_EQ(handler->AddRef(), 2u); // the ComPtr's reference and this one
    EXPECT_EQ(handler->Release(), 1u);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(handler->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown*>(handler.Get()));
    EXPECT_EQ(unknown->Release(), 1u);
    void* dispatch = reinterpret_cast<void*>(1);
    EXPECT_EQ(handler->QueryInterface(IID_IDispatch, &dispatch), E_NOINTERFACE);
    EXPECT_EQ(dispatch, nullptr);
    ITestCompletedHandler* same = nullptr;
    ASSERT_EQ(handler->QueryInterface(__uuidof(ITestCompletedHandler), reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same->Release(), 1u);

    auto throwing = MakeComHandler<ITestCompletedHandler, HRESULT, int>(
        [](HRESULT, int) -> HRESULT { throw std::runtime_error("boom"); });
    EXPECT_EQ(throwing->Invoke(S_OK, 1), E_UNEXPECTED);
}

namespace {

class ThrowingWindow : public TRoundedWindow {
public:
    int Handled = 0;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_APP) {
            ++Handled;
            throw std::runtime_error("handler failed");
        }
        return TRoundedWindow::HandleMessage(message, wParam, lParam);
    }
};

} // namespace

TEST(Window, NoExceptionCrossesTheWindowProcedure)
{
    ThrowingWindow window;
    ASSERT_TRUE(window.Create(L"FolioTestWindow", u"test", WS_OVERLAPPEDWINDOW, 0, 0, 0, 200, 100));
    EXPECT_EQ(SendMessageW(window.Handle(), WM_APP, 0, 0), 0);
    EXPECT_EQ(window.Handled, 1);
    EXPECT_TRUE(IsWindow(window.Handle())); // the window lives on
    wchar_t caption[16] = {};
    GetWindowTextW(window.Handle(), caption, 16);
    EXPECT_STREQ(caption, L"test");
    const HWND handle = window.Handle();
    window.Destroy();
    EXPECT_FALSE(IsWindow(handle));
}

namespace {

// Fails on the one message named; counts what it was given.
class FailingOn : public TWindow {
public:
    explicit FailingOn(UINT failing) : Failing(failing) {}
    UINT Failing;
    int Failures = 0;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == Failing) {
            ++Failures;
            throw std::runtime_error("handler failed");
        }
        return TWindow::HandleMessage(message, wParam, lParam);
    }
};

} // namespace

TEST(Window, LetsGoOfItsHandleWhenTheLastMessageFails)
{
    for (const UINT failing : {UINT{WM_NCDESTROY}, UINT{WM_DESTROY}}) {
        FailingOn window(failing);
        ASSERT_TRUE(window.Create(L"FolioTestFailing", u"f", WS_OVERLAPPEDWINDOW, 0, 0, 0, 200, 100));
        const HWND handle = window.Handle();
        ASSERT_TRUE(DestroyWindow(handle)); // as the system or a parent would, not through the object
        EXPECT_EQ(window.Failures, 1);
        EXPECT_FALSE(IsWindow(handle));
        EXPECT_EQ(window.Handle(), nullptr) << failing;
        window.Destroy(); // nothing left to do, nothing done twice
    }
}

TEST(Window, ASecondCreateReplacesTheFirstWindow)
{
    FailingOn window(WM_APP);
    ASSERT_TRUE(window.Create(L"FolioTestFailing", u"one", WS_OVERLAPPEDWINDOW, 0, 0, 0, 200, 100));
    const HWND first = window.Handle();
    ASSERT_TRUE(window.Create(L"FolioTestFailing", u"two", WS_OVERLAPPEDWINDOW, 0, 0, 0, 200, 100));
    const HWND second = window.Handle();
    EXPECT_NE(first, second);
    EXPECT_FALSE(IsWindow(first)); // not left behind, pointing at the object
    EXPECT_TRUE(IsWindow(second));
    EXPECT_EQ(GetWindowLongPtrW(second, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
    SendMessageW(second, WM_APP, 0, 0);
    EXPECT_EQ(window.Failures, 1);
    window.Destroy();
    EXPECT_FALSE(IsWindow(second));
}

TEST(RoundedWindow, AsksForItsCornersWhenTheHandleExists)
{
    TRoundedWindow window;
    window.SetRoundedCorners(TRoundedCornerType::rcSmall); // no handle yet: only stored
    EXPECT_EQ(window.LastCornerPreference(), -1);
    ASSERT_TRUE(window.Create(L"FolioTestRounded", u"r", WS_OVERLAPPEDWINDOW, 0, 0, 0, 200, 100));
    EXPECT_EQ(window.LastCornerPreference(), 3);
    window.SetRoundedCorners(TRoundedCornerType::rcDefault); // the program default: rounded
    EXPECT_EQ(window.LastCornerPreference(), 2);
    // The system may not know the attribute (Wine, Windows 10); asking is still harmless.
    SetCornerPreference(window.Handle(), 2);
    EXPECT_TRUE(IsWindow(window.Handle()));
    EXPECT_EQ(window.LastCornerPreference(), 2);
}

TEST(Errors, SystemTextWithTheCode)
{
    const std::string text = ErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_NE(text.find("(0x00000002)"), std::string::npos) << text;
    EXPECT_GT(text.size(), std::string(" (0x00000002)").size()) << text;
    EXPECT_EQ(ErrorText(0x2FFFFFFF), "error 0x2FFFFFFF");
}

TEST(Handles, OwnersReleaseOnce)
{
    UniqueKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    const HANDLE raw = event.Get();
    UniqueKernelHandle moved(std::move(event));
    EXPECT_FALSE(event);
    EXPECT_EQ(moved.Get(), raw);
    moved.Reset();
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags)); // closed
    UniqueFile none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.Get(), INVALID_HANDLE_VALUE);
}
