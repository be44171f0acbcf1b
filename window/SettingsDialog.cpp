#include "window/SettingsDialog.h"

#include <commctrl.h>

#include "printing/PrinterSetting.h"
#include "resources/resource_ids.h"
#include "settings/Settings.h"
#include "window/Texts.h"

namespace {

struct ModifierFlag {
    UINT modifier;
    BYTE flag;
};
constexpr ModifierFlag BOX_MODIFIERS[] = {
    {MOD_CONTROL, HOTKEYF_CONTROL}, {MOD_ALT, HOTKEYF_ALT}, {MOD_SHIFT, HOTKEYF_SHIFT}};
// The box names these by the keys of their own block only when told they are
// extended keys; otherwise it shows the number pad's.
constexpr UINT EXTENDED_KEYS[] = {VK_INSERT, VK_DELETE, VK_HOME, VK_END,   VK_PRIOR,
                                  VK_NEXT,   VK_LEFT,   VK_UP,   VK_RIGHT, VK_DOWN};

bool IsExtended(UINT key) {
    for (UINT extended : EXTENDED_KEYS)
        if (key == extended) return true;
    return false;
}

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
// The dialog's texts by control; the language list's are its items.
struct ControlText {
    int id;
    TextId text;
};
constexpr ControlText CONTROL_TEXTS[] = {{IDC_SETTINGS_HOTKEY_LABEL, TextId::SettingsHotkeyLabel},
                                         {IDC_SETTINGS_NO_HOTKEY, TextId::SettingsNoHotkey},
                                         {IDC_SETTINGS_START_WITH_WINDOWS, TextId::SettingsStartWithWindows},
                                         {IDC_SETTINGS_NOTIFICATIONS, TextId::SettingsNotifications},
                                         {IDC_SETTINGS_LANGUAGE_LABEL, TextId::SettingsLanguageLabel},
                                         {IDC_SETTINGS_PRINTER_LABEL, TextId::SettingsPrinterLabel},
                                         {IDOK, TextId::SettingsOk},
                                         {IDCANCEL, TextId::SettingsCancel}};
// In the list's order, which is that of LanguageChoice.
constexpr settings::LanguageChoice LANGUAGE_CHOICES[] = {
    settings::LanguageChoice::Automatic, settings::LanguageChoice::Greek, settings::LanguageChoice::English};
// What each entry of the printer list stands for.
enum PrinterEntry : LPARAM { NO_PRINTER, LISTED_PRINTER, GONE_PRINTER };

LRESULT AddEntry(HWND list, const wchar_t* text, PrinterEntry entry) {
    const LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(list, CB_SETITEMDATA, index, entry);
    return index;
}

WORD BoxValue(HWND dialog) {
    return static_cast<WORD>(SendMessageW(Item(dialog, IDC_SETTINGS_HOTKEY), HKM_GETHOTKEY, 0, 0));
}

}  // namespace

WORD HotkeyBoxValue(const settings::Hotkey& hotkey) {
    if (!hotkey.key) return 0;
    BYTE flags = IsExtended(hotkey.key) ? HOTKEYF_EXT : 0;
    for (const ModifierFlag& m : BOX_MODIFIERS)
        if (hotkey.modifiers & m.modifier) flags |= m.flag;
    return MAKEWORD(hotkey.key, flags);
}

settings::Hotkey HotkeyOfBox(WORD value) {
    settings::Hotkey hotkey = {0, LOBYTE(value)};
    for (const ModifierFlag& m : BOX_MODIFIERS)
        if (HIBYTE(value) & m.flag) hotkey.modifiers |= m.modifier;
    return hotkey;
}

void SettingsDialog::Open(HINSTANCE instance, HWND owner_window, SettingsOwner& owner) {
    if (!hwnd_) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_HOTKEY_CLASS};
        InitCommonControlsEx(&icc);
        owner_ = &owner;
        CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), owner_window, &SettingsDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
        if (!hwnd_) return;
    }
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
}

INT_PTR CALLBACK SettingsDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<SettingsDialog*>(lParam);
        dialog->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    }
    auto* dialog = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dialog || dialog->hwnd_ != hwnd) return FALSE;
    return dialog->HandleMessage(msg, wParam, lParam);
}

