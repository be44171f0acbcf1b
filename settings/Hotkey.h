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

// A hotkey the settings can name that never takes typing: one of the keys
// A-Z, 0-9, F1-F24 and the named keys (Space, Insert, ..., Pause), and every
// key but F1-F24 with Ctrl, Alt or Win. No hotkey is allowed too, but not
// modifiers without a key.
bool IsAllowed(const Hotkey& hotkey);

// Modifiers and one key joined by '+', in any case and order, blanks around
// the names allowed; an empty text is no hotkey. False for anything else, and
// for a hotkey that is not allowed.
bool ParseHotkey(const wchar_t* text, Hotkey& hotkey);

// The hotkey in the order Ctrl, Alt, Shift, Win, key; empty for no hotkey.
void FormatHotkey(const Hotkey& hotkey, HotkeyText& text);

}  // namespace settings
