// What the program keeps in the registry of the user: its own settings under
// HKCU\Software\Varnosklen, read and never written unless the user changes
// one in the settings dialog, and its start with Windows under
// HKCU\...\CurrentVersion\Run.
#pragma once

#include <windows.h>

#include "settings/Hotkey.h"

namespace settings {

inline constexpr wchar_t SETTINGS_KEY[] = L"Software\\Varnosklen";
inline constexpr wchar_t HOTKEY_VALUE[] = L"Hotkey";
inline constexpr wchar_t NOTIFICATIONS_VALUE[] = L"Notifications";
inline constexpr wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t RUN_VALUE[] = L"Varnosklen";
// Task Manager's Startup tab: a binary value named as the Run value, whose
// first byte is odd while the user has disabled the start there.
inline constexpr wchar_t STARTUP_APPROVED_KEY[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

// The hotkey setting (a string). Absent, of another type, too long for any
// hotkey or not one: the default.
Hotkey ReadHotkey();
// The hotkey as text, as a user would write it by hand.
bool WriteHotkey(const Hotkey& hotkey);

// Whether the tray tells of the box's changes while the window is hidden (a
// number, 1 or 0). Absent, of another type or another number: on.
bool ReadNotifications();
bool WriteNotifications(bool on);

// Room for the Run command of a program in a long path.
inline constexpr DWORD COMMAND_CHARS = 1024;
using Command = wchar_t[COMMAND_CHARS];

// The command that starts a program with its options: its path quoted.
// False when it would not fit.
bool MakeCommand(const wchar_t* program, const wchar_t* options, Command& command);

// Whether Windows starts exactly this command at logon; another program's
// path, or ours with other options, is not, nor one disabled in Task Manager.
bool StartsWithWindows(const Command& command);
// Writes the command to start at logon, taking back a disable from Task
// Manager, or removes ours with its mark there (null).
bool SetStartWithWindows(const Command* command);

}  // namespace settings
