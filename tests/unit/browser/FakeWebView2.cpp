// The fake WebView2 runtime's behaviour (see FakeWebView2.h).
#include "FakeWebView2.h"

#include "browser/ComBase.h"

namespace Folio::Test {

using Folio::Browser::CoTaskStringFrom;
using Folio::Browser::FromWide;

namespace {

std::atomic<INT64> NextToken{1};
TFakeRuntime* Current = nullptr;

HRESULT OutString(const std::u16string& text, LPWSTR* out)
{
    *out = CoTaskStringFrom(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDAPICALLTYPE FakeCreateEnvironment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler)
{
    Current->Log.Add("CreateCoreWebView2Environment");
    if (SUCCEEDED(Current->CreateEnvironmentResult)) {
        Current->EnvironmentRequests.emplace_back(handler);
    }
    return Current->CreateEnvironmentResult;
}

HRESULT STDAPICALLTYPE FakeAvailableVersion(PCWSTR folder, LPWSTR* version)
{
    Current->Log.Add(folder ? "GetAvailableCoreWebView2BrowserVersionString(folder)"
                            : "GetAvailableCoreWebView2BrowserVersionString(null)");
    if (FAILED(Current->VersionResult)) {
        *version = nullptr;
        return Current->VersionResult;
    }
    return OutString(Current->LoaderVersion, version);
}

} // namespace

std::vector<std::string> TCallLog::Starting(const std::string& prefix) const
{
    std::vector<std::string> found;
    for (const auto& call : Calls) {
        if (call.rfind(prefix, 0) == 0) {
            found.push_back(call);
        }
    }
    return found;
}

std::string Narrow(const char16_t* text)
{
    std::string out;
    for (; text && *text; ++text) {
        out += static_cast<char>(*text);
    }
    return out;
}

HRESULT TEventTable::Add(const std::string& event, IUnknown* handler, EventRegistrationToken* token)
{
    token->value = NextToken++;
    FEntries.push_back({event, token->value, ComPtr<IUnknown>(handler)});
    FLog.Add("add_" + event + FOwner + "=" + std::to_string(token->value));
    return S_OK;
}

HRESULT TEventTable::Remove(const std::string& event, EventRegistrationToken token)
{
    FLog.Add("remove_" + event + FOwner + "=" + std::to_string(token.value));
    for (auto entry = FEntries.begin(); entry != FEntries.end(); ++entry) {
        if (entry->Event == event && entry->Token == token.value) {
            FEntries.erase(entry);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

size_t TEventTable::LiveCount(const std::string& event) const
{
    size_t count = 0;
    for (const auto& entry : FEntries) {
        count += entry.Event == event ? 1 : 0;
    }
    return count;
}

INT64 TEventTable::LiveToken(const std::string& event) const
{
    for (const auto& entry : FEntries) {
        if (entry.Event == event) {
            return entry.Token;
        }
    }
    return 0;
}

HRESULT TFakeSettings::Get(const char* name, BOOL* value)
{
    const auto found = Values.find(name);
    *value = found == Values.end() ? FALSE : found->second;
    return GetResult;
}

HRESULT TFakeSettings::Put(const char* name, BOOL value)
{
    FLog.Add(std::string("put_") + name + "=" + std::to_string(value));
    if (SUCCEEDED(PutResult)) {
        Values[name] = value;
    }
    return PutResult;
}

HRESULT TFakeWebView::Call(const char* name)
{
    FLog.Add(name);
    return CallResult;
}

HRESULT TFakeWebView::get_Settings(ICoreWebView2Settings** settings)
{
    if (FAILED(SettingsResult)) {
        *settings = nullptr;
        return SettingsResult;
    }
    return Settings.CopyTo(settings);
}

HRESULT TFakeWebView::get_Source(LPWSTR* uri)
{
    return FAILED(CallResult) ? CallResult : OutString(Source, uri);
}

HRESULT TFakeWebView::Navigate(LPCWSTR uri)
{
    FLog.Add("Navigate(" + Narrow(FromWide(uri)) + ")");
    return CallResult;
}

HRESULT TFakeWebView::NavigateToString(LPCWSTR htmlContent)
{
    FLog.Add("NavigateToString(" + Narrow(FromWide(htmlContent)) + ")");
    return CallResult;
}

HRESULT TFakeWebView::ExecuteScript(LPCWSTR javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler)
{
    FLog.Add("ExecuteScript(" + Narrow(FromWide(javaScript)) + ")");
    Scripts.emplace_back(handler);
    return S_OK;
}

HRESULT TFakeWebView::get_BrowserProcessId(UINT32* value)
{
    *value = ProcessId;
    return CallResult;
}

HRESULT TFakeWebView::get_CanGoBack(BOOL* value)
{
    *value = BackPossible;
    return CallResult;
}

HRESULT TFakeWebView::get_CanGoForward(BOOL* value)
{
    *value = FALSE;
    return CallResult;
}

HRESULT TFakeWebView::get_DocumentTitle(LPWSTR* title)
{
    return FAILED(CallResult) ? CallResult : OutString(Title, title);
}

HRESULT TFakeWebView::get_ContainsFullScreenElement(BOOL* value)
{
    *value = FullScreen;
    return CallResult;
}

HRESULT TFakeWebView::GetDevToolsProtocolEventReceiver(LPCWSTR eventName,
                                                       ICoreWebView2DevToolsProtocolEventReceiver** receiver)
{
    const std::string name = Narrow(FromWide(eventName));
    auto& known = Receivers[name];
    if (!known) {
        known = MakeFake<TFakeDevToolsReceiver>(FLog, "[" + name + "]");
    }
    return known.CopyTo(receiver);
}

HRESULT TFakeWebView::AddWebResourceRequestedFilter(const LPCWSTR uri, const COREWEBVIEW2_WEB_RESOURCE_CONTEXT context)
{
    FLog.Add("AddWebResourceRequestedFilter(" + Narrow(FromWide(uri)) + "," + std::to_string(context) + ")");
    return CallResult;
}

HRESULT TFakeController::get_CoreWebView2(ICoreWebView2** view)
{
    if (FAILED(WebViewResult)) {
        *view = nullptr;
        return WebViewResult;
    }
    return WebView.CopyTo(view);
}

HRESULT TFakeController::put_Bounds(RECT bounds)
{
    Bounds = bounds;
    FLog.Add("put_Bounds");
    return CallResult;
}

HRESULT TFakeController::put_IsVisible(BOOL visible)
{
    FLog.Add("put_IsVisible=" + std::to_string(visible));
    return CallResult;
}

HRESULT TFakeController::get_ZoomFactor(double* zoom)
{
    *zoom = Zoom;
    return CallResult;
}

HRESULT TFakeController::put_ZoomFactor(double zoom)
{
    Zoom = zoom;
    FLog.Add("put_ZoomFactor");
    return CallResult;
}

HRESULT TFakeController::MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason)
{
    FLog.Add("MoveFocus=" + std::to_string(reason));
    return CallResult;
}

HRESULT TFakeController::Close()
{
    Closed = true;
    FLog.Add("Close(" + Name + ")");
    return S_OK;
}

HRESULT
TFakeEnvironment::CreateCoreWebView2Controller(HWND parent,
                                               ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler)
{
    FLog.Add("CreateCoreWebView2Controller");
    if (SUCCEEDED(CreateControllerResult)) {
        Requests.emplace_back(parent, handler);
    }
    return CreateControllerResult;
}

HRESULT TFakeEnvironment::get_BrowserVersionString(LPWSTR* version)
{
    return OutString(Version, version);
}

HRESULT TFakeDevToolsArgs::get_ParameterObjectAsJson(LPWSTR* json)
{
    return OutString(Json, json);
}

TFakeRuntime::TFakeRuntime()
{
    Settings = MakeFake<TFakeSettings>(Log);
    WebView = MakeFake<TFakeWebView>(Log);
    WebView->Settings = Settings;
    Controller = MakeFake<TFakeController>(Log);
    Controller->WebView = WebView;
    Environment = MakeFake<TFakeEnvironment>(Log);
    Current = this;
}

TFakeRuntime::~TFakeRuntime()
{
    Current = nullptr;
}

Shared::TLoaderFunctions TFakeRuntime::Loader() const
{
    Shared::TLoaderFunctions functions;
    functions.CreateCoreWebView2Environment = &FakeCreateEnvironment;
    functions.GetAvailableCoreWebView2BrowserVersionString = &FakeAvailableVersion;
    return functions;
}

bool TFakeRuntime::CompleteEnvironment(HRESULT result)
{
    if (EnvironmentRequests.empty()) {
        return false;
    }
    const auto handler = EnvironmentRequests.front();
    EnvironmentRequests.erase(EnvironmentRequests.begin());
    handler->Invoke(result, SUCCEEDED(result) ? Environment.Get() : nullptr);
    return true;
}

bool TFakeRuntime::CompleteController(HRESULT result, ICoreWebView2Controller* controller)
{
    auto& requests = Environment->Requests;
    if (requests.empty()) {
        return false;
    }
    const auto handler = requests.front().second;
    requests.erase(requests.begin());
    if (!controller && SUCCEEDED(result)) {
        controller = Controller.Get();
    }
    handler->Invoke(result, controller);
    return true;
}

} // namespace Folio::Test
