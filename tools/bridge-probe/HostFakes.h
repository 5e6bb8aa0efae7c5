// The host stand-ins for the bridge's ports that have no host counterpart: the browser
// (records what is posted), the main window (a rectangle with a state and a title), the
// file dialogs (scripted answers), the process facts (given, not read) and the menus
// (the trees last given, images told apart by their signature); the shell's and
// registry's stand-ins are in ShellFakes.h.
#pragma once

#include "bridge/BrowserExternalModule.h"
#include "bridge/BrowserPort.h"
#include "platform/FileDialogs.h"
#include "platform/FileSystem.h"
#include "platform/MainWindowHost.h"
#include "platform/MenuHost.h"
#include "platform/SystemInfo.h"
#include "tools/bridge-probe/ShellFakes.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace Folio::Probe {

class TRecordingBrowser final : public Bridge::TBrowserPort {
public:
    std::vector<std::u16string> Posted;
    std::vector<std::u16string> Scripts;
    double Zoom = 1.0;
    uint64_t Document = 1; // a test navigates by changing it
    uint64_t DocumentId() const override { return Document; }
    void PostWebMessageAsJson(const std::u16string& json) override { Posted.push_back(json); }
    void ExecuteScript(const std::u16string& script) override { Scripts.push_back(script); }
    double ZoomFactor() const override { return Zoom; }
    void SetZoomFactor(double factor) override { Zoom = factor; }
};

class TFakeMainWindow final : public Platform::TMainWindowHost {
public:
    bool IsOnTop = false;
    Platform::TWindowState WindowState = Platform::TWindowState::Normal;
    std::u16string Caption = u"Folio";
    Platform::TBounds Rect{50, 50, 800, 600};
    int BorderCode = 2;
    bool Visible = true;
    bool Tray = false;
    int FrontCount = 0;

    bool OnTop() const override { return IsOnTop; }
    void SetOnTop(bool onTop) override { IsOnTop = onTop; }
    Platform::TWindowState State() const override { return WindowState; }
    void SetState(Platform::TWindowState state) override { WindowState = state; }
    std::u16string Title() const override { return Caption; }
    void SetTitle(const std::u16string& title) override { Caption = title; }
    Platform::TBounds Bounds() const override { return Rect; }
    void SetBounds(int left, int top, int width, int height) override { Rect = {left, top, width, height}; }
    int Border() const override { return BorderCode; }
    void SetBorder(int code) override { BorderCode = code; }
    void Show() override { Visible = true; }
    void Hide() override { Visible = false; }
    void BringToFront() override { ++FrontCount; }
    bool TrayIconVisible() const override { return Tray; }
};

class TScriptedDialogs final : public Platform::TFileDialogs {
public:
    struct TRequest {
        std::u16string Kind, Title, FileName;
        std::vector<Platform::TFileType> Types;
        bool OverwritePrompt = false;
    };
    std::deque<std::u16string> Answers; // next answers; empty: the user cancels
    std::vector<TRequest> Requests;
    std::function<void()> WhileOpen; // what happens while a dialog is up (its loop runs)

    std::u16string OpenFile(const std::u16string& title, const std::u16string& fileName,
                            const std::vector<Platform::TFileType>& types) override
    {
        Requests.push_back({u"open", title, fileName, types, false});
        return Next();
    }
    std::u16string SaveFile(const std::u16string& title, const std::u16string& fileName,
                            const std::vector<Platform::TFileType>& types, bool overwritePrompt) override
    {
        Requests.push_back({u"save", title, fileName, types, overwritePrompt});
        return Next();
    }
    std::u16string SelectFolder(const std::u16string& title) override
    {
        Requests.push_back({u"folder", title, {}, {}, false});
        return Next();
    }

private:
    std::u16string Next()
    {
        if (WhileOpen) {
            WhileOpen();
        }
        if (Answers.empty()) {
            return {};
        }
        auto answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
};

class TGivenSystemInfo final : public Platform::TSystemInfo {
public:
    std::u16string Temp = u"C:\\Temp\\", Documents = u"C:\\Users\\me\\Documents\\", Desktop = u"C:\\Users\\me\\Desktop\\",
                   AppData = u"C:\\Users\\me\\AppData\\Roaming\\", Executable = u"C:\\Apps\\FolioRuntime.exe",
                   Line = u"\"C:\\Apps\\FolioRuntime.exe\"";
    char16_t Separator = u'.';
    std::u16string TempDir() override { return Temp; }
    std::u16string UserDocumentsDir() override { return Documents; }
    std::u16string UserDesktopDir() override { return Desktop; }
    std::u16string UserAppDataDir() override { return AppData; }
    std::u16string ExecutablePath() override { return Executable; }
    std::u16string CommandLine() override { return Line; }
    char16_t DecimalSeparator() override { return Separator; }
};

class TRecordingMenus final : public Platform::TMenuHost {
public:
    // An image of the stand-in: the bytes' length stands for its pixels.
    struct TImage final : Platform::TMenuImage {
        explicit TImage(size_t size) : Size(size) {}
        size_t Size;
    };
    std::vector<Platform::TMenuNode> Main, Tray; // as last drawn
    bool Attached = false;
    bool TrayShown = false;
    bool RefuseIcon = false; // the system refuses the icon
    int SetMenuCalls = 0;

