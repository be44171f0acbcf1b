// A notification from the program's icon: a separate call to the shell for
// the same icon, so that the icon's own records stay as they are.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace APIStuff {

// The record carries the balloon's fields (the shell's second layout) and
// asks for nothing else: the icon, its tip and its messages stay untouched.
inline constexpr DWORD NOTIFICATION_RECORD_SIZE = NOTIFYICONDATAW_V2_SIZE;
// Shown as long as the system allows; newer systems decide for themselves.
inline constexpr UINT NOTIFICATION_TIMEOUT_MS = 10000;

enum class NotificationKind { Information, Warning };

// The shell's call for a notification. Tests put a recording shell in its place.
using NotifyBalloonFunction = BOOL (*)(DWORD message, NOTIFYICONDATAW& record);
BOOL CallShellForNotification(DWORD message, NOTIFYICONDATAW& record);
extern NotifyBalloonFunction ShellNotifyBalloon;

// The record for the icon of TrayIconData. The shell keeps it back during the
// user's quiet time after a first logon, and Focus Assist as it sees fit.
NOTIFYICONDATAW NotificationRecord(const wchar_t* title, const wchar_t* text, NotificationKind kind);

// Shows it from the icon; false when there is no icon or the shell refuses.
bool ShowTrayNotification(const wchar_t* title, const wchar_t* text, NotificationKind kind);

}  // namespace APIStuff
