// Shell, power and notifications (ids 70001-70004, 11001-11004), and the notification
// click pushed to the page. A command runs away from the user-interface thread; its
// reply is posted when it ends, matched by the page through its uuid.
#include "bridge/BrowserExternalModule.h"

#include "bridge/Protocol.h"
#include "util/StrUtils.h"

#include <utility>

namespace Folio::Bridge {

using Shared::TStrUtils;

namespace {

std::u16string Json(std::u16string_view text) { return TStrUtils::StringToJsonString(text); }

constexpr std::u16string_view kNotAvailable = u"Not available on this system";

} // namespace

void TBrowserExternalModule::ReplyOutcome(const std::u16string& uuid, const Platform::TSystemOutcome& outcome)
{
    if (outcome.Ok) {
        ReplySuccess(uuid, u"true");
    } else {
        ReplyFailure(uuid, Json(outcome.ErrorText));
    }
}

void TBrowserExternalModule::ShellExecuteFile(const std::u16string& uuid, const TJsonValue& data)
{
    const auto filePath = ReadDataText(data, u"filePath");
    const auto arguments = ReadDataText(data, u"arguments");
    if (filePath.empty()) {
        ReplyFailure(uuid, Json(u"Missing filePath"));
    } else if (!FPorts.Shell) {
        ReplyFailure(uuid, Json(kNotAvailable));
    } else {
        ReplyOutcome(uuid, FPorts.Shell->Execute(filePath, arguments));
    }
}

void TBrowserExternalModule::ShellExploreFile(const std::u16string& uuid, const TJsonValue& data)
{
    const auto filePath = ReadDataText(data, u"filePath");
    if (filePath.empty()) {
        ReplyFailure(uuid, Json(u"Missing filePath"));
    } else if (!FPorts.Shell) {
        ReplyFailure(uuid, Json(kNotAvailable));
    } else {
        ReplyOutcome(uuid, FPorts.Shell->Explore(filePath));
    }
}

void TBrowserExternalModule::ShellCommand(const std::u16string& uuid, const TJsonValue& data)
{
    const auto command = ReadDataText(data, u"command");
    if (command.empty()) {
        ReplyFailure(uuid, Json(u"Missing command"));
        return;
    }
    const auto workingDir = ReadDataText(data, u"workingDir");
    // Only the exact text shows the console: "True" and "1" keep it hidden.
    const bool showWindow = ReadDataText(data, u"showWindow", u"false") == u"true";
    if (!FPorts.Shell) {
        ReplyFailure(uuid, Json(kNotAvailable));
        return;
    }
    ++FCommandsRunning;
    std::weak_ptr<TBrowserExternalModule*> weak = FSelf;
    Platform::TUiQueue* queue = FPorts.UiQueue;
    const std::optional<uint64_t> document = FCallingDocument;
    FPorts.Shell->RunCommand(command, workingDir, showWindow,
                             [weak, queue, uuid, document](Platform::TCommandOutcome outcome) {
        auto reply = [weak, uuid, document, outcome = std::move(outcome)] {
            if (const auto self = weak.lock()) {
                (*self)->CommandEnded(uuid, outcome, document);
            }
        };
        if (queue) {
            queue->Post(std::move(reply));
        } else {
            reply(); // no queue: the shell answers on the caller's thread
        }
    });
}

void TBrowserExternalModule::CommandEnded(const std::u16string& uuid, const Platform::TCommandOutcome& outcome,
                                          std::optional<uint64_t> document)
{
    --FCommandsRunning;
    // The reply goes to the page that ran the command, if it is still there.
    struct TCalling {
        std::optional<uint64_t>& Slot;
        const std::optional<uint64_t> Outer;
        ~TCalling() { Slot = Outer; }
    } calling{FCallingDocument, std::exchange(FCallingDocument, document)};
    if (outcome.Started) {
        ReplySuccess(uuid, Json(outcome.Output));
    } else {
        ReplyFailure(uuid, Json(outcome.ErrorText));
    }
}

void TBrowserExternalModule::ShellListWindows(const std::u16string& uuid, const TJsonValue&)
{
    std::u16string result = u"[";
    if (FPorts.Shell) {
        bool first = true;
        for (const auto& caption : FPorts.Shell->WindowCaptions()) {
            result += (first ? u"" : u",") + Json(caption);
            first = false;
        }
    }
    ReplySuccess(uuid, result + u"]");
}

void TBrowserExternalModule::ReplyPower(const std::u16string& uuid, Platform::TPowerAction action)
{
    if (!FPorts.Power) {
        ReplyFailure(uuid, Json(kNotAvailable));
        return;
    }
    ReplyOutcome(uuid, FPorts.Power->Exit(action));
}

void TBrowserExternalModule::SystemLogoff(const std::u16string& uuid, const TJsonValue&)
{
    ReplyPower(uuid, Platform::TPowerAction::Logoff);
}

void TBrowserExternalModule::SystemReboot(const std::u16string& uuid, const TJsonValue&)
{
    ReplyPower(uuid, Platform::TPowerAction::Reboot);
}

void TBrowserExternalModule::SystemShutdown(const std::u16string& uuid, const TJsonValue&)
{
    ReplyPower(uuid, Platform::TPowerAction::Shutdown);
}

void TBrowserExternalModule::SystemNotification(const std::u16string& uuid, const TJsonValue& data)
{
    const auto name = ReadDataText(data, u"name");
    const auto title = ReadDataText(data, u"title");
    const auto body = ReadDataText(data, u"body");
    auto* notifications = FPorts.Notifications;
    const bool shown = notifications && notifications->Available() && notifications->Show(name, title, body);
    if (shown) {
        FNotificationDocument = FCallingDocument;
    }
    ReplySuccess(uuid, shown ? u"true" : u"false");
}

void TBrowserExternalModule::ConnectNotifications()
{
    if (!FPorts.Notifications || !FPorts.UiQueue) {
        return; // without a way to the user-interface thread, clicks are not reported
    }
    std::weak_ptr<TBrowserExternalModule*> weak = FSelf;
    Platform::TUiQueue* queue = FPorts.UiQueue;
    FPorts.Notifications->SetClickHandler([weak, queue](const std::u16string& name) {
        queue->Post([weak, name] {
            if (const auto self = weak.lock()) {
                (*self)->NotificationCenterReceiveLocalNotification(name);
            }
        });
    });
}

void TBrowserExternalModule::NotificationCenterReceiveLocalNotification(const std::u16string& name)
{
    // The name as a JSON string literal: quotes or line breaks in it cannot end the call.
    if (StillShows(FNotificationDocument)) {
        FPorts.Browser->ExecuteScript(u"kiv.events.onNotificationClick(" + Json(name) + u");");
    }
}

void TBrowserExternalModule::SecondInstance(const std::vector<std::u16string>& args,
                                            const std::u16string& workingFolder)
{
    if (!FPorts.Browser) {
        return;
    }
    // Every text as a JSON string literal: what another start was given cannot end the call.
    std::u16string script = u"kiv.events.onSecondInstance([";
    for (size_t i = 0; i < args.size(); ++i) {
        script += (i ? u"," : u"") + Json(args[i]);
    }
    script += u"], " + Json(workingFolder) + u");";
    FPorts.Browser->ExecuteScript(script);
}

} // namespace Folio::Bridge
