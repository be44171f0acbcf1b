#include "tray/APIStuff.h"

#include <shellapi.h>

namespace APIStuff {

tray::TrayHost* TrayForm = nullptr;
HMENU TrayMenu = nullptr;
WNDPROC PrevWndProc = nullptr;
tray::TrayIconRecord TrayIconData;
NotifyIconFunction ShellNotifyIcon = &CallShell;
bool TrayIconShown = false;

namespace {

// Sent by the shell to every top-level window when the taskbar is (re)created.
UINT taskbarCreatedMessage = 0;

uint64_t HandleValue(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }

BOOL Notify(DWORD message) {
    tray::TrayRecordBytes record = tray::RecordBytes(TrayIconData);
    return ShellNotifyIcon(message, record);
}

// A copy run as administrator hears nothing from an Explorer running at a
// lower level unless it lets the announcement through; looked up, as only
// Windows 7 and later have it.
void AllowTaskbarCreated(HWND hwnd) {
    using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    const auto filter =
        reinterpret_cast<Filter>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx"));
    if (filter && taskbarCreatedMessage) filter(hwnd, taskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
}

HWND FormHandle() { return TrayForm->TrayWindowHandle(); }

void CallSetTrayMenuItems(int16_t state) { TrayForm->SetTrayMenuItems(state); }

void HideForm() {
    ShowWindow(FormHandle(), SW_HIDE);
    CallSetTrayMenuItems(WINDOW_STATE_MINIMISED);
}

void AddTrayIcon() {
    TrayIconData.uFlags = tray::FLAGS_ADD;
    TrayIconShown = Notify(NIM_ADD) != FALSE;
}

// At logon the taskbar may come after the program: without an icon the add is
// tried again on a slow timer of its own; with one, nothing runs.
void RetryWhileNoIcon() {
    if (TrayIconShown)
        KillTimer(FormHandle(), TRAY_RETRY_TIMER_ID);
    else
        SetTimer(FormHandle(), TRAY_RETRY_TIMER_ID, TRAY_RETRY_MS, nullptr);
}

// The taskbar came back (Explorer restarted) or a retry is due: without the
// icon a hidden window could never be shown again.
void RestoreTrayIcon() {
    const bool hadIcon = TrayIconShown;
    AddTrayIcon();
    TrayIconData.uFlags = tray::FLAGS_TIP;
    // The add fails when the icon outlived the announcement; then this finds it.
    const bool tipped = Notify(NIM_MODIFY) != FALSE;
    TrayIconShown = TrayIconShown || tipped;
    RetryWhileNoIcon();
    // Minimised while there was no icon: now minimising means the tray.
    HWND hwnd = FormHandle();
    if (!hadIcon && TrayIconShown && IsIconic(hwnd) && IsWindowVisible(hwnd)) HideForm();
}

void ShowHiddenForm() {
    ShowWindow(FormHandle(), SW_SHOW);
    CallSetTrayMenuItems(WINDOW_STATE_NORMAL);
}

void SetWindowState(HWND hwnd, int16_t state) {
    ShowWindow(hwnd, state == WINDOW_STATE_MINIMISED ? SW_MINIMIZE : SW_RESTORE);
}

void OnTrayLeftClick() {
    HWND hwnd = FormHandle();
    ShowWindow(hwnd, SW_SHOW);
    if (IsIconic(hwnd)) SetWindowState(hwnd, TrayForm->ReadLastState());
    SetForegroundWindow(hwnd);
}

void OnTrayRightClick() {
    HWND hwnd = FormHandle();
    SetForegroundWindow(hwnd);
    POINT at = {};
    GetCursorPos(&at);
    // As notification-area menus do: either button chooses, and the menu
    // drops to the side the user's settings say (right-handed or left).
    const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    // The chosen item's handler runs before the call returns, so that an exit
    // chosen here has finished destroying the window when we look again.
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(TrayMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON | align, at.x, at.y, 0, hwnd, nullptr));
    if (chosen != 0) SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    if (!TrayForm) return;  // the window is gone: nothing may be posted to it
    PostMessageA(hwnd, WM_NULL, 0, 0);
}

LRESULT PassOn(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(PrevWndProc, hWnd, msg, wParam, lParam);
}

}  // namespace

BOOL CallShell(DWORD message, tray::TrayRecordBytes& record) {
    if (record.wide) return Shell_NotifyIconW(message, reinterpret_cast<NOTIFYICONDATAW*>(record.data()));
    return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(record.data()));
}

void InstallTrayHook(tray::TrayHost& form, HMENU menu) {
    TrayForm = &form;
    TrayMenu = menu;
    taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    HWND hwnd = form.TrayWindowHandle();
    AllowTaskbarCreated(hwnd);
    PrevWndProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWindowProc)));

    TrayIconData = tray::TrayIconRecord{};
    TrayIconData.uID = 0;
    TrayIconData.hWnd = HandleValue(hwnd);
    TrayIconData.hIcon = HandleValue(form.TrayIconHandle());
    TrayIconData.uCallbackMessage = tray::TRAY_CALLBACK_MESSAGE;
    AddTrayIcon();
    RetryWhileNoIcon();
}

void SetTrayTip(const wchar_t* text) {
    TrayIconData.wide = tray::NeedsWideTip(text, GetACP());
    TrayIconData.szTip = tray::MakeTipField(text, CP_ACP);
    TrayIconData.szTipW = tray::MakeWideTipField(text);
    TrayIconData.uFlags = tray::FLAGS_TIP;
    Notify(NIM_MODIFY);
}

void SetTrayIcon(HICON icon) {
    TrayIconData.hIcon = HandleValue(icon);
    if (!TrayIconShown) return;
    TrayIconData.uFlags = tray::FLAGS_ICON;
    Notify(NIM_MODIFY);
}

void RemoveTrayIcon() {
    TrayIconData.uFlags = tray::FLAGS_DELETE;
    Notify(NIM_DELETE);
    TrayIconShown = false;
    TrayForm = nullptr;
}

LRESULT CALLBACK TrayWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCDESTROY) {
        if (TrayForm) RemoveTrayIcon();
        return PassOn(hWnd, msg, wParam, lParam);
    }
    if (!TrayForm) return PassOn(hWnd, msg, wParam, lParam);

    if (msg == tray::TRAY_CALLBACK_MESSAGE) {
        if (lParam == WM_LBUTTONUP) {
            OnTrayLeftClick();
            return 0;
        }
        if (lParam == WM_RBUTTONUP) {
            OnTrayRightClick();
            return 0;
        }
        return PassOn(hWnd, msg, wParam, lParam);
    }
    if (msg == WM_TIMER && wParam == TRAY_RETRY_TIMER_ID) {
        RestoreTrayIcon();
        return 0;
    }
    if (msg == WM_SYSCOMMAND) {
        // The low four bits are the system's own (how the command was given).
        const WPARAM command = wParam & SYSCOMMAND_MASK;
        if (command == SC_MINIMIZE && TrayIconShown) {
            HideForm();
            return 0;
        }
        if (command == SC_RESTORE && !IsWindowVisible(FormHandle())) {
            ShowHiddenForm();
            return 0;
        }
        return PassOn(hWnd, msg, wParam, lParam);
    }
    if (msg == taskbarCreatedMessage && taskbarCreatedMessage != 0) RestoreTrayIcon();
    return PassOn(hWnd, msg, wParam, lParam);
}

}  // namespace APIStuff
