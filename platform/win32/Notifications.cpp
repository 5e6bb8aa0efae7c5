// The notification port on Windows: toasts through WinRT for the application id made
// from the executable's path. The table of shown toasts (by name) is locked, since
// clicks, dismissals and failures arrive on the system's threads.
#include "platform/Notifications.h"
#include "platform/NotificationTable.h"

#include "platform/win32/ComHandler.h"
#include "platform/win32/Errors.h"
#include "platform/win32/Handles.h"
#include "platform/win32/NotificationSetup.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/ToastApi.h"
#include "util/ToastText.h"

#include <roapi.h>
#include <versionhelpers.h>
#include <winstring.h>
#include <wrl/client.h>

#include <mutex>
#include <stdexcept>

namespace Folio::Platform {

namespace {

using Microsoft::WRL::ComPtr;
using namespace Win32::Toast;

// The WinRT entry points, looked up at run time: the runtime imports only libraries
// every supported Windows has, and without them there are simply no toasts.
struct TWinRt {
    decltype(&::WindowsCreateString) CreateString = nullptr;
    decltype(&::WindowsDeleteString) DeleteString = nullptr;
    decltype(&::RoGetActivationFactory) GetActivationFactory = nullptr;
    decltype(&::RoActivateInstance) ActivateInstance = nullptr;

    bool Loaded() const { return CreateString && DeleteString && GetActivationFactory && ActivateInstance; }
};

template <typename F>
void Resolve(HMODULE module, const char* name, F& function)
{
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const TWinRt& WinRt()
{
    static const TWinRt api = [] {
        TWinRt found;
        // Kept loaded for the life of the process, like the toasts that use it.
        if (HMODULE combase = Win32::LoadSystemLibrary(L"combase.dll")) {
            Resolve(combase, "WindowsCreateString", found.CreateString);
            Resolve(combase, "WindowsDeleteString", found.DeleteString);
            Resolve(combase, "RoGetActivationFactory", found.GetActivationFactory);
            Resolve(combase, "RoActivateInstance", found.ActivateInstance);
        }
        return found;
    }();
    return api;
}

class THString {
public:
    explicit THString(const std::u16string& text)
    {
        if (!WinRt().Loaded() ||
            FAILED(WinRt().CreateString(Win32::W(text), static_cast<UINT32>(text.size()), &FValue))) {
            FValue = nullptr;
        }
    }
    ~THString()
    {
        if (FValue) {
            WinRt().DeleteString(FValue);
        }
    }
    THString(const THString&) = delete;
    THString& operator=(const THString&) = delete;
    HSTRING Get() const { return FValue; }

private:
    HSTRING FValue = nullptr;
};

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr)) {
        throw std::runtime_error(std::string("Notification: ") + what + ": " + Win32::ErrorText(static_cast<DWORD>(hr)));
    }
}

std::u16string ExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            return Win32::U16(path.c_str(), n);
        }
        path.resize(path.size() * 2);
    }
}

class Win32Notifications final : public TNotifications {
public:
    Win32Notifications();
    bool Available() override { return FNotifier != nullptr; }
    bool Show(const std::u16string& name, const std::u16string& title, const std::u16string& body) override;
    void SetClickHandler(TClickHandler handler) override
    {
        std::lock_guard lock(FHandlerMutex);
        FHandler = std::move(handler);
    }

private:
    struct TEntry {
        ComPtr<IToastNotification> Toast;
        EventRegistrationToken Activated{}, Dismissed{}, Failed{};
        const void* Identity() const { return Toast.Get(); }
    };
    static void Release(TEntry& entry);
    void Clicked(const std::u16string& name, IToastNotification* sender);
    void Left(const std::u16string& name, IToastNotification* sender);

    std::u16string FExePath, FAppId;
    ComPtr<IToastNotifier> FNotifier;
    ComPtr<IToastNotificationFactory> FFactory;
    TNotificationTable<TEntry> FTable;
    std::mutex FHandlerMutex;
    TClickHandler FHandler;
};

