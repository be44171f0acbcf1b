// The tray's popup menu mnuTray: a menu of the window that is never shown as
// a menu bar, its items and their enabled and checked states.
#pragma once

#include <windows.h>

#include "common/Scoped.h"
#include "resources/resource_ids.h"

class TrayMenu {
public:
    static constexpr UINT ID_RESTORE = 201;
    static constexpr UINT ID_CLOSE = 202;
    static constexpr UINT ID_MINIMIZE = 203;
    static constexpr UINT ID_SWITCH = 204;
    static constexpr UINT ID_START_WITH_WINDOWS = 205;
    static constexpr UINT ID_SETTINGS = IDM_SETTINGS;  // also the window's shortcut

    // Builds the menu bar holding the popup; returns the popup.
    HMENU Create();
    // The hotkey in force at the switch item's right; empty for none.
    void ShowSwitchHotkey(const wchar_t* hotkey_text);
    // Every item's text again, in the language now in use.
    void ShowTexts();

    void SetItemEnabled(UINT item, bool enabled);
    bool IsItemEnabled(UINT item) const;
    void SetItemChecked(UINT item, bool checked);

private:
    common::ScopedMenu bar_;  // owns the popup; never attached, so no menu bar shows
    HMENU popup_ = nullptr;
    // The minimise item is never shown, so its state lives only here.
    bool minimizeEnabled_ = true;
    wchar_t hotkeyText_[64] = {};
};
