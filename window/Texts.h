// The program's texts and the window's colours. The Greek texts are here,
// the English ones in TextsEnglish.h; the code asks for a text by its id in
// the language in use. Kept as wide strings and shown through the controls'
// wide interfaces, so they read right whatever the system's 8-bit code page.
#pragma once

#include <windows.h>

#include "settings/Language.h"

// Every text the window, its tray icon and its settings show.
enum class TextId {
    Caption,
    Frame1,
    Label1,
    Label2Tooltip,
    Searching,
    Command1,
    Label3,
    Absent,
    Present,
    ShortAbsent,
    ShortPresent,
    LibraryMissing,
    LibraryIncomplete,
    LibraryOtherArchitecture,
    MnuTrayRestore,
    MnuTrayClose,
    MnuTrayStartWithWindows,
    TrayTip,
    MnuSettings,
    SystemMenuSettings,
    HotkeyNotAllowed,
    HotkeyTaken,
    NoticeTitle,
    NoticeLeftBus,
    NoticeBackOnBus,
    NoticeLibraryMissing,
    NoticeLibraryIncomplete,
    NoticeLibraryOtherArchitecture,
    NoticeLibraryBackPresent,
    NoticeLibraryBackAbsent,
    SettingsCaption,
    SettingsHotkeyLabel,
    SettingsNoHotkey,
    SettingsStartWithWindows,
    SettingsNotifications,
    SettingsLanguageLabel,
    SettingsLanguageAutomatic,
    SettingsOk,
    SettingsCancel,
    SettingsPrinterLabel,
    PrinterNone,
    PrinterGone,
    PrintSwitchUnavailable,
    NoticePrintSwitched,
    NoticePrintWaits,
    PressNotMade,
    NoticePressNotMade,
    PrinterConnection,
    NoticePrintSwitchedOffline,
    Count
};

// A text in the language in use, or in a given one.
const wchar_t* Text(TextId id);
const wchar_t* TextIn(settings::Language language, TextId id);
// The window and everything it shows speak this from now on.
void UseLanguage(settings::Language language);
settings::Language LanguageInUse();

