// TBrowserExternalForm: the hidden window that holds the page's menus for the main
// window: its menu bar, the notification-area (tray) icon and the icon's pop-up menu.
// It is the bridge's menu host: it draws the trees the bridge gives and reports clicks.
#pragma once

#include "bridge/MenuModel.h"
#include "platform/MenuHost.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Window.h"
#include "ui/themes/ThemeFile.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Folio::Runtime {

class TBrowserExternalForm final : public Win32::TWindow, public Platform::TMenuHost {
public:
    // The tray icon's callback message.
    static constexpr UINT kTrayMessage = WM_USER + 1;

    TBrowserExternalForm() = default;
    ~TBrowserExternalForm() override;

    // Creates the hidden window for mainWindow; tooltip is the tray icon's.
    bool CreateForm(HWND mainWindow, std::u16string tooltip);

    // The main window passes every message here first: its menu's commands, menu loop
    // and its end, and the drawing of the bar's captions under a theme. True when the
    // message was the menu's and is handled.
    bool MainWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HMENU MainMenuHandle() const noexcept { return FMain.Menu.Get(); }
    HMENU TrayMenuHandle() const noexcept { return FTray.Menu.Get(); }

    // TMenuHost
    std::shared_ptr<const Platform::TMenuImage> DecodeImage(std::span<const uint8_t> bytes) override;
    void AttachMainMenu() override;
    void SetMenu(Platform::TMenuKind kind, const std::vector<Platform::TMenuNode>& items) override;
    bool ShowTrayIcon() override;
    bool HideTrayIcon() override;
    bool TrayIconVisible() const override { return FIconShown; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct TShownMenu {
        Win32::UniqueMenu Menu;
        std::vector<Platform::TMenuNode> Items; // keeps the images the menu shows
        Bridge::TMenuCommands Commands;
        bool Open = false;                      // in its modal loop: swaps wait
        std::optional<std::vector<Platform::TMenuNode>> Pending;
    };

    // The tray menu's loop as it runs: should the holder be freed inside it (the window
    // closing meanwhile), the loop learns so, and the menu it shows outlives the holder.
    struct TTrayLoop {
        bool HolderAlive = true;
        std::vector<Platform::TMenuNode> Items; // the images, freed after the menu
        Win32::UniqueMenu Menu;
    };

    void Swap(Platform::TMenuKind kind, const std::vector<Platform::TMenuNode>& items);
    void ApplyPending();
    void PaletteChanged(const Ui::TPalette* palette);
    void TrayNotify(UINT event);
    void ShowTrayMenu();
    bool AddIcon();
    void RemoveIcon() noexcept;

    HWND FMainWindow = nullptr;
    std::u16string FTooltip;
    UINT FTaskbarCreated = 0;
    int FPaletteListener = 0;
    bool FAttached = false;
    bool FIconShown = false;
    bool FLeftDown = false; // a press seen on the icon: its release is a click
    TShownMenu FMain, FTray;
    std::shared_ptr<TTrayLoop> FTrayLoop; // while the tray menu is open
};

} // namespace Folio::Runtime
