// The rows WebView2AbiTest.cpp checks: every interface, method and enum value that
// browser/WebView2.h declares, each method with the return and parameter types the
// header must give it. The test compares each row with webview2-abi.json at run time.
#pragma once

// X(interface, base)
#define FOLIO_ABI_INTERFACES(X) \
    X(ICoreWebView2Environment, IUnknown) \
    X(ICoreWebView2Controller, IUnknown) \
    X(ICoreWebView2, IUnknown) \
    X(ICoreWebView2Settings, IUnknown) \
    X(ICoreWebView2WebResourceRequest, IUnknown) \
    X(ICoreWebView2WebResourceResponse, IUnknown) \
    X(ICoreWebView2HttpRequestHeaders, IUnknown) \
    X(ICoreWebView2HttpResponseHeaders, IUnknown) \
    X(ICoreWebView2HttpHeadersCollectionIterator, IUnknown) \
    X(ICoreWebView2Deferral, IUnknown) \
    X(ICoreWebView2WindowFeatures, IUnknown) \
    X(ICoreWebView2DevToolsProtocolEventReceiver, IUnknown) \
    X(ICoreWebView2AcceleratorKeyPressedEventArgs, IUnknown) \
    X(ICoreWebView2ContentLoadingEventArgs, IUnknown) \
    X(ICoreWebView2DevToolsProtocolEventReceivedEventArgs, IUnknown) \
    X(ICoreWebView2MoveFocusRequestedEventArgs, IUnknown) \
    X(ICoreWebView2NavigationCompletedEventArgs, IUnknown) \
    X(ICoreWebView2NavigationStartingEventArgs, IUnknown) \
    X(ICoreWebView2NewWindowRequestedEventArgs, IUnknown) \
    X(ICoreWebView2PermissionRequestedEventArgs, IUnknown) \
    X(ICoreWebView2ProcessFailedEventArgs, IUnknown) \
    X(ICoreWebView2ScriptDialogOpeningEventArgs, IUnknown) \
    X(ICoreWebView2SourceChangedEventArgs, IUnknown) \
    X(ICoreWebView2WebMessageReceivedEventArgs, IUnknown) \
    X(ICoreWebView2WebResourceRequestedEventArgs, IUnknown) \
    X(ICoreWebView2AcceleratorKeyPressedEventHandler, IUnknown) \
    X(ICoreWebView2ContainsFullScreenElementChangedEventHandler, IUnknown) \
    X(ICoreWebView2ContentLoadingEventHandler, IUnknown) \
    X(ICoreWebView2DevToolsProtocolEventReceivedEventHandler, IUnknown) \
    X(ICoreWebView2DocumentTitleChangedEventHandler, IUnknown) \
    X(ICoreWebView2FocusChangedEventHandler, IUnknown) \
    X(ICoreWebView2HistoryChangedEventHandler, IUnknown) \
    X(ICoreWebView2MoveFocusRequestedEventHandler, IUnknown) \
    X(ICoreWebView2NavigationCompletedEventHandler, IUnknown) \
    X(ICoreWebView2NavigationStartingEventHandler, IUnknown) \
    X(ICoreWebView2NewBrowserVersionAvailableEventHandler, IUnknown) \
    X(ICoreWebView2NewWindowRequestedEventHandler, IUnknown) \
    X(ICoreWebView2PermissionRequestedEventHandler, IUnknown) \
    X(ICoreWebView2ProcessFailedEventHandler, IUnknown) \
    X(ICoreWebView2ScriptDialogOpeningEventHandler, IUnknown) \
    X(ICoreWebView2SourceChangedEventHandler, IUnknown) \
    X(ICoreWebView2WebMessageReceivedEventHandler, IUnknown) \
    X(ICoreWebView2WebResourceRequestedEventHandler, IUnknown) \
    X(ICoreWebView2WindowCloseRequestedEventHandler, IUnknown) \
    X(ICoreWebView2ZoomFactorChangedEventHandler, IUnknown) \
    X(ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler, IUnknown) \
    X(ICoreWebView2CallDevToolsProtocolMethodCompletedHandler, IUnknown) \
    X(ICoreWebView2CapturePreviewCompletedHandler, IUnknown) \
    X(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, IUnknown) \
    X(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, IUnknown) \
    X(ICoreWebView2ExecuteScriptCompletedHandler, IUnknown) \