    // PNG and BMP signatures decode; other bytes are no image.
    std::shared_ptr<const Platform::TMenuImage> DecodeImage(std::span<const uint8_t> bytes) override
    {
        const bool png = bytes.size() >= 4 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G';
        const bool bmp = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
        return png || bmp ? std::make_shared<TImage>(bytes.size()) : nullptr;
    }
    void AttachMainMenu() override { Attached = true; }
    void SetMenu(Platform::TMenuKind kind, const std::vector<Platform::TMenuNode>& items) override
    {
        ++SetMenuCalls;
        (kind == Platform::TMenuKind::Main ? Main : Tray) = items;
    }
    bool ShowTrayIcon() override { return TrayShown = TrayShown || !RefuseIcon; }
    bool HideTrayIcon() override
    {
        TrayShown = false;
        return true;
    }
    bool TrayIconVisible() const override { return TrayShown; }
};

// A file system that answers every question the same way and writes nothing: for
// benchmarks and fuzzing, where the bridge's own work is what counts.
class TFixedFileSystem final : public Platform::TFileSystem {
public:
    explicit TFixedFileSystem(bool answer) : FAnswer(answer) {}
    bool FileExists(const std::u16string&) override { return FAnswer; }
    bool DirectoryExists(const std::u16string&) override { return FAnswer; }
    bool RemoveFile(const std::u16string&) override { return FAnswer; }
    bool DeleteTree(const std::u16string&) override { return FAnswer; }
    void ForceDirectories(const std::u16string&) override {}
    void WriteFile(const std::u16string&, std::string_view) override {}
    bool MoveReplacing(const std::u16string&, const std::u16string&) override { return FAnswer; }
    std::optional<std::vector<uint8_t>> ReadFile(const std::u16string&) override { return std::nullopt; }
    std::unique_ptr<Platform::THeldFile> OpenHeld(const std::u16string&) override { return nullptr; }
    std::unique_ptr<Platform::TReadableFile> OpenForReading(const std::u16string&) override { return nullptr; }
    std::unique_ptr<Platform::TFileWriter> CreateNewFile(const std::u16string&) override
    {
        return std::make_unique<TDroppingWriter>();
    }

private:
    class TDroppingWriter final : public Platform::TFileWriter {
    public:
        void Write(std::string_view) override {}
        void Close() override {}
    };

    bool FAnswer;
};

// The stand-ins together, and the module's ports wired to them.
struct TStandIns {
    TRecordingBrowser Browser;
    TFakeMainWindow Window;
    TScriptedDialogs Dialogs;
    TGivenSystemInfo System;
    TRecordingMenus Menus;
    TPumpedQueue Queue; // before the shell, whose threads post to it
    TRecordingShell Shell;
    TRecordingPower Power;
    TRecordingNotifications Notifications;
    TMemoryRegistry Registry;

    Bridge::TBrowserExternalModule::TPorts Ports(Platform::TFileSystem& files, std::u16string appDirPath)
    {
        Bridge::TBrowserExternalModule::TPorts ports;
        ports.Browser = &Browser;
        ports.FileSystem = &files;
        ports.Dialogs = &Dialogs;
        ports.MainWindow = &Window;
        ports.System = &System;
        ports.Menus = &Menus;
        ports.AppDirPath = std::move(appDirPath);
        ports.Shell = &Shell;
        ports.Power = &Power;
        ports.Notifications = &Notifications;
        ports.Registry = &Registry;
        ports.UiQueue = &Queue;
        return ports;
    }
};

} // namespace Folio::Probe
