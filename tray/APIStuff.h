// The program's icon in the notification area, and the hook on the main
// window's messages that turns minimising into hiding there.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "tray/TrayHost.h"
#include "tray/TrayIconRecord.h"

namespace APIStuff {

// The window the icon and hook serve; cleared when the window is destroyed.
extern tray::TrayHost* TrayForm;
// The menu popped up on a right click.
extern HMENU TrayMenu;
// The window procedure the hook replaced.
extern WNDPROC PrevWndProc;
// The icon's description, reused by every call to the shell.
extern tray::TrayIconRecord TrayIconData;

// The shell's icon call with a record as built: Shell_NotifyIconA, or W for
// a wide record. Tests put a recording or refusing shell in its place.
using NotifyIconFunction = BOOL (*)(DWORD message, tray::TrayRecordBytes& record);
BOOL CallShell(DWORD message, tray::TrayRecordBytes& record);
extern NotifyIconFunction ShellNotifyIcon;
// Whether the shell took the icon. Without one, minimising must not hide the
// window, or nothing could bring it back; the add is tried again every
// TRAY_RETRY_MS until the shell takes it.
extern bool TrayIconShown;
inline constexpr UINT_PTR TRAY_RETRY_TIMER_ID = 0x7A1;
inline constexpr UINT TRAY_RETRY_MS = 2000;

// Hooks the window's messages and adds its icon (without a tip yet).
void InstallTrayHook(tray::TrayHost& form, HMENU menu);
// The tip goes in the 8-bit record where the system's code page holds it
// whole, else in the wide one, from then on.
void SetTrayTip(const wchar_t* text);
// Another picture for the icon; the shell hears of it only when there is an
// icon to change, and a later add brings it.
void SetTrayIcon(HICON icon);
void RemoveTrayIcon();

LRESULT CALLBACK TrayWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

// WM_SYSCOMMAND's command, without the bits the system uses internally.
inline constexpr WPARAM SYSCOMMAND_MASK = 0xFFF0;

// Window states as the hook reads and sets them.
inline constexpr int16_t WINDOW_STATE_NORMAL = 0;
inline constexpr int16_t WINDOW_STATE_MINIMISED = 1;

}  // namespace APIStuff