INT_PTR SettingsDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        languageAtOpen_ = LanguageInUse();
        ShowTexts();
        ShowValues();
        return TRUE;  // the focus on the hotkey box
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: Accept(); return TRUE;
        case IDCANCEL: Close(); return TRUE;  // also Esc and the close box
        case IDC_SETTINGS_LANGUAGE:
            if (HIWORD(wParam) == CBN_SELCHANGE) PreviewLanguage();
            return TRUE;
        case IDC_SETTINGS_NO_HOTKEY:
            SendMessageW(Item(hwnd_, IDC_SETTINGS_HOTKEY), HKM_SETHOTKEY, 0, 0);
            SetFocus(Item(hwnd_, IDC_SETTINGS_HOTKEY));
            return TRUE;
        }
        return FALSE;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        hwnd_ = nullptr;
        return FALSE;
    }
    return FALSE;
}

// In the language in use; the languages' own names are the same in all.
void SettingsDialog::ShowTexts() {
    SetWindowTextW(hwnd_, Text(TextId::SettingsCaption));
    for (const ControlText& c : CONTROL_TEXTS) SetDlgItemTextW(hwnd_, c.id, Text(c.text));
    HWND list = Item(hwnd_, IDC_SETTINGS_LANGUAGE);
    const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    const wchar_t* const names[] = {Text(TextId::SettingsLanguageAutomatic), texts::LANGUAGE_GREEK,
                                    texts::LANGUAGE_ENGLISH};
    for (const wchar_t* name : names) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageW(list, CB_SETCURSEL, selected, 0);
}

settings::LanguageChoice SettingsDialog::ChosenLanguage() const {
    const LRESULT selected = SendMessageW(Item(hwnd_, IDC_SETTINGS_LANGUAGE), CB_GETCURSEL, 0, 0);
    return selected >= 0 && selected < 3 ? LANGUAGE_CHOICES[selected] : shown_.language;
}

void SettingsDialog::PreviewLanguage() {
    const settings::Language language = settings::ChooseLanguage(ChosenLanguage(), GetUserDefaultUILanguage());
    if (language == LanguageInUse()) return;
    owner_->ChangeLanguage(language);
    ShowTexts();
    ShowPrinters();  // its entries' words
}

// Nothing changes: a language tried in the dialog is taken back.
void SettingsDialog::Close() {
    if (LanguageInUse() != languageAtOpen_) owner_->ChangeLanguage(languageAtOpen_);
    DestroyWindow(hwnd_);
}

// What is in force as the dialog opens; OK compares the controls with it.
void SettingsDialog::ShowValues() {
    shown_ = owner_->SettingsInForce();
    shownHotkeyBox_ = HotkeyBoxValue(shown_.hotkey);
    SendMessageW(Item(hwnd_, IDC_SETTINGS_HOTKEY), HKM_SETHOTKEY, shownHotkeyBox_, 0);
    CheckDlgButton(hwnd_, IDC_SETTINGS_START_WITH_WINDOWS, shown_.startWithWindows ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd_, IDC_SETTINGS_NOTIFICATIONS, shown_.notifications ? BST_CHECKED : BST_UNCHECKED);
    SendMessageW(Item(hwnd_, IDC_SETTINGS_LANGUAGE), CB_SETCURSEL, static_cast<WPARAM>(shown_.language), 0);
    SendMessageW(Item(hwnd_, IDC_SETTINGS_PRINTER), CB_RESETCONTENT, 0, 0);
    ShowPrinters();
    owner_->AskPrinters();
}

void SettingsDialog::PrintersListed() {
    if (hwnd_) ShowPrinters();
}

