#include "window/TrayMenu.h"

#include "window/Texts.h"

HMENU TrayMenu::Create() {
    bar_.reset(CreateMenu());
    popup_ = CreatePopupMenu();
    AppendMenuW(bar_.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup_), texts::MNU_TRAY);
    AppendMenuW(popup_, MF_STRING, ID_RESTORE, texts::MNU_TRAY_RESTORE);
    AppendMenuW(popup_, MF_STRING, ID_CLOSE, texts::MNU_TRAY_CLOSE);
    // mnuTrayMinimize is never shown: it has no entry in the popup.
    return popup_;
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
