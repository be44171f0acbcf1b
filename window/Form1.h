// The program's only window: the status box, the switch button, the credits
// frame with its link, the poll timer and the tray menu.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "common/Scoped.h"
#include "settings/Hotkey.h"
#include "tray/TrayHost.h"
#include "window/Notifier.h"
#include "window/PrintSwitch.h"
#include "window/SettingsDialog.h"
#include "window/StatusBox.h"
#include "window/TrayMenu.h"

class Form1 final : public tray::TrayHost, public SettingsOwner {
public:
    enum class WhenDestroyed { EndProgram, KeepRunning };

    explicit Form1(HINSTANCE instance, WhenDestroyed when_destroyed = WhenDestroyed::EndProgram);
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window and its controls and runs Form_Load; the window is
    // not shown yet. False when the window could not be created.
    bool Create();
    void Show(int show_command);
    // Started with Windows: the icon alone, the window unseen.
    void ShowInTray();
    HWND Handle() const { return hwnd_; }
    // The message loop's keyboard for the window and its settings dialog:
    // the window's shortcuts, Tab, Enter and Esc. True when the message was taken.
    bool TranslateKeys(MSG& msg);

    // Tray integration.
    void SetTrayMenuItems(int16_t& window_state) override;
    HWND TrayWindowHandle() const override { return hwnd_; }
    HICON TrayIconHandle() const override { return trayIcons_[static_cast<int>(shownBadge_)].get(); }
    int16_t ReadLastState() const override { return LastState; }

    // The settings dialog's view of the window.
    SettingsValues SettingsInForce() override;
    bool ChangeHotkey(const settings::Hotkey& hotkey) override;
    void ChangeStartWithWindows(bool start) override;
    void ChangeNotifications(bool on) override;
    void ChangeLanguage(settings::Language language) override;
    void ChangePrinter(const wchar_t* name) override;
    bool KnownPrinters(printing::Buffer& names, printing::Watch& watch) override {
        return printSwitch_.Watch().Printers(names, watch);
    }
    void AskPrinters() override { printSwitch_.Watch().AskPrinters(); }
    HWND SettingsDialogHandle() const { return settingsDialog_.Handle(); }
    // The print switch's watch, as its worker last told of it.
    const PrintSwitch& PrintSwitchState() const { return printSwitch_; }
    // No change of the box is waiting to settle into a notification.
    bool NoticesSettled() const { return notifier_.Settled(); }

    // A window state to restore; nothing in the program assigns it.
    int16_t LastState = 0;
    // The in/out byte of every device call, and the latest probe's status.
    uint8_t PortByte = 0;
    uint8_t ProbeStatus = 0;

    // Controls, in the window's order of definition.
    HWND Frame1 = nullptr;
    HWND Label2 = nullptr;
    HWND Label1 = nullptr;
    HWND Text1 = nullptr;
    HWND Command1 = nullptr;
    HWND Label3 = nullptr;
    HMENU mnuTray = nullptr;
    bool IsTrayItemEnabled(UINT item) const { return trayMenu_.IsItemEnabled(item); }

    // Control and menu identifiers.
    static constexpr UINT ID_COMMAND1 = 101;
    static constexpr UINT ID_TEXT1 = 102;
    static constexpr UINT ID_FRAME1 = 103;
    static constexpr UINT ID_LABEL1 = 104;
    static constexpr UINT ID_LABEL2 = 105;
    static constexpr UINT ID_LABEL3 = 106;
    static constexpr UINT ID_MNU_TRAY_RESTORE = TrayMenu::ID_RESTORE;
    static constexpr UINT ID_MNU_TRAY_CLOSE = TrayMenu::ID_CLOSE;
    static constexpr UINT ID_MNU_TRAY_MINIMIZE = TrayMenu::ID_MINIMIZE;
    static constexpr UINT ID_MNU_TRAY_SWITCH = TrayMenu::ID_SWITCH;
    static constexpr UINT ID_MNU_TRAY_START_WITH_WINDOWS = TrayMenu::ID_START_WITH_WINDOWS;
    static constexpr UINT ID_MNU_TRAY_SETTINGS = TrayMenu::ID_SETTINGS;
    // In the window's system menu: below 0xF000, the low four bits clear.
    static constexpr UINT ID_SYSTEM_MENU_SETTINGS = 0x0C0;
    static constexpr int HOTKEY_ID = 1;
    static constexpr UINT_PTR TIMER1_ID = 1;
    static constexpr UINT TIMER1_INTERVAL_MS = 100;