namespace texts {

inline constexpr wchar_t CAPTION[] = L"Varnosklen v1.0 ";
inline constexpr wchar_t FRAME1[] = L" Σχεδίαση : ";
inline constexpr wchar_t LABEL1[] = L"Δεκέμβριος 2026 - Νίκος Βαρνάς";
inline constexpr wchar_t WEB_ADDRESS[] = L"http://varnosklen.gr";
inline constexpr wchar_t LABEL2_TOOLTIP[] = L"Κάντε κλίκ εδώ, για να επισκευτείτε τον δικτυακό μου τόπο.";
inline constexpr wchar_t SEARCHING[] = L"Αναζήτηση της συσκευής  < Varnosklen > ...";
inline constexpr wchar_t COMMAND1[] = L"Σύνδεση με το κοινό περιφεριακό USB";
inline constexpr wchar_t LABEL3[] = L"Κατάσταση :";

// What the poll shows.
inline constexpr wchar_t ABSENT[] =
    L" Η συσκευή <Varnosklen> δέν βρέθηκε, άρα πρέπει να έχετε ήδη συνδεθεί με το κοινό "
    L"περιφεριακό USB (π.χ. εκτυπωτής USB) ";
inline constexpr wchar_t PRESENT[] = L" Η συσκευή <Varnosklen> βρέθηκε! ";

// What the switch command shows before it sends the sequence.
inline constexpr wchar_t SHORT_ABSENT[] = L" Η συσκευή < Varnosklen > δέν βρέθηκε ";
inline constexpr wchar_t SHORT_PRESENT[] = L" Η συσκευή < Varnosklen > βρέθηκε! ";

// When the device library cannot be used, neither poll text is true: say why.
inline constexpr wchar_t LIBRARY_MISSING[] = L" Δεν βρέθηκε η βιβλιοθήκη AVR309.dll της συσκευής ";
inline constexpr wchar_t LIBRARY_INCOMPLETE[] = L" Η βιβλιοθήκη AVR309.dll της συσκευής είναι ελλιπής ή παλιά ";
// A library of the other width cannot be loaded: said as such, not as missing.
inline constexpr const wchar_t* LIBRARY_OTHER_ARCHITECTURE =
    sizeof(void*) == 4 ? L" Η βιβλιοθήκη AVR309.dll της συσκευής είναι 64 bit, ενώ το πρόγραμμα είναι 32 bit και δεν "
                         L"μπορεί να τη φορτώσει "
                       : L" Η βιβλιοθήκη AVR309.dll της συσκευής είναι 32 bit, ενώ το πρόγραμμα είναι 64 bit και δεν "
                         L"μπορεί να τη φορτώσει ";

// The tray menu and the icon's tip.
inline constexpr wchar_t MNU_TRAY[] = L"popup";
inline constexpr wchar_t MNU_TRAY_RESTORE[] = L"Ανοιγμα του Varnosklen";
inline constexpr wchar_t MNU_TRAY_CLOSE[] = L"Εξοδος";
// The switch item has the button's caption, COMMAND1.
inline constexpr wchar_t MNU_TRAY_START_WITH_WINDOWS[] = L"Εκκίνηση μαζί με τα Windows";
inline constexpr wchar_t TRAY_TIP[] = L"<Varnosklen>. Κάντε κλίκ εδώ, για εμφάνιση του προγράμματος";
// In the tray menu and in the window's system menu, with its shortcut there.
inline constexpr wchar_t MNU_SETTINGS[] = L"Ρυθμίσεις…";
inline constexpr wchar_t SYSTEM_MENU_SETTINGS[] = L"Ρυθμίσεις…\tCtrl+,";

// The settings dialog's answers to a hotkey it cannot take; its own texts are
// in its resource. %s is the hotkey.
inline constexpr wchar_t HOTKEY_NOT_ALLOWED[] =
    L"Ο συνδυασμός αυτός δεν γίνεται πλήκτρο συντόμευσης: θα έπιανε την απλή πληκτρολόγηση ή το πλήκτρο του δεν "
    L"υποστηρίζεται. Διαλέξτε Ctrl ή Alt μαζί με ένα γράμμα, ένα ψηφίο, ένα βέλος ή ένα από τα F1–F24, Space, "
    L"Insert, Delete, Home, End, PageUp, PageDown, Pause· τα F1–F24 γίνονται δεκτά και χωρίς αυτά.";
inline constexpr wchar_t HOTKEY_TAKEN[] =
    L"Τον συνδυασμό %s τον χρησιμοποιεί ήδη άλλο πρόγραμμα. Διαλέξτε άλλον· μένει σε ισχύ ο προηγούμενος.";

// The notifications, while the window is hidden: what happened and where the
// shared peripheral is now.
inline constexpr wchar_t NOTICE_TITLE[] = L"Varnosklen";
inline constexpr wchar_t NOTICE_LEFT_BUS[] =
    L"Η συσκευή <Varnosklen> βγήκε από τον δίαυλο: το κοινό περιφερειακό USB είναι τώρα συνδεδεμένο με αυτόν "
    L"τον υπολογιστή.";
inline constexpr wchar_t NOTICE_BACK_ON_BUS[] =
    L"Η συσκευή <Varnosklen> επέστρεψε στον δίαυλο: το κοινό περιφερειακό USB πέρασε στον άλλο υπολογιστή.";
inline constexpr wchar_t NOTICE_LIBRARY_MISSING[] =
    L"Δεν βρίσκεται πια η βιβλιοθήκη AVR309.dll: το πρόγραμμα δεν βλέπει τη συσκευή ούτε μπορεί να αλλάξει τη "
    L"σύνδεση.";
inline constexpr wchar_t NOTICE_LIBRARY_INCOMPLETE[] =
    L"Η βιβλιοθήκη AVR309.dll είναι πλέον ελλιπής ή παλιά: το πρόγραμμα δεν βλέπει τη συσκευή ούτε μπορεί να "
    L"αλλάξει τη σύνδεση.";
inline constexpr const wchar_t* NOTICE_LIBRARY_OTHER_ARCHITECTURE =
    sizeof(void*) == 4 ? L"Η βιβλιοθήκη AVR309.dll που βρίσκεται τώρα είναι 64 bit: το πρόγραμμα δεν μπορεί να τη "
                         L"φορτώσει, ούτε να δει τη συσκευή ή να αλλάξει τη σύνδεση."
                       : L"Η βιβλιοθήκη AVR309.dll που βρίσκεται τώρα είναι 32 bit: το πρόγραμμα δεν μπορεί να τη "
                         L"φορτώσει, ούτε να δει τη συσκευή ή να αλλάξει τη σύνδεση.";
inline constexpr wchar_t NOTICE_LIBRARY_BACK_PRESENT[] =
    L"Η βιβλιοθήκη AVR309.dll βρέθηκε ξανά και η συσκευή <Varnosklen> είναι στον δίαυλο: το κοινό περιφερειακό "
    L"USB είναι στον άλλο υπολογιστή.";
inline constexpr wchar_t NOTICE_LIBRARY_BACK_ABSENT[] =
    L"Η βιβλιοθήκη AVR309.dll βρέθηκε ξανά και η συσκευή <Varnosklen> δεν είναι στον δίαυλο: το κοινό "
    L"περιφερειακό USB είναι συνδεδεμένο με αυτόν τον υπολογιστή.";

// The settings dialog, as in its resource; each language's name is in itself.
inline constexpr wchar_t SETTINGS_CAPTION[] = L"Ρυθμίσεις του Varnosklen";
inline constexpr wchar_t SETTINGS_HOTKEY_LABEL[] = L"Πλήκτρο συντόμευσης για τη σύνδεση με το κοινό περιφερειακό:";
inline constexpr wchar_t SETTINGS_NO_HOTKEY[] = L"Κανένα";
inline constexpr wchar_t SETTINGS_START_WITH_WINDOWS[] = L"Εκκίνηση μαζί με τα Windows";
inline constexpr wchar_t SETTINGS_NOTIFICATIONS[] = L"Ειδοποιήσεις όταν η συσκευή αλλάζει κατάσταση";
inline constexpr wchar_t SETTINGS_LANGUAGE_LABEL[] = L"Γλώσσα:";
inline constexpr wchar_t SETTINGS_LANGUAGE_AUTOMATIC[] = L"Αυτόματα";
inline constexpr wchar_t SETTINGS_OK[] = L"OK";
inline constexpr wchar_t SETTINGS_CANCEL[] = L"Άκυρο";
inline constexpr wchar_t LANGUAGE_GREEK[] = L"Ελληνικά";
inline constexpr wchar_t LANGUAGE_ENGLISH[] = L"English";

// The print switch: in the settings dialog, and its notifications.
inline constexpr wchar_t SETTINGS_PRINTER_LABEL[] = L"Σύνδεση αυτόματα όταν εκτυπώνω στον εκτυπωτή:";
inline constexpr wchar_t PRINTER_NONE[] = L"(κανένας)";
inline constexpr wchar_t PRINTER_GONE[] = L"%s (δεν υπάρχει πια)";
inline constexpr wchar_t PRINT_SWITCH_UNAVAILABLE[] =
    L"Η αυτόματη σύνδεση δεν είναι διαθέσιμη: τα Windows δεν ειδοποιούν το πρόγραμμα για τις εργασίες αυτού του "
    L"εκτυπωτή.";
inline constexpr wchar_t NOTICE_PRINT_SWITCHED[] =
    L"Το κοινό περιφερειακό USB συνδέθηκε σε αυτόν τον υπολογιστή για την εκτύπωσή σας.";
inline constexpr wchar_t NOTICE_PRINT_WAITS[] =
    L"Η εκτύπωσή σας περιμένει: το κοινό περιφερειακό USB δεν μπόρεσε να συνδεθεί αυτόματα σε αυτόν τον "
    L"υπολογιστή. Πατήστε «Σύνδεση με το κοινό περιφεριακό USB».";
inline constexpr wchar_t PRINTER_CONNECTION[] = L"%s (σύνδεση σε εκτυπωτή άλλου υπολογιστή)";
inline constexpr wchar_t NOTICE_PRINT_SWITCHED_OFFLINE[] =
    L"Το κοινό περιφερειακό USB συνδέθηκε σε αυτόν τον υπολογιστή για την εκτύπωσή σας. Ο εκτυπωτής είναι "
    L"ρυθμισμένος σε «Χρήση εκτυπωτή χωρίς σύνδεση»: η εργασία περιμένει μέχρι να απενεργοποιηθεί αυτή η ρύθμιση.";

// A press that another program kept from the box: in the status box until
// a probe shows the box again, and from the icon while the window is hidden.
inline constexpr wchar_t PRESS_NOT_MADE[] =
    L" Η συσκευή < Varnosklen > ήταν απασχολημένη από άλλο πρόγραμμα: η σύνδεση δεν έγινε ";
inline constexpr wchar_t NOTICE_PRESS_NOT_MADE[] =
    L"Η σύνδεση με το κοινό περιφερειακό USB δεν έγινε: άλλο πρόγραμμα χειριζόταν τη συσκευή <Varnosklen> και δεν "
    L"την άφησε εγκαίρως. Δοκιμάστε ξανά σε λίγο.";

}  // namespace texts

namespace colours {

inline constexpr COLORREF WHITE = 0x00FFFFFF;
inline constexpr COLORREF ABSENT = 0x00C0C0FF;   // light red
inline constexpr COLORREF PRESENT = 0x00C0FFC0;  // light green
inline constexpr COLORREF LINK = 0x00FF0000;     // pure blue

}  // namespace colours
