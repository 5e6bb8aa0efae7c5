// Application and window functions (ids 50001-50005, 60001-60012).
#include "bridge/BrowserExternalModule.h"
#include "bridge/PageText.h"
#include "bridge/Protocol.h"
#include "util/Numbers.h"
#include "util/StrUtils.h"

#include <string>

namespace Folio::Bridge {

using Platform::TWindowState;
using Shared::TStrUtils;

namespace {

constexpr std::u16string_view kBorders[] = {u"none", u"single", u"sizeable", u"dialog", u"toolwindow",
                                            u"sizetoolwindow"};

std::u16string Json(std::u16string_view text) { return TStrUtils::StringToJsonString(text); }

std::u16string Decimal(int value)
{
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

} // namespace

void TBrowserExternalModule::AppClose(const std::u16string&, const TJsonValue&)
{
    // The owner posts the close to its message loop, so this module outlives the message.
    if (FOnAppCloseRequest) {
        FOnAppCloseRequest();
    }
}

void TBrowserExternalModule::InFullscreen(const std::u16string& uuid, const TJsonValue&)
{
    ReplySuccess(uuid, FInFullscreen ? u"true" : u"false");
}

void TBrowserExternalModule::EnterFullscreen(const std::u16string&, const TJsonValue&)
{
    if (FInFullscreen || !FPorts.MainWindow) {
        return;
    }
    FInFullscreen = true;
    FPorts.MainWindow->SetBorder(0);
    FPorts.MainWindow->SetState(TWindowState::Maximized);
}

void TBrowserExternalModule::ExitFullscreen(const std::u16string&, const TJsonValue&)
{
    if (!FInFullscreen || !FPorts.MainWindow) {
        return;
    }
    FInFullscreen = false;
    FPorts.MainWindow->SetState(TWindowState::Normal);
    const int border = FPorts.Settings ? FPorts.Settings->ReadInteger(u"App", u"WindowBorder", 2) : 2;
    FPorts.MainWindow->SetBorder(border);
}

void TBrowserExternalModule::GetArgs(const std::u16string& uuid, const TJsonValue&)
{
    std::u16string result = u"[";
    if (FPorts.System) {
        result += Json(FPorts.System->ExecutablePath());
        for (const auto& argument : SplitCommandLine(FPorts.System->CommandLine())) {
            result += u"," + Json(argument);
        }
    }
    ReplySuccess(uuid, result + u"]");
}

void TBrowserExternalModule::GetStyle(const std::u16string& uuid, const TJsonValue&)
{
    const bool onTop = FPorts.MainWindow && FPorts.MainWindow->OnTop();
    ReplySuccess(uuid, Json(onTop ? u"ontop" : u"normal"));
}

void TBrowserExternalModule::SetStyle(const std::u16string& uuid, const TJsonValue& data)
{
    const auto style = ReadDataText(data, u"style", u"normal");
    if (FPorts.MainWindow) {
        FPorts.MainWindow->SetOnTop(style == u"ontop");
    }
    ReplySuccess(uuid, u"true");
}

void TBrowserExternalModule::GetState(const std::u16string& uuid, const TJsonValue&)
{
    const auto state = FPorts.MainWindow ? FPorts.MainWindow->State() : TWindowState::Normal;
    ReplySuccess(uuid, Json(state == TWindowState::Minimized   ? u"minimized"
                            : state == TWindowState::Maximized ? u"maximized"
                                                               : u"normal"));
}

void TBrowserExternalModule::SetState(const std::u16string& uuid, const TJsonValue& data)
{
    const auto state = ReadDataText(data, u"state", u"normal");
    auto* window = FPorts.MainWindow;
    if (window && (state == u"normal" || state == u"maximized")) {
        window->SetState(state == u"normal" ? TWindowState::Normal : TWindowState::Maximized);
        if (window->TrayIconVisible()) {
            window->Show();
            window->BringToFront();
        }
    } else if (window && state == u"minimized") {
        window->SetState(TWindowState::Minimized);
        if (window->TrayIconVisible()) {
            window->Hide();
        }
    }
    ReplySuccess(uuid, u"true");
}

void TBrowserExternalModule::GetTitle(const std::u16string& uuid, const TJsonValue&)
{
    ReplySuccess(uuid, Json(FPorts.MainWindow ? FPorts.MainWindow->Title() : u""));
}

void TBrowserExternalModule::SetTitle(const std::u16string& uuid, const TJsonValue& data)
{
    const auto title = ReadDataText(data, u"title");
    if (FPorts.MainWindow) {
        FPorts.MainWindow->SetTitle(title);
    }
    ReplySuccess(uuid, u"true");
}

void TBrowserExternalModule::GetZoom(const std::u16string& uuid, const TJsonValue&)
{
    const double zoom = FPorts.Browser ? FPorts.Browser->ZoomFactor() : 1.0;
    const char16_t separator = FPorts.System ? FPorts.System->DecimalSeparator() : u'.';
    ReplySuccess(uuid, Json(FormatZoomFactor(zoom, separator)));
}

void TBrowserExternalModule::SetZoom(const std::u16string& uuid, const TJsonValue& data)
{
    const auto factor = ParseZoomFactor(ReadDataText(data, u"factor"));
    if (FPorts.Browser) {
        FPorts.Browser->SetZoomFactor(factor ? *factor : 1.0);
    }
    ReplySuccess(uuid, factor ? u"true" : u"false");
}

void TBrowserExternalModule::GetSize(const std::u16string& uuid, const TJsonValue&)
{
    const auto b = FPorts.MainWindow ? FPorts.MainWindow->Bounds() : Platform::TBounds{};
    ReplySuccess(uuid, u"{\"top\": " + Decimal(b.Top) + u", \"left\": " + Decimal(b.Left) + u", \"width\": " +
                           Decimal(b.Width) + u", \"height\": " + Decimal(b.Height) + u"}");
}

void TBrowserExternalModule::SetSize(const std::u16string& uuid, const TJsonValue& data)
{
    const auto b = FPorts.MainWindow ? FPorts.MainWindow->Bounds() : Platform::TBounds{};
    const int top = Shared::ParseLeadingInteger(ReadDataText(data, u"top", Decimal(b.Top)));
    const int left = Shared::ParseLeadingInteger(ReadDataText(data, u"left", Decimal(b.Left)));
    const int width = Shared::ParseLeadingInteger(ReadDataText(data, u"width", Decimal(b.Width)));
    const int height = Shared::ParseLeadingInteger(ReadDataText(data, u"height", Decimal(b.Height)));
    if (FPorts.MainWindow) {
        FPorts.MainWindow->SetBounds(left, top, width, height);
    }
    ReplySuccess(uuid, u"true");
}

void TBrowserExternalModule::GetBorder(const std::u16string& uuid, const TJsonValue&)
{
    const int code = FPorts.MainWindow ? FPorts.MainWindow->Border() : 2;
    ReplySuccess(uuid, Json(code >= 0 && code < 6 ? kBorders[code] : u"sizeable"));
}

void TBrowserExternalModule::SetBorder(const std::u16string& uuid, const TJsonValue& data)
{
    const auto name = ReadDataText(data, u"border", u"sizeable");
    for (int code = 0; code < 6; ++code) {
        if (kBorders[code] == name && FPorts.MainWindow) {
            FPorts.MainWindow->SetBorder(code);
        }
    }
    ReplySuccess(uuid, u"true");
}

} // namespace Folio::Bridge
