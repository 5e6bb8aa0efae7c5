// TBrowserExternalModule: the runtime's side of window.kiv. It receives every message
// the page posts, picks the native function by its id, runs it and posts the reply.
// The functions reach the system through ports, so all of it runs on the host as well.
#pragma once

#include "bridge/BrowserPort.h"
#include "bridge/Json.h"
#include "package/AppSettings.h"
#include "package/ZipArchive.h"
#include "platform/FileDialogs.h"
#include "platform/FileSystem.h"
#include "platform/MainWindowHost.h"
#include "platform/MenuHost.h"
#include "platform/Notifications.h"
#include "platform/Power.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"
#include "platform/ThemeEngine.h"
#include "platform/UiQueue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Folio::Bridge {

// The runtime's version, as hello() answers it.
inline constexpr std::u16string_view kRuntimeVersion = u"2023.19";

class TBrowserExternalModule {
public:
    // What the functions work on. Missing ports make their functions answer as if the
    // thing were absent (no window, no archive...), never crash.
    struct TPorts {
        TBrowserPort* Browser = nullptr;
        Platform::TFileSystem* FileSystem = nullptr;
        Platform::TFileDialogs* Dialogs = nullptr;
        Platform::TMainWindowHost* MainWindow = nullptr;
        Platform::TSystemInfo* System = nullptr;
        Platform::TMenuHost* Menus = nullptr;           // menu bar, tray icon and tray menu
        Platform::TThemeEngine* Themes = nullptr;       // absent: only the system look
        const Shared::TZipArchive* Archive = nullptr;   // AppArchive
        const Shared::TAppSettings* Settings = nullptr; // AppSettings
        std::u16string AppDirPath;                      // the executable's folder, with its separator
        Platform::TShell* Shell = nullptr;
        Platform::TPower* Power = nullptr;
        Platform::TNotifications* Notifications = nullptr;
        Platform::TRegistry* Registry = nullptr;
        Platform::TUiQueue* UiQueue = nullptr; // where commands' replies and clicks come back
    };

    explicit TBrowserExternalModule(TPorts ports);
    ~TBrowserExternalModule();
    TBrowserExternalModule(const TBrowserExternalModule&) = delete;
    TBrowserExternalModule& operator=(const TBrowserExternalModule&) = delete;

    // A notification the page sent was clicked: its handler in the page hears the name.
    void NotificationCenterReceiveLocalNotification(const std::u16string& name);
    // Another start of the application was ended by the single-instance rule: the page
    // hears its arguments and working folder (kiv.events.onSecondInstance).
    void SecondInstance(const std::vector<std::u16string>& args, const std::u16string& workingFolder);
    // Commands started by the page whose replies have not been posted yet.
    int CommandsRunning() const { return FCommandsRunning; }

    // Handles one message the page posted (its JSON text) from the page at sourceUri.
    // Only the package's own pages are served: a file:/// URI that the serving rules
    // resolve to an entry of the package or to a file below the executable's folder
    // (Browser::IsPackagePage); messages from any other page are ignored. A
    // failure that escapes a function ends this message only; it is reported through
    // OnDispatchError and later messages are served as usual.
    void EdgeBrowserWebMessageReceived(std::u16string_view messageJson, std::u16string_view sourceUri) noexcept;

    void SendReply(std::u16string_view uuid, bool success, std::u16string_view result);
    void ReplySuccess(std::u16string_view uuid, std::u16string_view result) { SendReply(uuid, true, result); }
    void ReplyFailure(std::u16string_view uuid, std::u16string_view result) { SendReply(uuid, false, result); }

    // Where escaped failures go; the debugger output by default.
    std::function<void(const std::string&)> OnDispatchError;
    // Called when the page asks the application to close (app.close()).
    std::function<void()> FOnAppCloseRequest;

    bool FInFullscreen = false;

private:
    using THandler = void (TBrowserExternalModule::*)(const std::u16string& uuid, const TJsonValue& data);
    static const std::unordered_map<int32_t, THandler>& FunctionTable();
    // What one message is read into. The module's own set serves message after message
    // without allocating; a message that arrives while a function still runs (a dialog's
    // message loop) gets a set of its own, so that the running function's uuid, fields and
    // document stay as they were.
    struct TMessageBuffers {
        TJsonParser Parser;
        std::u16string Id, Uuid, Path;
    };
    void Dispatch(std::u16string_view messageJson);
    void Dispatch(std::u16string_view messageJson, TMessageBuffers& buffers);
    bool IsOwnPage(std::u16string_view sourceUri);