// None, this PC's printers as the worker last listed them, and a chosen one
// that is gone or a connection, shown as such; the entry selected is kept.
// Before the first listing the chosen one is shown as it is. Without the
// spooler's notifications the list stays off and one sentence says why.
void SettingsDialog::ShowPrinters() {
    HWND list = Item(hwnd_, IDC_SETTINGS_PRINTER);
    printing::PrinterName selected;
    if (SendMessageW(list, CB_GETCOUNT, 0, 0) > 0)
        ChosenPrinter(selected);
    else
        lstrcpynW(selected, shown_.printer, printing::NAME_CHARS);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    AddEntry(list, Text(TextId::PrinterNone), NO_PRINTER);
    printing::Buffer names;
    printing::Watch watch = printing::Watch::Off;
    const bool listed = owner_->KnownPrinters(names, watch);
    LRESULT select = 0;
    bool chosenListed = !listed;
    for (const wchar_t* name = listed ? reinterpret_cast<const wchar_t*>(names.Data()) : L""; *name;
         name += lstrlenW(name) + 1) {
        const LRESULT index = AddEntry(list, name, LISTED_PRINTER);
        if (selected[0] && printing::SameName(name, selected)) select = index;
        chosenListed = chosenListed || printing::SameName(name, shown_.printer);
    }
    if (shown_.printer[0] && !chosenListed) {
        const bool connection = shown_.printer[0] == L'\\' && shown_.printer[1] == L'\\';
        wchar_t text[printing::NAME_CHARS + 64];
        wsprintfW(text, Text(connection ? TextId::PrinterConnection : TextId::PrinterGone), shown_.printer);
        const LRESULT index = AddEntry(list, text, GONE_PRINTER);
        if (lstrcmpW(selected, shown_.printer) == 0) select = index;
    } else if (!listed && shown_.printer[0]) {
        select = AddEntry(list, shown_.printer, LISTED_PRINTER);
    }
    SendMessageW(list, CB_SETCURSEL, select, 0);
    const bool unavailable = watch == printing::Watch::NoNotifications || watch == printing::Watch::NoSpooler;
    SetDlgItemTextW(hwnd_, IDC_SETTINGS_PRINTER_NOTE, unavailable ? Text(TextId::PrintSwitchUnavailable) : L"");
    EnableWindow(list, !unavailable);
}

void SettingsDialog::ChosenPrinter(printing::PrinterName& name) {
    HWND list = Item(hwnd_, IDC_SETTINGS_PRINTER);
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    const LRESULT entry = index == CB_ERR ? NO_PRINTER : SendMessageW(list, CB_GETITEMDATA, index, 0);
    name[0] = L'\0';
    if (entry == GONE_PRINTER) lstrcpynW(name, shown_.printer, printing::NAME_CHARS);
    if (entry == LISTED_PRINTER && SendMessageW(list, CB_GETLBTEXTLEN, index, 0) < LRESULT(printing::NAME_CHARS))
        SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));
}

// Only what the user changed is applied and saved. A hotkey that cannot be
// had keeps the dialog open, with nothing changed.
void SettingsDialog::Accept() {
    const WORD box = BoxValue(hwnd_);
    if (box != shownHotkeyBox_) {
        const settings::Hotkey hotkey = HotkeyOfBox(box);
        if (!settings::IsAllowed(hotkey)) return Refuse(Text(TextId::HotkeyNotAllowed));
        if (!owner_->ChangeHotkey(hotkey)) {
            settings::HotkeyText name;
            settings::FormatHotkey(hotkey, name);
            wchar_t message[512];
            wsprintfW(message, Text(TextId::HotkeyTaken), name);
            return Refuse(message);
        }
        settings::WriteHotkey(hotkey);
    }
    const bool start = Checked(hwnd_, IDC_SETTINGS_START_WITH_WINDOWS);
    if (start != shown_.startWithWindows) owner_->ChangeStartWithWindows(start);
    const bool notifications = Checked(hwnd_, IDC_SETTINGS_NOTIFICATIONS);
    if (notifications != shown_.notifications) {
        settings::WriteNotifications(notifications);
        owner_->ChangeNotifications(notifications);
    }
    printing::PrinterName printer;
    ChosenPrinter(printer);
    if (lstrcmpW(printer, shown_.printer) != 0) {
        printing::WriteChosenPrinter(printer);
        owner_->ChangePrinter(printer);
    }
    const settings::LanguageChoice language = ChosenLanguage();
    if (language != shown_.language) settings::WriteLanguageChoice(language);
    DestroyWindow(hwnd_);
}

void SettingsDialog::Refuse(const wchar_t* message) {
    wchar_t caption[128] = {};
    GetWindowTextW(hwnd_, caption, 128);
    MessageBoxW(hwnd_, message, caption, MB_OK | MB_ICONWARNING);
    SetFocus(Item(hwnd_, IDC_SETTINGS_HOTKEY));
}
