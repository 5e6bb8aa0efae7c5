// The WinRT toast-notification and XML-document interfaces the runtime calls, declared
// here because the cross compilers ship no header for them. Slot order and IIDs are the
// ones of the Windows SDK's windows.ui.notifications.h and windows.data.xml.dom.h;
// methods the runtime never calls keep their slots with neutral parameter types.
#pragma once

#include <windows.h>
#include <eventtoken.h>
#include <inspectable.h>
#include <winstring.h>

namespace Folio::Win32::Toast {

struct IXmlDocument : public IInspectable {
    // Members of the DOM; the runtime only passes the document on.
};

struct IXmlDocumentIO : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE LoadXml(HSTRING xml) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadXmlWithSettings(HSTRING xml, IInspectable* loadSettings) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveToFileAsync(IInspectable* file, IInspectable** asyncInfo) = 0;
};

struct IToastNotification;

// TypedEventHandler<ToastNotification*, IInspectable*>: Activated.
struct IToastActivatedHandler : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IToastNotification* sender, IInspectable* args) = 0;
};
// TypedEventHandler<ToastNotification*, ToastDismissedEventArgs*>: Dismissed.
struct IToastDismissedHandler : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IToastNotification* sender, IInspectable* args) = 0;
};
// TypedEventHandler<ToastNotification*, ToastFailedEventArgs*>: Failed.
struct IToastFailedHandler : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IToastNotification* sender, IInspectable* args) = 0;
};

struct IToastNotification : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Content(IXmlDocument** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ExpirationTime(IInspectable* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExpirationTime(IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Dismissed(IToastDismissedHandler* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Dismissed(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Activated(IToastActivatedHandler* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Activated(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Failed(IToastFailedHandler* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Failed(EventRegistrationToken token) = 0;
};

struct IToastNotificationFactory : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotification(IXmlDocument* content, IToastNotification** value) = 0;
};

struct IToastNotifier : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Show(IToastNotification* notification) = 0;
    virtual HRESULT STDMETHODCALLTYPE Hide(IToastNotification* notification) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Setting(int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddToSchedule(IInspectable* scheduledToast) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFromSchedule(IInspectable* scheduledToast) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetScheduledToastNotifications(IInspectable** value) = 0;
};

struct IToastNotificationManagerStatics : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotifier(IToastNotifier** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotifierWithId(HSTRING applicationId, IToastNotifier** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTemplateContent(int type, IXmlDocument** value) = 0;
};

} // namespace Folio::Win32::Toast

__CRT_UUID_DECL(Folio::Win32::Toast::IXmlDocument, 0xf7f3a506, 0x1e87, 0x42d6, 0xbc, 0xfb, 0xb8, 0xc8, 0x09, 0xfa, 0x54, 0x94)
__CRT_UUID_DECL(Folio::Win32::Toast::IXmlDocumentIO, 0x6cd0e74e, 0xee65, 0x4489, 0x9e, 0xbf, 0xca, 0x43, 0xe8, 0x7b, 0xa6, 0x37)
__CRT_UUID_DECL(Folio::Win32::Toast::IToastActivatedHandler, 0xab54de2d, 0x97d9, 0x5528, 0xb6, 0xad, 0x10, 0x5a, 0xfe, 0x15, 0x65, 0x30)
__CRT_UUID_DECL(Folio::Win32::Toast::IToastDismissedHandler, 0x61c2402f, 0x0ed0, 0x5a18, 0xab, 0x69, 0x59, 0xf4, 0xaa, 0x99, 0xa3, 0x68)
__CRT_UUID_DECL(Folio::Win32::Toast::IToastFailedHandler, 0x95e3e803, 0xc969, 0x5e3a, 0x97, 0x53, 0xea, 0x2a, 0xd2, 0x2a, 0x9a, 0x33)
__CRT_UUID_DECL(Folio::Win32::Toast::IToastNotification, 0x997e2675, 0x059e, 0x4e60, 0x8b, 0x06, 0x17, 0x60, 0x91, 0x7c, 0x8b, 0x80)
__CRT_UUID_DECL(Folio::Win32::Toast::IToastNotificationFactory, 0x04124b20, 0x82c6, 0x4229, 0xb1, 0x09, 0xfd, 0x9e, 0xd4, 0x66, 0x2b, 0x53)
__CRT_UUID_DECL(Folio::Win32::Toast::IToastNotifier, 0x75927b93, 0x03f3, 0x41ec, 0x91, 0xd3, 0x6e, 0x5b, 0xac, 0x1b, 0x38, 0xe7)
__CRT_UUID_DECL(Folio::Win32::Toast::IToastNotificationManagerStatics, 0x50ac103f, 0xd235, 0x4598, 0xbb, 0xef, 0x98, 0xfe, 0x4d, 0x1a, 0x3a, 0xd4)
