// Dispatch of the page's messages (see BrowserExternalModule.h).
#include "bridge/BrowserExternalModule.h"

#include "bridge/Protocol.h"
#include "browser/RequestServing.h"
#include "platform/DebugOutput.h"
#include "util/Numbers.h"

namespace Folio::Bridge {

namespace {

// A required member of the message; its absence is the error the page sees as silence.
const TJsonValue& Member(const TJsonValue& message, const char* name)
{
    if (!message.IsObject()) {
        throw EBridgeError(std::string("Value '") + name + "' not found");
    }
    const auto it = message.FindMember(name);
    if (it == message.MemberEnd()) {
        throw EBridgeError(std::string("Value '") + name + "' not found");
    }
    return it->value;
}

// Runs its function when the scope ends, however it ends.
template <class F>
struct TOnExit {
    F Run;
    ~TOnExit() { Run(); }
};
template <class F>
TOnExit(F) -> TOnExit<F>;

// A reply longer than this (a long listing) gives its buffer back once posted.
constexpr size_t kKeptReplyUnits = 32 * 1024;

} // namespace

TBrowserExternalModule::TBrowserExternalModule(TPorts ports)
    : FPorts(ports), FSelf(std::make_shared<TBrowserExternalModule*>(this))
{
    OnDispatchError = [](const std::string& message) { Platform::DebugOutput("Folio bridge: " + message); };
    if (FPorts.Menus) {
        FPorts.Menus->OnItemClick = [this](Platform::TMenuKind kind, int32_t id) { MenuItemClick(kind, id); };
        FPorts.Menus->OnTrayIconClick = [this] { TrayIconClick(); };
    }
    ConnectNotifications();
}

TBrowserExternalModule::~TBrowserExternalModule()
{
    if (FPorts.Menus) {
        FPorts.Menus->OnItemClick = nullptr;
        FPorts.Menus->OnTrayIconClick = nullptr;
    }
    if (FPorts.Notifications) {
        FPorts.Notifications->SetClickHandler(nullptr);
    }
}

const std::unordered_map<int32_t, TBrowserExternalModule::THandler>& TBrowserExternalModule::FunctionTable()
{
    static const std::unordered_map<int32_t, THandler> table = {
        {10001, &TBrowserExternalModule::Hello},
        {10002, &TBrowserExternalModule::IsRuntime},
        {20001, &TBrowserExternalModule::OpenFile},
        {20002, &TBrowserExternalModule::SaveFile},
        {20003, &TBrowserExternalModule::SelFolder},
        {30001, &TBrowserExternalModule::FileExists},
        {30002, &TBrowserExternalModule::FileDelete},
        {30003, &TBrowserExternalModule::WriteTextFile},
        {30004, &TBrowserExternalModule::ExtractFile},
        {40001, &TBrowserExternalModule::DirExists},
        {40002, &TBrowserExternalModule::DeleteDir},
        {40003, &TBrowserExternalModule::GetTempDir},
        {40004, &TBrowserExternalModule::GetUserDocumentsDir},
        {40005, &TBrowserExternalModule::GetUserDesktopDir},
        {40006, &TBrowserExternalModule::GetAppExecutableDir},
        {40007, &TBrowserExternalModule::GetAppDataDir},
        {50001, &TBrowserExternalModule::AppClose},
        {50002, &TBrowserExternalModule::InFullscreen},
        {50003, &TBrowserExternalModule::EnterFullscreen},
        {50004, &TBrowserExternalModule::ExitFullscreen},
        {50005, &TBrowserExternalModule::GetArgs},
        {11001, &TBrowserExternalModule::SystemLogoff},
        {11002, &TBrowserExternalModule::SystemReboot},
        {11003, &TBrowserExternalModule::SystemShutdown},
        {11004, &TBrowserExternalModule::SystemNotification},
        {13001, &TBrowserExternalModule::RegistryWriteValue},
        {13002, &TBrowserExternalModule::RegistryReadValue},
        {13003, &TBrowserExternalModule::RegistryValueExist},
        {13004, &TBrowserExternalModule::RegistryDeleteValue},
        {13005, &TBrowserExternalModule::RegistryKeyExist},
        {13006, &TBrowserExternalModule::RegistryDeleteKey},
        {60001, &TBrowserExternalModule::GetStyle},
        {60002, &TBrowserExternalModule::SetStyle},
        {60003, &TBrowserExternalModule::GetState},
        {60004, &TBrowserExternalModule::SetState},
        {60005, &TBrowserExternalModule::GetTitle},
        {60006, &TBrowserExternalModule::SetTitle},
        {60007, &TBrowserExternalModule::GetZoom},
        {60008, &TBrowserExternalModule::SetZoom},
        {60009, &TBrowserExternalModule::GetSize},
        {60010, &TBrowserExternalModule::SetSize},
        {60011, &TBrowserExternalModule::GetBorder},
        {60012, &TBrowserExternalModule::SetBorder},
        {80001, &TBrowserExternalModule::GetTheme},
        {80002, &TBrowserExternalModule::GetThemes},
        {80003, &TBrowserExternalModule::SetTheme},
        {70001, &TBrowserExternalModule::ShellExecuteFile},
        {70002, &TBrowserExternalModule::ShellExploreFile},
        {70003, &TBrowserExternalModule::ShellCommand},
        {70004, &TBrowserExternalModule::ShellListWindows},
        {90001, &TBrowserExternalModule::DecodeToFile},
        {12001, &TBrowserExternalModule::MainMenuSetItems},
        {12002, &TBrowserExternalModule::MainMenuUpdateItem},
        {14001, &TBrowserExternalModule::TrayShowIcon},
        {14002, &TBrowserExternalModule::TrayHideIcon},
        {14003, &TBrowserExternalModule::TrayMenuSetItems},
        {14004, &TBrowserExternalModule::TrayMenuUpdateItem},
    };
    return table;
}

void TBrowserExternalModule::EdgeBrowserWebMessageReceived(std::u16string_view messageJson,
                                                           std::u16string_view sourceUri) noexcept
{
    try {
        if (!IsOwnPage(sourceUri)) {
            return; // a page from elsewhere, a share or a local file included, gets no reply
        }
        const std::optional<uint64_t> outer = FCallingDocument;
        FCallingDocument = FPorts.Browser ? std::optional<uint64_t>(FPorts.Browser->DocumentId()) : std::nullopt;
        TOnExit restore{[&] { FCallingDocument = outer; }};
        Dispatch(messageJson);
    } catch (const std::exception& e) {
        try {
            if (OnDispatchError) {
                OnDispatchError(e.what());
            }
        } catch (...) {
        }
    } catch (...) {
        try {
            if (OnDispatchError) {
                OnDispatchError("unknown failure");
            }
        } catch (...) {
        }
    }
}

bool TBrowserExternalModule::IsOwnPage(std::u16string_view sourceUri)
{
    if (FTrustedSourceKnown && sourceUri == FTrustedSource) {
        return true;
    }
    Browser::TServingContext pages;
    pages.Archive = FPorts.Archive;
    pages.AppDirName = FPorts.Settings ? FPorts.Settings->ReadString(u"App", u"DirName", u"") : u"";
    pages.AppDirPath = FPorts.AppDirPath;
    pages.FileSystem = FPorts.FileSystem;
    if (!Browser::IsPackagePage(sourceUri, pages)) {
        return false;
    }
    FTrustedSource.assign(sourceUri);
    FTrustedSourceKnown = true;
    return true;
}

void TBrowserExternalModule::Dispatch(std::u16string_view messageJson)
{
    std::unique_ptr<TMessageBuffers> nested;
    if (FCurrent) {
        nested = std::make_unique<TMessageBuffers>();
    }
    TMessageBuffers* const outer = FCurrent;
    FCurrent = nested ? nested.get() : &FBuffers;
    TOnExit restore{[&] { FCurrent = outer; }};
    Dispatch(messageJson, *FCurrent);
}

void TBrowserExternalModule::Dispatch(std::u16string_view messageJson, TMessageBuffers& buffers)
{
    const TJsonValue* const root = buffers.Parser.Parse(messageJson);
    static const TJsonValue nothing;
    const TJsonValue& message = root ? *root : nothing;

    // "id", "uuid" and "data", in this order, each required.
    AssignFieldText(buffers.Id, Member(message, "id"));
    AssignFieldText(buffers.Uuid, Member(message, "uuid"));
    const TJsonValue& data = Member(message, "data");
    if (!data.IsObject()) {
        throw EBridgeError(std::string("Conversion from ") + JsonKindName(data) + " to object is not supported");
    }
    const auto id = Shared::ParseStrictInteger(buffers.Id);
    if (!id) {
        return;
    }
    const auto& table = FunctionTable();
    const auto it = table.find(*id);
    if (it == table.end()) {
        return;
    }
    // app.close, enterFullscreen and exitFullscreen never reply: they get no uuid.
    static const std::u16string noUuid;
    const bool replies = *id != 50001 && *id != 50003 && *id != 50004;
    (this->*(it->second))(replies ? buffers.Uuid : noUuid, data);
}

bool TBrowserExternalModule::StillShows(const std::optional<uint64_t>& document) const
{
    return FPorts.Browser && (!document || FPorts.Browser->DocumentId() == *document);
}

void TBrowserExternalModule::SendReply(std::u16string_view uuid, bool success, std::u16string_view result)
{
    if (!StillShows(FCallingDocument)) {
        return; // the page that called has gone (a dialog's loop saw it navigate away)
    }
    if (FReplying) { // posting ran a message loop that replied in turn
        FPorts.Browser->PostWebMessageAsJson(FormatReply(uuid, success, result));
        return;
    }
    FReplying = true;
    TOnExit done{[this] {
        FReplying = false;
        if (FReply.capacity() > kKeptReplyUnits) {
            std::u16string().swap(FReply);
        }
    }};
    AssignReply(FReply, uuid, success, result);
    FPorts.Browser->PostWebMessageAsJson(FReply);
}

void TBrowserExternalModule::Hello(const std::u16string& uuid, const TJsonValue&)
{
    ReplySuccess(uuid, u"\"" + std::u16string(kRuntimeVersion) + u"\"");
}

void TBrowserExternalModule::IsRuntime(const std::u16string& uuid, const TJsonValue&) { ReplySuccess(uuid, u"true"); }

} // namespace Folio::Bridge