    // What became of a press: its sequence sent; waiting behind work in
    // progress (taken once it is done); or not made (another program held
    // the box past PressWaitMs, or the library cannot be used), said in the
    // status box and, while the window is hidden, from the icon.
    enum class Press { Sent, Queued, NotMade };

    // The handlers, callable as the events would call them.
    void Form_Load();
    void Timer1_Timer();
    Press Command1_Click();
    void Label2_Click();
    void mnuTrayRestore_Click();
    void mnuTrayClose_Click();
    void mnuTrayMinimize_Click();
    void mnuTrayStartWithWindows_Click();
    void mnuTraySettings_Click();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    HWND CreateControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD ex_style, UINT id);
    // Font, controls and icons for dpi_; returns the client size it needs.
    SIZE ApplyDpi();

    enum class DeviceWork { Tick, Press };
    Press RunDeviceWork(DeviceWork work);
    void PressNotMade();
    void PostWaitingWork();
    LRESULT OnDeviceWorkWaiting();
    device::ProbeResult ProbeDevice();
    void CheckDevice();
    Press SendSwitchCommand();
    void ShowStatus(const StatusView& view);
    void SwitchIfEnabled();
    bool StartsWithWindows();
    // What the window does with the box's settled changes while it is hidden.
    void NoteDeviceState();
    void TellWhileHidden(const wchar_t* text, bool warning);
    LRESULT OnPrintWatch(WPARAM event, LPARAM value);
    void PressForPrinting(bool offline);
    void ShowPrintNotice(const std::optional<Notice>& notice);

    LRESULT OnTimer(WPARAM id);
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnCtlColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    LRESULT OnActivate(WPARAM wParam);
    LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnColoursChanged();
    LRESULT OnSettingChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnCopyData(HWND reply_to, const COPYDATASTRUCT* data);
    LRESULT OnHotKey(WPARAM id);
    LRESULT OnInitMenuPopup(WPARAM wParam);
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy();
    LRESULT OnNcDestroy();

    HINSTANCE instance_;
    WhenDestroyed whenDestroyed_;
    HWND hwnd_ = nullptr;
    HWND toolTip_ = nullptr;
    HWND focus_ = nullptr;  // the control to give the focus back to on activation
    int dpi_ = 96;
    bool deviceBusy_ = false;  // a tick or press is calling the library
    bool tickWaiting_ = false;
    bool pressWaiting_ = false;
    device::ProbeResult lastProbe_ = {device::DeviceState::Absent, 0};
    ULONGLONG passesSentAt_ = 0;  // when the last switch passes went out; 0 for never
    bool probed_ = false;         // the status box still says it is searching

    // By TrayBadge, at the notification area's size, whatever the window's DPI.
    common::ScopedIcon trayIcons_[static_cast<int>(TrayBadge::Count)];
    TrayBadge shownBadge_ = TrayBadge::None;
    common::ScopedIcon smallIcon_;
    common::ScopedIcon bigIcon_;
    common::ScopedFont font_;
    std::optional<common::ScopedCom> com_;  // from the first launch of the link
    StatusBox status_;
    TrayMenu trayMenu_;

    settings::Hotkey hotkey_ = settings::NO_HOTKEY;  // registered, and shown in the tray menu
    bool notificationsOn_ = true;
    Notifier notifier_;
    SettingsDialog settingsDialog_;
    PrintSwitch printSwitch_;
    HACCEL shortcuts_ = nullptr;  // a resource's, freed with the program
};
