// What Windows must know of the application before it shows the application's toasts:
// the notification settings key and a Start-menu shortcut carrying the application id.
#pragma once

#include <string>

namespace Folio::Win32 {

// HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Notifications\Settings\<appId>, made
// with ShowInActionCenter = 1 when missing; false when it can be neither opened nor made.
bool EnsureNotificationSettings(const std::u16string& appId);

// The shortcut at linkPath: kept when it targets exePath exactly and carries appId;
// otherwise made anew (target, its folder as working folder, the application id).
// Needs COM on the calling thread.
bool EnsureAppShortcut(const std::u16string& linkPath, const std::u16string& exePath, const std::u16string& appId);

// The user's Start-menu programs folder, then the executable's name with ".lnk".
std::u16string StartMenuShortcutPath(const std::u16string& exePath);

} // namespace Folio::Win32
