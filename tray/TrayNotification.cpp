#include "tray/TrayNotification.h"

#include "tray/APIStuff.h"

namespace APIStuff {

NotifyBalloonFunction ShellNotifyBalloon = &CallShellForNotification;

BOOL CallShellForNotification(DWORD message, NOTIFYICONDATAW& record) { return Shell_NotifyIconW(message, &record); }

NOTIFYICONDATAW NotificationRecord(const wchar_t* title, const wchar_t* text, NotificationKind kind) {
    NOTIFYICONDATAW record = {};
    record.cbSize = NOTIFICATION_RECORD_SIZE;
    record.hWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(TrayIconData.hWnd));
    record.uID = TrayIconData.uID;
    record.uFlags = NIF_INFO;
    lstrcpynW(record.szInfo, text, ARRAYSIZE(record.szInfo));
    lstrcpynW(record.szInfoTitle, title, ARRAYSIZE(record.szInfoTitle));
    record.uTimeout = NOTIFICATION_TIMEOUT_MS;
    record.dwInfoFlags = (kind == NotificationKind::Warning ? NIIF_WARNING : NIIF_INFO) | NIIF_RESPECT_QUIET_TIME;
    return record;
}

bool ShowTrayNotification(const wchar_t* title, const wchar_t* text, NotificationKind kind) {
    if (!TrayIconShown) return false;
    NOTIFYICONDATAW record = NotificationRecord(title, text, kind);
    return ShellNotifyBalloon(NIM_MODIFY, record) != FALSE;
}

}  // namespace APIStuff