    // 10001, 10002
    void Hello(const std::u16string& uuid, const TJsonValue& data);
    void IsRuntime(const std::u16string& uuid, const TJsonValue& data);
    // 20001-20003: dialogs
    void OpenFile(const std::u16string& uuid, const TJsonValue& data);
    void SaveFile(const std::u16string& uuid, const TJsonValue& data);
    void SelFolder(const std::u16string& uuid, const TJsonValue& data);
    // 30001-30004: files
    void FileExists(const std::u16string& uuid, const TJsonValue& data);
    void FileDelete(const std::u16string& uuid, const TJsonValue& data);
    void WriteTextFile(const std::u16string& uuid, const TJsonValue& data);
    void ExtractFile(const std::u16string& uuid, const TJsonValue& data);
    // 40001-40007: folders
    void DirExists(const std::u16string& uuid, const TJsonValue& data);
    void DeleteDir(const std::u16string& uuid, const TJsonValue& data);
    void GetTempDir(const std::u16string& uuid, const TJsonValue& data);
    void GetUserDocumentsDir(const std::u16string& uuid, const TJsonValue& data);
    void GetUserDesktopDir(const std::u16string& uuid, const TJsonValue& data);
    void GetAppExecutableDir(const std::u16string& uuid, const TJsonValue& data);
    void GetAppDataDir(const std::u16string& uuid, const TJsonValue& data);
    // 90001
    void DecodeToFile(const std::u16string& uuid, const TJsonValue& data);
    // 50001-50005: app
    void AppClose(const std::u16string& uuid, const TJsonValue& data);
    void InFullscreen(const std::u16string& uuid, const TJsonValue& data);
    void EnterFullscreen(const std::u16string& uuid, const TJsonValue& data);
    void ExitFullscreen(const std::u16string& uuid, const TJsonValue& data);
    void GetArgs(const std::u16string& uuid, const TJsonValue& data);
    // 70001-70004: shell
    void ShellExecuteFile(const std::u16string& uuid, const TJsonValue& data);
    void ShellExploreFile(const std::u16string& uuid, const TJsonValue& data);
    void ShellCommand(const std::u16string& uuid, const TJsonValue& data);
    void ShellListWindows(const std::u16string& uuid, const TJsonValue& data);
    // 11001-11004: system
    void SystemLogoff(const std::u16string& uuid, const TJsonValue& data);
    void SystemReboot(const std::u16string& uuid, const TJsonValue& data);
    void SystemShutdown(const std::u16string& uuid, const TJsonValue& data);
    void SystemNotification(const std::u16string& uuid, const TJsonValue& data);
    // 13001-13006: registry
    void RegistryWriteValue(const std::u16string& uuid, const TJsonValue& data);
    void RegistryReadValue(const std::u16string& uuid, const TJsonValue& data);
    void RegistryValueExist(const std::u16string& uuid, const TJsonValue& data);
    void RegistryDeleteValue(const std::u16string& uuid, const TJsonValue& data);
    void RegistryKeyExist(const std::u16string& uuid, const TJsonValue& data);
    void RegistryDeleteKey(const std::u16string& uuid, const TJsonValue& data);
    // 60001-60012: window
    void GetStyle(const std::u16string& uuid, const TJsonValue& data);
    void SetStyle(const std::u16string& uuid, const TJsonValue& data);
    void GetState(const std::u16string& uuid, const TJsonValue& data);
    void SetState(const std::u16string& uuid, const TJsonValue& data);
    void GetTitle(const std::u16string& uuid, const TJsonValue& data);
    void SetTitle(const std::u16string& uuid, const TJsonValue& data);
    void GetZoom(const std::u16string& uuid, const TJsonValue& data);
    void SetZoom(const std::u16string& uuid, const TJsonValue& data);
    void GetSize(const std::u16string& uuid, const TJsonValue& data);
    void SetSize(const std::u16string& uuid, const TJsonValue& data);
    void GetBorder(const std::u16string& uuid, const TJsonValue& data);
    void SetBorder(const std::u16string& uuid, const TJsonValue& data);
    // 80001-80003: themes
    void GetTheme(const std::u16string& uuid, const TJsonValue& data);
    void GetThemes(const std::u16string& uuid, const TJsonValue& data);
    void SetTheme(const std::u16string& uuid, const TJsonValue& data);

