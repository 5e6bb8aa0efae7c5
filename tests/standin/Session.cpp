// The session's injected failures, the version answer and the view window.
#include "tests/standin/Session.h"

#include "platform/win32/Handles.h"
#include "tests/standin/Log.h"


namespace Folio::Standin {

namespace {

const wchar_t ViewClass[] = L"FolioStandinView";

HMODULE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

} // namespace

std::optional<HRESULT> TSession::Failure(EFailStep step) const
{
    const auto hr = Scenario.Failure(step);
    if (hr) {
        TLogLine("creation-failed").Str("step", FailStepName(step)).Hresult("hresult", *hr).Write();
    }
    return hr;
}

std::optional<std::u16string> BrowserVersion()
{
    if (const auto marker = EnvironmentVariable(L"FOLIO_STANDIN_VERSION_MARKER")) {
        if (GetFileAttributesW(Win32::W(*marker)) == INVALID_FILE_ATTRIBUTES) {
            return std::nullopt;
        }
    }
    const auto version = EnvironmentVariable(L"FOLIO_STANDIN_VERSION");
    if (!version || version->empty()) {
        return u"120.0.2210.91";
    }
    if (*version == u"missing") {
        return std::nullopt;
    }
    return version;
}

// --- the view window ---

TViewWindow::TViewWindow(HWND parent)
{
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &TViewWindow::WindowProc;
        windowClass.hInstance = ThisModule();
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = ViewClass;
        return RegisterClassExW(&windowClass);
    }();
    if (!registered || !parent) {
        LogError("cannot make the view window");
        return;
    }
    FWindow = CreateWindowExW(0, ViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent, nullptr,
                              ThisModule(), this);
    if (!FWindow) {
        LogError("cannot create the view window: error " + std::to_string(GetLastError()));
    }
}

TViewWindow::~TViewWindow()
{
    // The parent may have taken the window with it already.
    if (FWindow && IsWindow(FWindow)) {
        SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
        DestroyWindow(FWindow);
    }
}

void TViewWindow::SetBounds(const RECT& bounds)
{
    FBounds = bounds;
    if (FWindow) {
        MoveWindow(FWindow, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
        InvalidateRect(FWindow, nullptr, TRUE);
    }
}

void TViewWindow::SetVisible(bool visible)
{
    if (FWindow) {
        ShowWindow(FWindow, visible ? SW_SHOWNA : SW_HIDE);
    }
}

void TViewWindow::SetTitle(std::u16string title)
{
    FTitle = std::move(title);
    if (FWindow) {
        InvalidateRect(FWindow, nullptr, TRUE);
    }
}

LRESULT CALLBACK TViewWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* view = reinterpret_cast<TViewWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view && message == WM_PAINT) {
        view->Paint();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A light page with a frame, the title on the first line and the bounds on the second.
void TViewWindow::Paint() noexcept
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(FWindow, &paint);
    RECT client;
    GetClientRect(FWindow, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    try {
        std::u16string text = FTitle.empty() ? u"(no title)" : FTitle;
        const std::string bounds = std::to_string(FBounds.left) + "," + std::to_string(FBounds.top) + " - " +
                                   std::to_string(FBounds.right) + "," + std::to_string(FBounds.bottom);
        text += u"\r\n";
        text.append(bounds.begin(), bounds.end());
        RECT area = client;
        InflateRect(&area, -8, -8);
        SetBkMode(dc, TRANSPARENT);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextW(dc, Win32::W(text), -1, &area, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
    } catch (...) {
    }
    EndPaint(FWindow, &paint);
}

} // namespace Folio::Standin