// M(owner, method, return type, (parameter types)), in slot order
#define FOLIO_ABI_METHODS(M) \
    M(IUnknown, QueryInterface, HRESULT, (REFIID, void**)) \
    M(IUnknown, AddRef, ULONG, ()) \
    M(IUnknown, Release, ULONG, ()) \
    M(ICoreWebView2Environment, CreateCoreWebView2Controller, HRESULT, (HWND, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*)) \
    M(ICoreWebView2Environment, CreateWebResourceResponse, HRESULT, (IStream*, int, LPCWSTR, LPCWSTR, ICoreWebView2WebResourceResponse**)) \
    M(ICoreWebView2Environment, get_BrowserVersionString, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2Environment, add_NewBrowserVersionAvailable, HRESULT, (ICoreWebView2NewBrowserVersionAvailableEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2Environment, remove_NewBrowserVersionAvailable, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2Controller, get_IsVisible, HRESULT, (BOOL*)) \
    M(ICoreWebView2Controller, put_IsVisible, HRESULT, (BOOL)) \
    M(ICoreWebView2Controller, get_Bounds, HRESULT, (RECT*)) \
    M(ICoreWebView2Controller, put_Bounds, HRESULT, (RECT)) \
    M(ICoreWebView2Controller, get_ZoomFactor, HRESULT, (double*)) \
    M(ICoreWebView2Controller, put_ZoomFactor, HRESULT, (double)) \
    M(ICoreWebView2Controller, add_ZoomFactorChanged, HRESULT, (ICoreWebView2ZoomFactorChangedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2Controller, remove_ZoomFactorChanged, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2Controller, SetBoundsAndZoomFactor, HRESULT, (RECT, double)) \
    M(ICoreWebView2Controller, MoveFocus, HRESULT, (COREWEBVIEW2_MOVE_FOCUS_REASON)) \
    M(ICoreWebView2Controller, add_MoveFocusRequested, HRESULT, (ICoreWebView2MoveFocusRequestedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2Controller, remove_MoveFocusRequested, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2Controller, add_GotFocus, HRESULT, (ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2Controller, remove_GotFocus, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2Controller, add_LostFocus, HRESULT, (ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2Controller, remove_LostFocus, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2Controller, add_AcceleratorKeyPressed, HRESULT, (ICoreWebView2AcceleratorKeyPressedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2Controller, remove_AcceleratorKeyPressed, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2Controller, get_ParentWindow, HRESULT, (HWND*)) \
    M(ICoreWebView2Controller, put_ParentWindow, HRESULT, (HWND)) \
    M(ICoreWebView2Controller, NotifyParentWindowPositionChanged, HRESULT, ()) \
    M(ICoreWebView2Controller, Close, HRESULT, ()) \
    M(ICoreWebView2Controller, get_CoreWebView2, HRESULT, (ICoreWebView2**)) \
    M(ICoreWebView2, get_Settings, HRESULT, (ICoreWebView2Settings**)) \
    M(ICoreWebView2, get_Source, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2, Navigate, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2, NavigateToString, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2, add_NavigationStarting, HRESULT, (ICoreWebView2NavigationStartingEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_NavigationStarting, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_ContentLoading, HRESULT, (ICoreWebView2ContentLoadingEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_ContentLoading, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_SourceChanged, HRESULT, (ICoreWebView2SourceChangedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_SourceChanged, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_HistoryChanged, HRESULT, (ICoreWebView2HistoryChangedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_HistoryChanged, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_NavigationCompleted, HRESULT, (ICoreWebView2NavigationCompletedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_NavigationCompleted, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_FrameNavigationStarting, HRESULT, (ICoreWebView2NavigationStartingEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_FrameNavigationStarting, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_FrameNavigationCompleted, HRESULT, (ICoreWebView2NavigationCompletedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_FrameNavigationCompleted, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_ScriptDialogOpening, HRESULT, (ICoreWebView2ScriptDialogOpeningEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_ScriptDialogOpening, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_PermissionRequested, HRESULT, (ICoreWebView2PermissionRequestedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_PermissionRequested, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_ProcessFailed, HRESULT, (ICoreWebView2ProcessFailedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_ProcessFailed, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, AddScriptToExecuteOnDocumentCreated, HRESULT, (LPCWSTR, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*)) \
    M(ICoreWebView2, RemoveScriptToExecuteOnDocumentCreated, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2, ExecuteScript, HRESULT, (LPCWSTR, ICoreWebView2ExecuteScriptCompletedHandler*)) \
    M(ICoreWebView2, CapturePreview, HRESULT, (COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, IStream*, ICoreWebView2CapturePreviewCompletedHandler*)) \
    M(ICoreWebView2, Reload, HRESULT, ()) \
    M(ICoreWebView2, PostWebMessageAsJson, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2, PostWebMessageAsString, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2, add_WebMessageReceived, HRESULT, (ICoreWebView2WebMessageReceivedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_WebMessageReceived, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, CallDevToolsProtocolMethod, HRESULT, (LPCWSTR, LPCWSTR, ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*)) \
    M(ICoreWebView2, get_BrowserProcessId, HRESULT, (UINT32*)) \
    M(ICoreWebView2, get_CanGoBack, HRESULT, (BOOL*)) \
    M(ICoreWebView2, get_CanGoForward, HRESULT, (BOOL*)) \
    M(ICoreWebView2, GoBack, HRESULT, ()) \
    M(ICoreWebView2, GoForward, HRESULT, ()) \
    M(ICoreWebView2, GetDevToolsProtocolEventReceiver, HRESULT, (LPCWSTR, ICoreWebView2DevToolsProtocolEventReceiver**)) \
    M(ICoreWebView2, Stop, HRESULT, ()) \
    M(ICoreWebView2, add_NewWindowRequested, HRESULT, (ICoreWebView2NewWindowRequestedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_NewWindowRequested, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, add_DocumentTitleChanged, HRESULT, (ICoreWebView2DocumentTitleChangedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_DocumentTitleChanged, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, get_DocumentTitle, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2, AddHostObjectToScript, HRESULT, (LPCWSTR, VARIANT*)) \
    M(ICoreWebView2, RemoveHostObjectFromScript, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2, OpenDevToolsWindow, HRESULT, ()) \
    M(ICoreWebView2, add_ContainsFullScreenElementChanged, HRESULT, (ICoreWebView2ContainsFullScreenElementChangedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_ContainsFullScreenElementChanged, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, get_ContainsFullScreenElement, HRESULT, (BOOL*)) \
    M(ICoreWebView2, add_WebResourceRequested, HRESULT, (ICoreWebView2WebResourceRequestedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_WebResourceRequested, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2, AddWebResourceRequestedFilter, HRESULT, (const LPCWSTR, const COREWEBVIEW2_WEB_RESOURCE_CONTEXT)) \
    M(ICoreWebView2, RemoveWebResourceRequestedFilter, HRESULT, (const LPCWSTR, const COREWEBVIEW2_WEB_RESOURCE_CONTEXT)) \
    M(ICoreWebView2, add_WindowCloseRequested, HRESULT, (ICoreWebView2WindowCloseRequestedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2, remove_WindowCloseRequested, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2Settings, get_IsScriptEnabled, HRESULT, (BOOL*)) \
    M(ICoreWebView2Settings, put_IsScriptEnabled, HRESULT, (BOOL)) \
    M(ICoreWebView2Settings, get_IsWebMessageEnabled, HRESULT, (BOOL*)) \
    M(ICoreWebView2Settings, put_IsWebMessageEnabled, HRESULT, (BOOL)) \
    M(ICoreWebView2Settings, get_AreDefaultScriptDialogsEnabled, HRESULT, (BOOL*)) \
    M(ICoreWebView2Settings, put_AreDefaultScriptDialogsEnabled, HRESULT, (BOOL)) \
    M(ICoreWebView2Settings, get_IsStatusBarEnabled, HRESULT, (BOOL*)) \
    M(ICoreWebView2Settings, put_IsStatusBarEnabled, HRESULT, (BOOL)) \
    M(ICoreWebView2Settings, get_AreDevToolsEnabled, HRESULT, (BOOL*)) \
    M(ICoreWebView2Settings, put_AreDevToolsEnabled, HRESULT, (BOOL)) \
    M(ICoreWebView2Settings, get_AreDefaultContextMenusEnabled, HRESULT, (BOOL*)) \
    M(ICoreWebView2Settings, put_AreDefaultContextMenusEnabled, HRESULT, (BOOL)) \
    M(ICoreWebView2Settings, get_AreHostObjectsAllowed, HRESULT, (BOOL*)) \
    M(ICoreWebView2Settings, put_AreHostObjectsAllowed, HRESULT, (BOOL)) \
    M(ICoreWebView2Settings, get_IsZoomControlEnabled, HRESULT, (BOOL*)) \
    M(ICoreWebView2Settings, put_IsZoomControlEnabled, HRESULT, (BOOL)) \
    M(ICoreWebView2Settings, get_IsBuiltInErrorPageEnabled, HRESULT, (BOOL*)) \
    M(ICoreWebView2Settings, put_IsBuiltInErrorPageEnabled, HRESULT, (BOOL)) \
    M(ICoreWebView2WebResourceRequest, get_Uri, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2WebResourceRequest, put_Uri, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2WebResourceRequest, get_Method, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2WebResourceRequest, put_Method, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2WebResourceRequest, get_Content, HRESULT, (IStream**)) \
    M(ICoreWebView2WebResourceRequest, put_Content, HRESULT, (IStream*)) \
    M(ICoreWebView2WebResourceRequest, get_Headers, HRESULT, (ICoreWebView2HttpRequestHeaders**)) \
    M(ICoreWebView2WebResourceResponse, get_Content, HRESULT, (IStream**)) \
    M(ICoreWebView2WebResourceResponse, put_Content, HRESULT, (IStream*)) \
    M(ICoreWebView2WebResourceResponse, get_Headers, HRESULT, (ICoreWebView2HttpResponseHeaders**)) \
    M(ICoreWebView2WebResourceResponse, get_StatusCode, HRESULT, (int*)) \
    M(ICoreWebView2WebResourceResponse, put_StatusCode, HRESULT, (int)) \
    M(ICoreWebView2WebResourceResponse, get_ReasonPhrase, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2WebResourceResponse, put_ReasonPhrase, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2HttpRequestHeaders, GetHeader, HRESULT, (LPCWSTR, LPWSTR*)) \
    M(ICoreWebView2HttpRequestHeaders, GetHeaders, HRESULT, (LPCWSTR, ICoreWebView2HttpHeadersCollectionIterator**)) \
    M(ICoreWebView2HttpRequestHeaders, Contains, HRESULT, (LPCWSTR, BOOL*)) \
    M(ICoreWebView2HttpRequestHeaders, SetHeader, HRESULT, (LPCWSTR, LPCWSTR)) \
    M(ICoreWebView2HttpRequestHeaders, RemoveHeader, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2HttpRequestHeaders, GetIterator, HRESULT, (ICoreWebView2HttpHeadersCollectionIterator**)) \
    M(ICoreWebView2HttpResponseHeaders, AppendHeader, HRESULT, (LPCWSTR, LPCWSTR)) \
    M(ICoreWebView2HttpResponseHeaders, Contains, HRESULT, (LPCWSTR, BOOL*)) \
    M(ICoreWebView2HttpResponseHeaders, GetHeader, HRESULT, (LPCWSTR, LPWSTR*)) \
    M(ICoreWebView2HttpResponseHeaders, GetHeaders, HRESULT, (LPCWSTR, ICoreWebView2HttpHeadersCollectionIterator**)) \
    M(ICoreWebView2HttpResponseHeaders, GetIterator, HRESULT, (ICoreWebView2HttpHeadersCollectionIterator**)) \
    M(ICoreWebView2HttpHeadersCollectionIterator, GetCurrentHeader, HRESULT, (LPWSTR*, LPWSTR*)) \
    M(ICoreWebView2HttpHeadersCollectionIterator, get_HasCurrentHeader, HRESULT, (BOOL*)) \
    M(ICoreWebView2HttpHeadersCollectionIterator, MoveNext, HRESULT, (BOOL*)) \
    M(ICoreWebView2Deferral, Complete, HRESULT, ()) \
    M(ICoreWebView2WindowFeatures, get_HasPosition, HRESULT, (BOOL*)) \
    M(ICoreWebView2WindowFeatures, get_HasSize, HRESULT, (BOOL*)) \
    M(ICoreWebView2WindowFeatures, get_Left, HRESULT, (UINT32*)) \
    M(ICoreWebView2WindowFeatures, get_Top, HRESULT, (UINT32*)) \
    M(ICoreWebView2WindowFeatures, get_Height, HRESULT, (UINT32*)) \
    M(ICoreWebView2WindowFeatures, get_Width, HRESULT, (UINT32*)) \
    M(ICoreWebView2WindowFeatures, get_ShouldDisplayMenuBar, HRESULT, (BOOL*)) \
    M(ICoreWebView2WindowFeatures, get_ShouldDisplayStatus, HRESULT, (BOOL*)) \
    M(ICoreWebView2WindowFeatures, get_ShouldDisplayToolbar, HRESULT, (BOOL*)) \
    M(ICoreWebView2WindowFeatures, get_ShouldDisplayScrollBars, HRESULT, (BOOL*)) \
    M(ICoreWebView2DevToolsProtocolEventReceiver, add_DevToolsProtocolEventReceived, HRESULT, (ICoreWebView2DevToolsProtocolEventReceivedEventHandler*, EventRegistrationToken*)) \
    M(ICoreWebView2DevToolsProtocolEventReceiver, remove_DevToolsProtocolEventReceived, HRESULT, (EventRegistrationToken)) \
    M(ICoreWebView2AcceleratorKeyPressedEventArgs, get_KeyEventKind, HRESULT, (COREWEBVIEW2_KEY_EVENT_KIND*)) \
    M(ICoreWebView2AcceleratorKeyPressedEventArgs, get_VirtualKey, HRESULT, (UINT*)) \
    M(ICoreWebView2AcceleratorKeyPressedEventArgs, get_KeyEventLParam, HRESULT, (INT*)) \
    M(ICoreWebView2AcceleratorKeyPressedEventArgs, get_PhysicalKeyStatus, HRESULT, (COREWEBVIEW2_PHYSICAL_KEY_STATUS*)) \
    M(ICoreWebView2AcceleratorKeyPressedEventArgs, get_Handled, HRESULT, (BOOL*)) \
    M(ICoreWebView2AcceleratorKeyPressedEventArgs, put_Handled, HRESULT, (BOOL)) \
    M(ICoreWebView2ContentLoadingEventArgs, get_IsErrorPage, HRESULT, (BOOL*)) \
    M(ICoreWebView2ContentLoadingEventArgs, get_NavigationId, HRESULT, (UINT64*)) \
    M(ICoreWebView2DevToolsProtocolEventReceivedEventArgs, get_ParameterObjectAsJson, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2MoveFocusRequestedEventArgs, get_Reason, HRESULT, (COREWEBVIEW2_MOVE_FOCUS_REASON*)) \
    M(ICoreWebView2MoveFocusRequestedEventArgs, get_Handled, HRESULT, (BOOL*)) \
    M(ICoreWebView2MoveFocusRequestedEventArgs, put_Handled, HRESULT, (BOOL)) \
    M(ICoreWebView2NavigationCompletedEventArgs, get_IsSuccess, HRESULT, (BOOL*)) \
    M(ICoreWebView2NavigationCompletedEventArgs, get_WebErrorStatus, HRESULT, (COREWEBVIEW2_WEB_ERROR_STATUS*)) \
    M(ICoreWebView2NavigationCompletedEventArgs, get_NavigationId, HRESULT, (UINT64*)) \
    M(ICoreWebView2NavigationStartingEventArgs, get_Uri, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2NavigationStartingEventArgs, get_IsUserInitiated, HRESULT, (BOOL*)) \
    M(ICoreWebView2NavigationStartingEventArgs, get_IsRedirected, HRESULT, (BOOL*)) \
    M(ICoreWebView2NavigationStartingEventArgs, get_RequestHeaders, HRESULT, (ICoreWebView2HttpRequestHeaders**)) \
    M(ICoreWebView2NavigationStartingEventArgs, get_Cancel, HRESULT, (BOOL*)) \
    M(ICoreWebView2NavigationStartingEventArgs, put_Cancel, HRESULT, (BOOL)) \
    M(ICoreWebView2NavigationStartingEventArgs, get_NavigationId, HRESULT, (UINT64*)) \
    M(ICoreWebView2NewWindowRequestedEventArgs, get_Uri, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2NewWindowRequestedEventArgs, put_NewWindow, HRESULT, (ICoreWebView2*)) \
    M(ICoreWebView2NewWindowRequestedEventArgs, get_NewWindow, HRESULT, (ICoreWebView2**)) \
    M(ICoreWebView2NewWindowRequestedEventArgs, put_Handled, HRESULT, (BOOL)) \
    M(ICoreWebView2NewWindowRequestedEventArgs, get_Handled, HRESULT, (BOOL*)) \
    M(ICoreWebView2NewWindowRequestedEventArgs, get_IsUserInitiated, HRESULT, (BOOL*)) \
    M(ICoreWebView2NewWindowRequestedEventArgs, GetDeferral, HRESULT, (ICoreWebView2Deferral**)) \
    M(ICoreWebView2NewWindowRequestedEventArgs, get_WindowFeatures, HRESULT, (ICoreWebView2WindowFeatures**)) \
    M(ICoreWebView2PermissionRequestedEventArgs, get_Uri, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2PermissionRequestedEventArgs, get_PermissionKind, HRESULT, (COREWEBVIEW2_PERMISSION_KIND*)) \
    M(ICoreWebView2PermissionRequestedEventArgs, get_IsUserInitiated, HRESULT, (BOOL*)) \
    M(ICoreWebView2PermissionRequestedEventArgs, get_State, HRESULT, (COREWEBVIEW2_PERMISSION_STATE*)) \
    M(ICoreWebView2PermissionRequestedEventArgs, put_State, HRESULT, (COREWEBVIEW2_PERMISSION_STATE)) \
    M(ICoreWebView2PermissionRequestedEventArgs, GetDeferral, HRESULT, (ICoreWebView2Deferral**)) \
    M(ICoreWebView2ProcessFailedEventArgs, get_ProcessFailedKind, HRESULT, (COREWEBVIEW2_PROCESS_FAILED_KIND*)) \
    M(ICoreWebView2ScriptDialogOpeningEventArgs, get_Uri, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2ScriptDialogOpeningEventArgs, get_Kind, HRESULT, (COREWEBVIEW2_SCRIPT_DIALOG_KIND*)) \
    M(ICoreWebView2ScriptDialogOpeningEventArgs, get_Message, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2ScriptDialogOpeningEventArgs, Accept, HRESULT, ()) \
    M(ICoreWebView2ScriptDialogOpeningEventArgs, get_DefaultText, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2ScriptDialogOpeningEventArgs, get_ResultText, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2ScriptDialogOpeningEventArgs, put_ResultText, HRESULT, (LPCWSTR)) \
    M(ICoreWebView2ScriptDialogOpeningEventArgs, GetDeferral, HRESULT, (ICoreWebView2Deferral**)) \
    M(ICoreWebView2SourceChangedEventArgs, get_IsNewDocument, HRESULT, (BOOL*)) \
    M(ICoreWebView2WebMessageReceivedEventArgs, get_Source, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2WebMessageReceivedEventArgs, get_WebMessageAsJson, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2WebMessageReceivedEventArgs, TryGetWebMessageAsString, HRESULT, (LPWSTR*)) \
    M(ICoreWebView2WebResourceRequestedEventArgs, get_Request, HRESULT, (ICoreWebView2WebResourceRequest**)) \
    M(ICoreWebView2WebResourceRequestedEventArgs, get_Response, HRESULT, (ICoreWebView2WebResourceResponse**)) \
    M(ICoreWebView2WebResourceRequestedEventArgs, put_Response, HRESULT, (ICoreWebView2WebResourceResponse*)) \
    M(ICoreWebView2WebResourceRequestedEventArgs, GetDeferral, HRESULT, (ICoreWebView2Deferral**)) \
    M(ICoreWebView2WebResourceRequestedEventArgs, get_ResourceContext, HRESULT, (COREWEBVIEW2_WEB_RESOURCE_CONTEXT*)) \
    M(ICoreWebView2AcceleratorKeyPressedEventHandler, Invoke, HRESULT, (ICoreWebView2Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs*)) \
    M(ICoreWebView2ContainsFullScreenElementChangedEventHandler, Invoke, HRESULT, (ICoreWebView2*, IUnknown*)) \
    M(ICoreWebView2ContentLoadingEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2ContentLoadingEventArgs*)) \
    M(ICoreWebView2DevToolsProtocolEventReceivedEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2DevToolsProtocolEventReceivedEventArgs*)) \
    M(ICoreWebView2DocumentTitleChangedEventHandler, Invoke, HRESULT, (ICoreWebView2*, IUnknown*)) \
    M(ICoreWebView2FocusChangedEventHandler, Invoke, HRESULT, (ICoreWebView2Controller*, IUnknown*)) \
    M(ICoreWebView2HistoryChangedEventHandler, Invoke, HRESULT, (ICoreWebView2*, IUnknown*)) \
    M(ICoreWebView2MoveFocusRequestedEventHandler, Invoke, HRESULT, (ICoreWebView2Controller*, ICoreWebView2MoveFocusRequestedEventArgs*)) \
    M(ICoreWebView2NavigationCompletedEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs*)) \
    M(ICoreWebView2NavigationStartingEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs*)) \
    M(ICoreWebView2NewBrowserVersionAvailableEventHandler, Invoke, HRESULT, (ICoreWebView2Environment*, IUnknown*)) \
    M(ICoreWebView2NewWindowRequestedEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs*)) \
    M(ICoreWebView2PermissionRequestedEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs*)) \
    M(ICoreWebView2ProcessFailedEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs*)) \
    M(ICoreWebView2ScriptDialogOpeningEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2ScriptDialogOpeningEventArgs*)) \
    M(ICoreWebView2SourceChangedEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2SourceChangedEventArgs*)) \
    M(ICoreWebView2WebMessageReceivedEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*)) \
    M(ICoreWebView2WebResourceRequestedEventHandler, Invoke, HRESULT, (ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs*)) \
    M(ICoreWebView2WindowCloseRequestedEventHandler, Invoke, HRESULT, (ICoreWebView2*, IUnknown*)) \
    M(ICoreWebView2ZoomFactorChangedEventHandler, Invoke, HRESULT, (ICoreWebView2Controller*, IUnknown*)) \
    M(ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler, Invoke, HRESULT, (HRESULT, LPCWSTR)) \
    M(ICoreWebView2CallDevToolsProtocolMethodCompletedHandler, Invoke, HRESULT, (HRESULT, LPCWSTR)) \
    M(ICoreWebView2CapturePreviewCompletedHandler, Invoke, HRESULT, (HRESULT)) \
    M(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, Invoke, HRESULT, (HRESULT, ICoreWebView2Controller*)) \
    M(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, Invoke, HRESULT, (HRESULT, ICoreWebView2Environment*)) \
    M(ICoreWebView2ExecuteScriptCompletedHandler, Invoke, HRESULT, (HRESULT, LPCWSTR)) \


// L(export, (parameter types)); every export returns HRESULT
#define FOLIO_ABI_LOADER_EXPORTS(L) \
    L(CreateCoreWebView2EnvironmentWithOptions, (PCWSTR, PCWSTR, ICoreWebView2EnvironmentOptions*, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*)) \
    L(CreateCoreWebView2Environment, (ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*)) \
    L(GetAvailableCoreWebView2BrowserVersionString, (PCWSTR, LPWSTR*)) \
    L(CompareBrowserVersions, (PCWSTR, PCWSTR, int*)) \


// E(enum, value without the enum's name): E(COREWEBVIEW2_PERMISSION_KIND, CAMERA)
#define FOLIO_ABI_ENUMS(E) \
    E(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, PNG) E(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, JPEG) \
    E(COREWEBVIEW2_COOKIE_SAME_SITE_KIND, NONE) E(COREWEBVIEW2_COOKIE_SAME_SITE_KIND, LAX) \
    E(COREWEBVIEW2_COOKIE_SAME_SITE_KIND, STRICT) \
    E(COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND, DENY) E(COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND, ALLOW) \
    E(COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND, DENY_CORS) \
    E(COREWEBVIEW2_SCRIPT_DIALOG_KIND, ALERT) E(COREWEBVIEW2_SCRIPT_DIALOG_KIND, CONFIRM) \
    E(COREWEBVIEW2_SCRIPT_DIALOG_KIND, PROMPT) E(COREWEBVIEW2_SCRIPT_DIALOG_KIND, BEFOREUNLOAD) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, BROWSER_PROCESS_EXITED) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, RENDER_PROCESS_EXITED) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, RENDER_PROCESS_UNRESPONSIVE) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, FRAME_RENDER_PROCESS_EXITED) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, UTILITY_PROCESS_EXITED) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, SANDBOX_HELPER_PROCESS_EXITED) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, GPU_PROCESS_EXITED) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, PPAPI_PLUGIN_PROCESS_EXITED) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, PPAPI_BROKER_PROCESS_EXITED) \
    E(COREWEBVIEW2_PROCESS_FAILED_KIND, UNKNOWN_PROCESS_EXITED) \
    E(COREWEBVIEW2_PROCESS_FAILED_REASON, UNEXPECTED) E(COREWEBVIEW2_PROCESS_FAILED_REASON, UNRESPONSIVE) \
    E(COREWEBVIEW2_PROCESS_FAILED_REASON, TERMINATED) E(COREWEBVIEW2_PROCESS_FAILED_REASON, CRASHED) \
    E(COREWEBVIEW2_PROCESS_FAILED_REASON, LAUNCH_FAILED) E(COREWEBVIEW2_PROCESS_FAILED_REASON, OUT_OF_MEMORY) \
    E(COREWEBVIEW2_PERMISSION_KIND, UNKNOWN_PERMISSION) E(COREWEBVIEW2_PERMISSION_KIND, MICROPHONE) \
    E(COREWEBVIEW2_PERMISSION_KIND, CAMERA) E(COREWEBVIEW2_PERMISSION_KIND, GEOLOCATION) \
    E(COREWEBVIEW2_PERMISSION_KIND, NOTIFICATIONS) E(COREWEBVIEW2_PERMISSION_KIND, OTHER_SENSORS) \
    E(COREWEBVIEW2_PERMISSION_KIND, CLIPBOARD_READ) \
    E(COREWEBVIEW2_PERMISSION_STATE, DEFAULT) E(COREWEBVIEW2_PERMISSION_STATE, ALLOW) \
    E(COREWEBVIEW2_PERMISSION_STATE, DENY) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, UNKNOWN) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, CERTIFICATE_COMMON_NAME_IS_INCORRECT) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, CERTIFICATE_EXPIRED) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, CLIENT_CERTIFICATE_CONTAINS_ERRORS) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, CERTIFICATE_REVOKED) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, CERTIFICATE_IS_INVALID) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, SERVER_UNREACHABLE) E(COREWEBVIEW2_WEB_ERROR_STATUS, TIMEOUT) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, ERROR_HTTP_INVALID_SERVER_RESPONSE) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, CONNECTION_ABORTED) E(COREWEBVIEW2_WEB_ERROR_STATUS, CONNECTION_RESET) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, DISCONNECTED) E(COREWEBVIEW2_WEB_ERROR_STATUS, CANNOT_CONNECT) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, HOST_NAME_NOT_RESOLVED) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, OPERATION_CANCELED) E(COREWEBVIEW2_WEB_ERROR_STATUS, REDIRECT_FAILED) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, UNEXPECTED_ERROR) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, VALID_AUTHENTICATION_CREDENTIALS_REQUIRED) \
    E(COREWEBVIEW2_WEB_ERROR_STATUS, VALID_PROXY_AUTHENTICATION_REQUIRED) \
    E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, ALL) E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, DOCUMENT) \
    E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, STYLESHEET) E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, IMAGE) \
    E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, MEDIA) E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, FONT) \
    E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, SCRIPT) E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, XML_HTTP_REQUEST) \
    E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, FETCH) E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, TEXT_TRACK) \
    E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, EVENT_SOURCE) E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, WEBSOCKET) \
    E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, MANIFEST) E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, SIGNED_EXCHANGE) \
    E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, PING) E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, CSP_VIOLATION_REPORT) \
    E(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, OTHER) \
    E(COREWEBVIEW2_MOVE_FOCUS_REASON, PROGRAMMATIC) E(COREWEBVIEW2_MOVE_FOCUS_REASON, NEXT) \
    E(COREWEBVIEW2_MOVE_FOCUS_REASON, PREVIOUS) \
    E(COREWEBVIEW2_KEY_EVENT_KIND, KEY_DOWN) E(COREWEBVIEW2_KEY_EVENT_KIND, KEY_UP) \
    E(COREWEBVIEW2_KEY_EVENT_KIND, SYSTEM_KEY_DOWN) E(COREWEBVIEW2_KEY_EVENT_KIND, SYSTEM_KEY_UP) \
    E(COREWEBVIEW2_BROWSER_PROCESS_EXIT_KIND, NORMAL) E(COREWEBVIEW2_BROWSER_PROCESS_EXIT_KIND, FAILED) \
    E(COREWEBVIEW2_MOUSE_EVENT_KIND, HORIZONTAL_WHEEL) \
    E(COREWEBVIEW2_MOUSE_EVENT_KIND, LEFT_BUTTON_DOUBLE_CLICK) \
    E(COREWEBVIEW2_MOUSE_EVENT_KIND, LEFT_BUTTON_DOWN) E(COREWEBVIEW2_MOUSE_EVENT_KIND, LEFT_BUTTON_UP) \
    E(COREWEBVIEW2_MOUSE_EVENT_KIND, LEAVE) E(COREWEBVIEW2_MOUSE_EVENT_KIND, MIDDLE_BUTTON_DOUBLE_CLICK) \
    E(COREWEBVIEW2_MOUSE_EVENT_KIND, MIDDLE_BUTTON_DOWN) E(COREWEBVIEW2_MOUSE_EVENT_KIND, MIDDLE_BUTTON_UP) \
    E(COREWEBVIEW2_MOUSE_EVENT_KIND, MOVE) E(COREWEBVIEW2_MOUSE_EVENT_KIND, RIGHT_BUTTON_DOUBLE_CLICK) \
    E(COREWEBVIEW2_MOUSE_EVENT_KIND, RIGHT_BUTTON_DOWN) E(COREWEBVIEW2_MOUSE_EVENT_KIND, RIGHT_BUTTON_UP) \
    E(COREWEBVIEW2_MOUSE_EVENT_KIND, WHEEL) E(COREWEBVIEW2_MOUSE_EVENT_KIND, X_BUTTON_DOUBLE_CLICK) \
    E(COREWEBVIEW2_MOUSE_EVENT_KIND, X_BUTTON_DOWN) E(COREWEBVIEW2_MOUSE_EVENT_KIND, X_BUTTON_UP) \
    E(COREWEBVIEW2_MOUSE_EVENT_VIRTUAL_KEYS, NONE) E(COREWEBVIEW2_MOUSE_EVENT_VIRTUAL_KEYS, LEFT_BUTTON) \
    E(COREWEBVIEW2_MOUSE_EVENT_VIRTUAL_KEYS, RIGHT_BUTTON) E(COREWEBVIEW2_MOUSE_EVENT_VIRTUAL_KEYS, SHIFT) \
    E(COREWEBVIEW2_MOUSE_EVENT_VIRTUAL_KEYS, CONTROL) E(COREWEBVIEW2_MOUSE_EVENT_VIRTUAL_KEYS, MIDDLE_BUTTON) \
    E(COREWEBVIEW2_MOUSE_EVENT_VIRTUAL_KEYS, X_BUTTON1) E(COREWEBVIEW2_MOUSE_EVENT_VIRTUAL_KEYS, X_BUTTON2) \
    E(COREWEBVIEW2_POINTER_EVENT_KIND, ACTIVATE) E(COREWEBVIEW2_POINTER_EVENT_KIND, DOWN) \
    E(COREWEBVIEW2_POINTER_EVENT_KIND, ENTER) E(COREWEBVIEW2_POINTER_EVENT_KIND, LEAVE) \
    E(COREWEBVIEW2_POINTER_EVENT_KIND, UP) E(COREWEBVIEW2_POINTER_EVENT_KIND, UPDATE) \
    E(COREWEBVIEW2_BOUNDS_MODE, USE_RAW_PIXELS) E(COREWEBVIEW2_BOUNDS_MODE, USE_RASTERIZATION_SCALE) \
    E(COREWEBVIEW2_CLIENT_CERTIFICATE_KIND, SMART_CARD) E(COREWEBVIEW2_CLIENT_CERTIFICATE_KIND, PIN) \
    E(COREWEBVIEW2_CLIENT_CERTIFICATE_KIND, OTHER) \
    E(COREWEBVIEW2_DOWNLOAD_STATE, IN_PROGRESS) E(COREWEBVIEW2_DOWNLOAD_STATE, INTERRUPTED) \
    E(COREWEBVIEW2_DOWNLOAD_STATE, COMPLETED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, NONE) E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_FAILED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_ACCESS_DENIED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_NO_SPACE) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_NAME_TOO_LONG) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_TOO_LARGE) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_MALICIOUS) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_TRANSIENT_ERROR) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_BLOCKED_BY_POLICY) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_SECURITY_CHECK_FAILED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_TOO_SHORT) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, FILE_HASH_MISMATCH) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, NETWORK_FAILED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, NETWORK_TIMEOUT) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, NETWORK_DISCONNECTED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, NETWORK_SERVER_DOWN) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, NETWORK_INVALID_REQUEST) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, SERVER_FAILED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, SERVER_NO_RANGE) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, SERVER_BAD_CONTENT) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, SERVER_UNAUTHORIZED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, SERVER_CERTIFICATE_PROBLEM) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, SERVER_FORBIDDEN) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, SERVER_UNEXPECTED_RESPONSE) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, SERVER_CONTENT_LENGTH_MISMATCH) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, SERVER_CROSS_ORIGIN_REDIRECT) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, USER_CANCELED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, USER_SHUTDOWN) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, USER_PAUSED) \
    E(COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON, DOWNLOAD_PROCESS_CRASHED) \
    E(COREWEBVIEW2_PRINT_ORIENTATION, PORTRAIT) E(COREWEBVIEW2_PRINT_ORIENTATION, LANDSCAPE) \
    E(COREWEBVIEW2_DEFAULT_DOWNLOAD_DIALOG_CORNER_ALIGNMENT, TOP_LEFT) \
    E(COREWEBVIEW2_DEFAULT_DOWNLOAD_DIALOG_CORNER_ALIGNMENT, TOP_RIGHT) \
    E(COREWEBVIEW2_DEFAULT_DOWNLOAD_DIALOG_CORNER_ALIGNMENT, BOTTOM_LEFT) \
    E(COREWEBVIEW2_DEFAULT_DOWNLOAD_DIALOG_CORNER_ALIGNMENT, BOTTOM_RIGHT) \
    E(COREWEBVIEW2_PROCESS_KIND, BROWSER) E(COREWEBVIEW2_PROCESS_KIND, RENDERER) \
    E(COREWEBVIEW2_PROCESS_KIND, UTILITY) E(COREWEBVIEW2_PROCESS_KIND, SANDBOX_HELPER) \
    E(COREWEBVIEW2_PROCESS_KIND, GPU) E(COREWEBVIEW2_PROCESS_KIND, PPAPI_PLUGIN) \
    E(COREWEBVIEW2_PROCESS_KIND, PPAPI_BROKER) \
    E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, NONE) E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, SAVE) \
    E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, PRINT) E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, SAVE_AS) \
    E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, ZOOM_IN) E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, ZOOM_OUT) \
    E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, ROTATE) E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, FIT_PAGE) \
    E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, PAGE_LAYOUT) E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, BOOKMARKS) \
    E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, PAGE_SELECTOR) E(COREWEBVIEW2_PDF_TOOLBAR_ITEMS, SEARCH) \
    E(COREWEBVIEW2_CONTEXT_MENU_TARGET_KIND, PAGE) E(COREWEBVIEW2_CONTEXT_MENU_TARGET_KIND, IMAGE) \
    E(COREWEBVIEW2_CONTEXT_MENU_TARGET_KIND, SELECTED_TEXT) E(COREWEBVIEW2_CONTEXT_MENU_TARGET_KIND, AUDIO) \
    E(COREWEBVIEW2_CONTEXT_MENU_TARGET_KIND, VIDEO) \
    E(COREWEBVIEW2_CONTEXT_MENU_ITEM_KIND, COMMAND) E(COREWEBVIEW2_CONTEXT_MENU_ITEM_KIND, CHECK_BOX) \
    E(COREWEBVIEW2_CONTEXT_MENU_ITEM_KIND, RADIO) E(COREWEBVIEW2_CONTEXT_MENU_ITEM_KIND, SEPARATOR) \
    E(COREWEBVIEW2_CONTEXT_MENU_ITEM_KIND, SUBMENU) \
    E(COREWEBVIEW2_PREFERRED_COLOR_SCHEME, AUTO) E(COREWEBVIEW2_PREFERRED_COLOR_SCHEME, LIGHT) \
    E(COREWEBVIEW2_PREFERRED_COLOR_SCHEME, DARK) \
    E(COREWEBVIEW2_BROWSING_DATA_KINDS, FILE_SYSTEMS) E(COREWEBVIEW2_BROWSING_DATA_KINDS, INDEXED_DB) \
    E(COREWEBVIEW2_BROWSING_DATA_KINDS, LOCAL_STORAGE) E(COREWEBVIEW2_BROWSING_DATA_KINDS, WEB_SQL) \
    E(COREWEBVIEW2_BROWSING_DATA_KINDS, CACHE_STORAGE) E(COREWEBVIEW2_BROWSING_DATA_KINDS, ALL_DOM_STORAGE) \
    E(COREWEBVIEW2_BROWSING_DATA_KINDS, COOKIES) E(COREWEBVIEW2_BROWSING_DATA_KINDS, ALL_SITE) \
    E(COREWEBVIEW2_BROWSING_DATA_KINDS, DISK_CACHE) E(COREWEBVIEW2_BROWSING_DATA_KINDS, DOWNLOAD_HISTORY) \
    E(COREWEBVIEW2_BROWSING_DATA_KINDS, GENERAL_AUTOFILL) \
    E(COREWEBVIEW2_BROWSING_DATA_KINDS, PASSWORD_AUTOSAVE) \
    E(COREWEBVIEW2_BROWSING_DATA_KINDS, BROWSING_HISTORY) E(COREWEBVIEW2_BROWSING_DATA_KINDS, SETTINGS) \
    E(COREWEBVIEW2_BROWSING_DATA_KINDS, ALL_PROFILE) \
    E(COREWEBVIEW2_SERVER_CERTIFICATE_ERROR_ACTION, ALWAYS_ALLOW) \
    E(COREWEBVIEW2_SERVER_CERTIFICATE_ERROR_ACTION, CANCEL) \
    E(COREWEBVIEW2_SERVER_CERTIFICATE_ERROR_ACTION, DEFAULT) \
    E(COREWEBVIEW2_FAVICON_IMAGE_FORMAT, PNG) E(COREWEBVIEW2_FAVICON_IMAGE_FORMAT, JPEG) \

