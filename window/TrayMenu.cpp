#include "window/TrayMenu.h"

#include "window/Texts.h"

HMENU TrayMenu::Create() {
    bar_.reset(CreateMenu());
    popup_ = CreatePopupMenu();
    AppendMenuW(bar_.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup_), texts::MNU_TRAY);
    // Open first and exit last, the two things done from the tray set apart.
    AppendMenuW(popup_, MF_STRING, ID_RESTORE, texts::MNU_TRAY_RESTORE);
    AppendMenuW(popup_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup_, MF_STRING, ID_SWITCH, texts::COMMAND1);
    AppendMenuW(popup_, MF_STRING, ID_START_WITH_WINDOWS, texts::MNU_TRAY_START_WITH_WINDOWS);
    AppendMenuW(popup_, MF_STRING, ID_SETTINGS, texts::MNU_SETTINGS);
    AppendMenuW(popup_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup_, MF_STRING, ID_CLOSE, texts::MNU_TRAY_CLOSE);
    // mnuTrayMinimize is never shown: it has no entry in the popup.
    return popup_;
}

void TrayMenu::ShowSwitchHotkey(const wchar_t* hotkey_text) {
    // A tab sets the hotkey apart at the item's right, as menus show shortcuts.
    wchar_t switchText[128] = {};
    lstrcpynW(switchText, texts::COMMAND1, 128);
    if (hotkey_text && *hotkey_text) {
        lstrcatW(switchText, L"\t");
        lstrcpynW(switchText + lstrlenW(switchText), hotkey_text, 128 - lstrlenW(switchText));
    }
    MENUITEMINFOW item = {sizeof item};
    item.fMask = MIIM_STRING;
    item.dwTypeData = switchText;
    SetMenuItemInfoW(popup_, ID_SWITCH, FALSE, &item);
}

void TrayMenu::SetItemEnabled(UINT item, bool enabled) {
    if (item == ID_MINIMIZE) {
        minimizeEnabled_ = enabled;
        return;
    }
    EnableMenuItem(popup_, item, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool TrayMenu::IsItemEnabled(UINT item) const {
    if (item == ID_MINIMIZE) return minimizeEnabled_;
    return !(GetMenuState(popup_, item, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

void TrayMenu::SetItemChecked(UINT item, bool checked) {
    CheckMenuItem(popup_, item, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}
