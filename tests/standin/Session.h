// What one environment of the stand-in shares with its controller and web view: the
// scenario read when the runtime created the environment, and the window that shows
// where the browser would be.
#pragma once

#include "tests/standin/Scenario.h"

#include <windows.h>

#include <optional>
#include <string>

namespace Folio::Standin {

struct TSession {
    TScenario Scenario;
    std::u16string Version;

    // Logs the injected failure of `step` and returns it, when the scenario asks for one.
    std::optional<HRESULT> Failure(EFailStep step) const;
};

// The version answer of FOLIO_STANDIN_VERSION and FOLIO_STANDIN_VERSION_MARKER; nothing
// when no runtime is to be seen.
std::optional<std::u16string> BrowserVersion();

// A child of the controller's parent window, placed by put_Bounds, showing the document
// title and its own bounds so that a screenshot shows the layout.
class TViewWindow {
public:
    explicit TViewWindow(HWND parent);
    ~TViewWindow();
    TViewWindow(const TViewWindow&) = delete;
    TViewWindow& operator=(const TViewWindow&) = delete;

    HWND Handle() const noexcept { return FWindow; }
    void SetBounds(const RECT& bounds);
    void SetVisible(bool visible);
    void SetTitle(std::u16string title);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void Paint() noexcept;

    HWND FWindow = nullptr;
    RECT FBounds{};
    std::u16string FTitle;
};

} // namespace Folio::Standin