    // 12001, 12002, 14001-14004: the menu bar, the tray icon and its menu (MenuFunctions.cpp)
    void MainMenuSetItems(const std::u16string& uuid, const TJsonValue& data);
    void MainMenuUpdateItem(const std::u16string& uuid, const TJsonValue& data);
    void TrayShowIcon(const std::u16string& uuid, const TJsonValue& data);
    void TrayHideIcon(const std::u16string& uuid, const TJsonValue& data);
    void TrayMenuSetItems(const std::u16string& uuid, const TJsonValue& data);
    void TrayMenuUpdateItem(const std::u16string& uuid, const TJsonValue& data);
    void SetMenuItems(const std::u16string& uuid, const TJsonValue& data, Platform::TMenuKind kind);
    void UpdateMenuItem(const std::u16string& uuid, const TJsonValue& data, Platform::TMenuKind kind);
    void MenuItemClick(Platform::TMenuKind kind, int32_t id);
    void TrayIconClick();
    std::vector<Platform::TMenuNode>& MenuItems(Platform::TMenuKind kind);

    // A required path field resolved below the executable's folder; replies the failure
    // and answers nothing when it is empty.
    std::optional<std::u16string> RequiredPath(const std::u16string& uuid, const TJsonValue& data,
                                               std::u16string_view key, bool resolve = true);
    // The same, read into path (its buffer kept); false when the failure was replied.
    bool ReadRequiredPath(std::u16string& path, const std::u16string& uuid, const TJsonValue& data,
                          std::u16string_view key, bool resolve = true);
    void ReplyFolder(const std::u16string& uuid, std::u16string folder);
    // fileExists, deleteFile, dirExists, deleteDir: a required path, then true or false.
    void ReplyPathCheck(const std::u16string& uuid, const TJsonValue& data, std::u16string_view key,
                        bool (Platform::TFileSystem::*check)(const std::u16string&));
    // writeTextFile and decodeToFile: "filePath" made with its folders, the bytes of
    // "contents" written; reading and writing failures are answered with their message.
    void WriteFileFunction(const std::u16string& uuid, const TJsonValue& data,
                           std::string (*bytesOf)(std::u16string_view));

    void ReplyOutcome(const std::u16string& uuid, const Platform::TSystemOutcome& outcome);
    void ReplyPower(const std::u16string& uuid, Platform::TPowerAction action);
    void CommandEnded(const std::u16string& uuid, const Platform::TCommandOutcome& outcome,
                      std::optional<uint64_t> document);
    // The key below HKEY_CURRENT_USER without its leading backslash; replies the failure
    // and answers nothing when no key is left (the whole hive is never addressed).
    std::optional<std::u16string> RequiredKey(const std::u16string& uuid, const TJsonValue& data);
    // 13001-13004: key, then name, both required.
    std::optional<std::pair<std::u16string, std::u16string>> RequiredValue(const std::u16string& uuid,
                                                                           const TJsonValue& data);
    void ConnectNotifications();

    // Whether the page still shows the document that made a call (none known: it does),
    // so that the call's reply or event may go to it. A reply that finds another document
    // in place, after a navigation, is dropped.
    bool StillShows(const std::optional<uint64_t>& document) const;

    TPorts FPorts;
    // The document whose message is being handled; replies go to it only.
    std::optional<uint64_t> FCallingDocument;
    // The documents that set each menu, showed the tray icon and the notifications:
    // their clicks go to that document only.
    std::optional<uint64_t> FMainMenuDocument, FTrayMenuDocument, FTrayIconDocument, FNotificationDocument;
    TMessageBuffers FBuffers;
    TMessageBuffers* FCurrent = nullptr; // the buffers of the message being handled
    std::u16string FReply;               // the text of the reply being posted
    bool FReplying = false;
    // The last page found to be the package's. The package and the executable's folder
    // stay the same while the module lives, so its later messages skip the lookup.
    std::u16string FTrustedSource;
    bool FTrustedSourceKnown = false;
    // The page's menus as it described them; the host draws them.
    std::vector<Platform::TMenuNode> FMainMenuItems, FTrayMenuItems;
    int FCommandsRunning = 0;
    // Work that comes back later (a command's end, a click) holds a weak reference to
    // this and finds it empty once the module is gone.
    std::shared_ptr<TBrowserExternalModule*> FSelf;
};

} // namespace Folio::Bridge