Win32Notifications::Win32Notifications() : FExePath(ExecutablePath()), FAppId(Shared::AppUserModelId(FExePath))
{
    if (!IsWindows8OrGreater() || !WinRt().Loaded()) {
        return; // toasts came with Windows 8
    }
    ComPtr<IToastNotificationManagerStatics> manager;
    ComPtr<IToastNotificationFactory> factory;
    ComPtr<IToastNotifier> notifier;
    const THString managerClass(u"Windows.UI.Notifications.ToastNotificationManager");
    const THString toastClass(u"Windows.UI.Notifications.ToastNotification");
    const THString appId(FAppId);
    if (SUCCEEDED(WinRt().GetActivationFactory(managerClass.Get(), __uuidof(IToastNotificationManagerStatics),
                                         reinterpret_cast<void**>(manager.GetAddressOf()))) &&
        SUCCEEDED(WinRt().GetActivationFactory(toastClass.Get(), __uuidof(IToastNotificationFactory),
                                         reinterpret_cast<void**>(factory.GetAddressOf()))) &&
        SUCCEEDED(manager->CreateToastNotifierWithId(appId.Get(), notifier.GetAddressOf())) && notifier) {
        FFactory = factory;
        FNotifier = notifier;
    }
}

void Win32Notifications::Release(TEntry& entry)
{
    if (entry.Toast) {
        entry.Toast->remove_Activated(entry.Activated);
        entry.Toast->remove_Dismissed(entry.Dismissed);
        entry.Toast->remove_Failed(entry.Failed);
        entry.Toast.Reset();
    }
}

void Win32Notifications::Clicked(const std::u16string& name, IToastNotification* sender)
{
    if (!FTable.IsCurrent(name, sender)) {
        return; // replaced meanwhile: the newer toast speaks for the name
    }
    std::lock_guard lock(FHandlerMutex);
    if (FHandler) {
        FHandler(name);
    }
}

void Win32Notifications::Left(const std::u16string& name, IToastNotification* sender)
{
    // A late dismissal of a replaced toast leaves the newer one of the name alone.
    if (auto gone = FTable.TakeIfCurrent(name, sender)) {
        Release(*gone); // outside the lock: the system may be calling another handler of it
    }
}

bool Win32Notifications::Show(const std::u16string& name, const std::u16string& title, const std::u16string& body)
{
    if (!FNotifier) {
        return false;
    }
    if (!Win32::EnsureNotificationSettings(FAppId)) {
        return false;
    }
    const auto linkPath = Win32::StartMenuShortcutPath(FExePath);
    if (linkPath.empty() || !Win32::EnsureAppShortcut(linkPath, FExePath, FAppId)) {
        return false;
    }

    ComPtr<IInspectable> instance;
    ComPtr<IXmlDocumentIO> io;
    ComPtr<IXmlDocument> document;
    const THString documentClass(u"Windows.Data.Xml.Dom.XmlDocument");
    Check(WinRt().ActivateInstance(documentClass.Get(), instance.GetAddressOf()), "XmlDocument");
    Check(instance.As(&io), "IXmlDocumentIO");
    const THString xml(Shared::ToastXml(title, body));
    Check(io->LoadXml(xml.Get()), "LoadXml");
    Check(instance.As(&document), "IXmlDocument");

    TEntry entry;
    Check(FFactory->CreateToastNotification(document.Get(), entry.Toast.GetAddressOf()), "CreateToastNotification");
    auto activated = Win32::MakeComHandler<IToastActivatedHandler, IToastNotification*, IInspectable*>(
        [this, name](IToastNotification* sender, IInspectable*) {
            Clicked(name, sender);
            return S_OK;
        });
    auto left = [this, name](IToastNotification* sender, IInspectable*) {
        Left(name, sender);
        return S_OK;
    };
    auto dismissed = Win32::MakeComHandler<IToastDismissedHandler, IToastNotification*, IInspectable*>(left);
    auto failed = Win32::MakeComHandler<IToastFailedHandler, IToastNotification*, IInspectable*>(left);
    Check(entry.Toast->add_Activated(activated.Get(), &entry.Activated), "add_Activated");
    Check(entry.Toast->add_Dismissed(dismissed.Get(), &entry.Dismissed), "add_Dismissed");
    Check(entry.Toast->add_Failed(failed.Get(), &entry.Failed), "add_Failed");

    const ComPtr<IToastNotification> toast = entry.Toast;
    TEntry replaced = FTable.Put(name, std::move(entry));
    Release(replaced); // its handlers go with it: a click on the old toast reports nothing
    Check(FNotifier->Show(toast.Get()), "Show");
    return true;
}

} // namespace

TNotifications& SystemNotifications()
{
    // Created once, on the user-interface thread, and never destroyed: its toasts must
    // not be released after COM has been shut down at exit.
    static auto* notifications = new Win32Notifications;
    return *notifications;
}

} // namespace Folio::Platform
