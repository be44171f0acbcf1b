// A global hotkey as the settings write it: "Ctrl+Alt+U", "Shift+Win+F9".
#pragma once

#include <windows.h>

namespace settings {

struct Hotkey {
    UINT modifiers;  // MOD_CONTROL, MOD_ALT, MOD_SHIFT, MOD_WIN
    UINT key;        // a virtual key; 0 for no hotkey
};

inline constexpr Hotkey NO_HOTKEY = {0, 0};
inline constexpr Hotkey DEFAULT_HOTKEY = {MOD_CONTROL | MOD_ALT, 'U'};

// Room for the longest hotkey text with its NUL; a longer setting is no hotkey.
inline constexpr DWORD HOTKEY_TEXT_CHARS = 64;
using HotkeyText = wchar_t[HOTKEY_TEXT_CHARS];

// Modifiers and one key joined by '+', in any case and order, blanks around
// the names allowed; an empty text is no hotkey. Keys: A-Z, 0-9, F1-F24 and
// the named keys (Space, Insert, ..., Pause). Every key but F1-F24 needs
// Ctrl, Alt or Win, so that typing is never taken. False for anything else.
bool ParseHotkey(const wchar_t* text, Hotkey& hotkey);

// The hotkey in the order Ctrl, Alt, Shift, Win, key; empty for no hotkey.
void FormatHotkey(const Hotkey& hotkey, HotkeyText& text);

}  // namespace settings
