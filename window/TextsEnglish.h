// The program's English texts, for every display language but Greek. One
// name for each thing: the box is "the Varnosklen switch" ("the switch" once
// named), what it shares "the shared USB device". Plain English typography:
// no angle brackets, doubled blanks or exclamation marks. The caption and the
// web address are the same in both languages; the designer's name is
// transliterated.
#pragma once

namespace texts::english {

inline constexpr wchar_t FRAME1[] = L" Design: ";
inline constexpr wchar_t LABEL1[] = L"December 2026 - Nikos Varnas";
inline constexpr wchar_t LABEL2_TOOLTIP[] = L"Click here to visit my website.";
inline constexpr wchar_t SEARCHING[] = L"Looking for the Varnosklen switch...";
// Two lines at most in the button at every DPI.
inline constexpr wchar_t COMMAND1[] = L"Connect the shared USB device";
inline constexpr wchar_t LABEL3[] = L"Status:";

inline constexpr wchar_t ABSENT[] =
    L" The Varnosklen switch was not found, so the shared USB device (a USB printer, for example) should already be "
    L"connected to this PC ";
inline constexpr wchar_t PRESENT[] = L" The Varnosklen switch was found. ";
inline constexpr wchar_t SHORT_ABSENT[] = L" The Varnosklen switch was not found ";
inline constexpr wchar_t SHORT_PRESENT[] = L" The Varnosklen switch was found ";

// Each says what to do about it.
inline constexpr wchar_t LIBRARY_MISSING[] =
    L" The switch's library AVR309.dll was not found. Put the vendor's AVR309.dll beside Varnosklen.exe ";
inline constexpr wchar_t LIBRARY_INCOMPLETE[] =
    L" The switch's library AVR309.dll is incomplete or old. Replace it with the vendor's AVR309.dll ";
inline constexpr const wchar_t* LIBRARY_OTHER_ARCHITECTURE =
    sizeof(void*) == 4 ? L" The AVR309.dll found is 64-bit, and this 32-bit program cannot load it. Put the vendor's "
                         L"32-bit AVR309.dll beside Varnosklen.exe "
                       : L" The AVR309.dll found is 32-bit, and this 64-bit program cannot load it. Put the vendor's "
                         L"64-bit AVR309.dll beside Varnosklen.exe ";

inline constexpr wchar_t MNU_TRAY_RESTORE[] = L"Open Varnosklen";
inline constexpr wchar_t MNU_TRAY_CLOSE[] = L"Exit";
inline constexpr wchar_t MNU_TRAY_START_WITH_WINDOWS[] = L"Start with Windows";
// Plain ASCII: every 8-bit code page holds it, so the tip goes in the 8-bit record.
inline constexpr wchar_t TRAY_TIP[] = L"Varnosklen. Click here to show the program";
inline constexpr wchar_t MNU_SETTINGS[] = L"Settings…";
inline constexpr wchar_t SYSTEM_MENU_SETTINGS[] = L"Settings…\tCtrl+,";

inline constexpr wchar_t HOTKEY_NOT_ALLOWED[] =
    L"This combination cannot be a shortcut key: you need it for typing, or its key is not supported. "
    L"Use Ctrl or Alt with a letter, a digit, an arrow key or one of F1–F24, Space, Insert, Delete, Home, End, "
    L"Page Up, Page Down or Pause; F1–F24 also work alone.";
inline constexpr wchar_t HOTKEY_TAKEN[] =
    L"Another program already uses %s. Choose another combination; the shortcut key stays as it was.";

// Each leads with what changed for the user.
inline constexpr wchar_t NOTICE_LEFT_BUS[] =
    L"The shared USB device is now connected to this PC (the Varnosklen switch has left the bus).";
inline constexpr wchar_t NOTICE_BACK_ON_BUS[] =
    L"The shared USB device is now connected to the other PC (the Varnosklen switch is back on the bus).";
inline constexpr wchar_t NOTICE_LIBRARY_MISSING[] =
    L"The Varnosklen switch can no longer be seen or switched: its library AVR309.dll is missing. Put the vendor's "
    L"AVR309.dll beside Varnosklen.exe.";
inline constexpr wchar_t NOTICE_LIBRARY_INCOMPLETE[] =
    L"The Varnosklen switch can no longer be seen or switched: its library AVR309.dll is incomplete or old. Replace "
    L"it with the vendor's AVR309.dll.";
inline constexpr const wchar_t* NOTICE_LIBRARY_OTHER_ARCHITECTURE =
    sizeof(void*) == 4 ? L"The Varnosklen switch can no longer be seen or switched: the AVR309.dll found is 64-bit, "
                         L"and this 32-bit program cannot load it. Put the vendor's 32-bit AVR309.dll beside "
                         L"Varnosklen.exe."
                       : L"The Varnosklen switch can no longer be seen or switched: the AVR309.dll found is 32-bit, "
                         L"and this 64-bit program cannot load it. Put the vendor's 64-bit AVR309.dll beside "
                         L"Varnosklen.exe.";
inline constexpr wchar_t NOTICE_LIBRARY_BACK_PRESENT[] =
    L"The Varnosklen switch can be used again (AVR309.dll is found): the shared USB device is connected to the "
    L"other PC.";
inline constexpr wchar_t NOTICE_LIBRARY_BACK_ABSENT[] =
    L"AVR309.dll is found again and the Varnosklen switch is not on the bus: the shared USB device is connected to "
    L"this PC.";

inline constexpr wchar_t SETTINGS_CAPTION[] = L"Varnosklen settings";
inline constexpr wchar_t SETTINGS_HOTKEY_LABEL[] = L"Shortcut key that connects the shared USB device:";
inline constexpr wchar_t SETTINGS_NO_HOTKEY[] = L"Clear";
inline constexpr wchar_t SETTINGS_START_WITH_WINDOWS[] = L"Start with Windows";
inline constexpr wchar_t SETTINGS_NOTIFICATIONS[] = L"Show a notification when the connection changes";
inline constexpr wchar_t SETTINGS_LANGUAGE_LABEL[] = L"Language:";
inline constexpr wchar_t SETTINGS_LANGUAGE_AUTOMATIC[] = L"Automatic";
inline constexpr wchar_t SETTINGS_CANCEL[] = L"Cancel";

inline constexpr wchar_t SETTINGS_PRINTER_LABEL[] = L"Connect automatically when I print to:";
inline constexpr wchar_t PRINTER_NONE[] = L"(none)";
inline constexpr wchar_t PRINTER_GONE[] = L"%s (no longer exists)";
inline constexpr wchar_t PRINT_SWITCH_UNAVAILABLE[] =
    L"Varnosklen cannot connect automatically for this printer: Windows does not report its print jobs. Choose "
    L"another printer, or press \"Connect the shared USB device\" before you print.";
inline constexpr wchar_t NOTICE_PRINT_SWITCHED[] =
    L"The shared USB device is now connected to this PC for your print job.";
inline constexpr wchar_t NOTICE_PRINT_WAITS[] =
    L"Your print job is waiting: the shared USB device could not be connected to this PC automatically. "
    L"Press \"Connect the shared USB device\".";

inline constexpr wchar_t PRESS_NOT_MADE[] =
    L" The Varnosklen switch was busy with another program: the connection was not made ";
inline constexpr wchar_t NOTICE_PRESS_NOT_MADE[] =
    L"The shared USB device was not connected: another program was using the Varnosklen switch and did not let it "
    L"go in time. Try again shortly.";
inline constexpr wchar_t PRINTER_CONNECTION[] = L"%s (a connection to another computer's printer)";
inline constexpr wchar_t NOTICE_PRINT_SWITCHED_OFFLINE[] =
    L"The shared USB device is now connected to this PC for your print job. The printer is set to \"Use Printer "
    L"Offline\": the job waits until you turn that off.";

}  // namespace texts::english
