// The settings dialog: the switch's hotkey, start with Windows, the
// notifications, the language and the printer whose jobs take the box.
// Modeless and one at a time; OK applies and saves what the user changed,
// Cancel, Esc and closing change nothing. A language chosen shows at once,
// in the dialog and the window, until Cancel.
#pragma once

#include <windows.h>

#include "printing/PrintWatch.h"
#include "settings/Hotkey.h"
#include "settings/Language.h"

struct SettingsValues {
    settings::Hotkey hotkey;  // the one in force, NO_HOTKEY for none
    bool startWithWindows;
    bool notifications;
    settings::LanguageChoice language;
    printing::PrinterName printer;  // whose jobs take the box; empty for none
};

// What the dialog needs of the window it serves.
class SettingsOwner {
public:
    virtual SettingsValues SettingsInForce() = 0;
    // Registers the hotkey in place of the one in force. False when another
    // program holds it: the old one stays.
    virtual bool ChangeHotkey(const settings::Hotkey& hotkey) = 0;
    virtual void ChangeStartWithWindows(bool start) = 0;
    virtual void ChangeNotifications(bool on) = 0;
    // Everything the window shows, in this language from now on.
    virtual void ChangeLanguage(settings::Language language) = 0;
    // Watches this printer's queue from now, or none (empty).
    virtual void ChangePrinter(const wchar_t* name) = 0;
    // The last listing of this PC's printers (a NUL after each name) and
    // whether the spooler tells of their jobs; false before the first.
    virtual bool KnownPrinters(printing::Buffer& names, printing::Watch& watch) = 0;
    // A new listing, told by PrintersListed.
    virtual void AskPrinters() = 0;

protected:
    ~SettingsOwner() = default;
};

// The hotkey box's value (virtual key in the low byte, HOTKEYF_* in the high
// one) and the hotkey it stands for. The box has no Win key; modifiers
// without a key are no hotkey the settings allow.
WORD HotkeyBoxValue(const settings::Hotkey& hotkey);
settings::Hotkey HotkeyOfBox(WORD value);

class SettingsDialog {
public:
    // Opens the dialog, or brings the open one forward.
    void Open(HINSTANCE instance, HWND owner_window, SettingsOwner& owner);
    HWND Handle() const { return hwnd_; }
    // A new listing of the printers: shown, the entry selected kept.
    void PrintersListed();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void ShowTexts();
    void ShowValues();
    settings::LanguageChoice ChosenLanguage() const;
    void PreviewLanguage();
    void Close();
    void ShowPrinters();
    void ChosenPrinter(printing::PrinterName& name);
    void Accept();
    void Refuse(const wchar_t* message);

    HWND hwnd_ = nullptr;
    SettingsOwner* owner_ = nullptr;
    SettingsValues shown_ = {};
    WORD shownHotkeyBox_ = 0;  // a hotkey with Win is kept unless the box is changed
    settings::Language languageAtOpen_ = settings::Language::Greek;
};
