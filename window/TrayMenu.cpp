#include "window/TrayMenu.h"

#include "window/Texts.h"

namespace {

// The popup's items that have a text, in their order.
struct Item {
    UINT id;
    TextId text;
};
constexpr Item ITEMS[] = {{TrayMenu::ID_RESTORE, TextId::MnuTrayRestore},
                          {TrayMenu::ID_SWITCH, TextId::Command1},
                          {TrayMenu::ID_START_WITH_WINDOWS, TextId::MnuTrayStartWithWindows},
                          {TrayMenu::ID_SETTINGS, TextId::MnuSettings},
                          {TrayMenu::ID_CLOSE, TextId::MnuTrayClose}};

void SetItemText(HMENU menu, UINT id, wchar_t* text) {
    MENUITEMINFOW item = {sizeof item};
    item.fMask = MIIM_STRING;
    item.dwTypeData = text;
    SetMenuItemInfoW(menu, id, FALSE, &item);
}

}  // namespace

HMENU TrayMenu::Create() {
    bar_.reset(CreateMenu());
    popup_ = CreatePopupMenu();
    AppendMenuW(bar_.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup_), texts::MNU_TRAY);
    // Open first and exit last, the two things done from the tray set apart.
    for (const Item& item : ITEMS) {
        if (item.id == ID_SWITCH || item.id == ID_CLOSE) AppendMenuW(popup_, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(popup_, MF_STRING, item.id, Text(item.text));
    }
    // mnuTrayMinimize is never shown: it has no entry in the popup.
    return popup_;
}

void TrayMenu::ShowSwitchHotkey(const wchar_t* hotkey_text) {
    lstrcpynW(hotkeyText_, hotkey_text ? hotkey_text : L"", sizeof hotkeyText_ / sizeof hotkeyText_[0]);
    // A tab sets the hotkey apart at the item's right, as menus show shortcuts.
    wchar_t switchText[128] = {};
    lstrcpynW(switchText, Text(TextId::Command1), 128);
    if (*hotkeyText_) {
        lstrcatW(switchText, L"\t");
        lstrcpynW(switchText + lstrlenW(switchText), hotkeyText_, 128 - lstrlenW(switchText));
    }
    SetItemText(popup_, ID_SWITCH, switchText);
}

void TrayMenu::ShowTexts() {
    for (const Item& item : ITEMS) SetItemText(popup_, item.id, const_cast<wchar_t*>(Text(item.text)));
    wchar_t hotkey[64];
    lstrcpyW(hotkey, hotkeyText_);
    ShowSwitchHotkey(hotkey);
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
