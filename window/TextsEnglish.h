// The program's English texts, for every display language but Greek: as short
// as the Greek ones and in the same tone. The caption, the web address, the
// designer's name and the date are the same in both languages.
#pragma once

namespace texts::english {

inline constexpr wchar_t FRAME1[] = L" Design: ";
inline constexpr wchar_t LABEL2_TOOLTIP[] = L"Click here to visit my website.";
inline constexpr wchar_t SEARCHING[] = L"Looking for the device  < Varnosklen > ...";
inline constexpr wchar_t COMMAND1[] = L"Connect to the shared USB peripheral";
inline constexpr wchar_t LABEL3[] = L"Status:";

inline constexpr wchar_t ABSENT[] =
    L" The device <Varnosklen> was not found, so you must already be connected to the shared USB peripheral "
    L"(e.g. a USB printer) ";
inline constexpr wchar_t PRESENT[] = L" The device <Varnosklen> was found! ";
inline constexpr wchar_t SHORT_ABSENT[] = L" The device < Varnosklen > was not found ";
inline constexpr wchar_t SHORT_PRESENT[] = L" The device < Varnosklen > was found! ";

inline constexpr wchar_t LIBRARY_MISSING[] = L" The device's library AVR309.dll was not found ";
inline constexpr wchar_t LIBRARY_INCOMPLETE[] = L" The device's library AVR309.dll is incomplete or old ";
inline constexpr const wchar_t* LIBRARY_OTHER_ARCHITECTURE =
    sizeof(void*) == 4 ? L" The device's library AVR309.dll is 64-bit, while the program is 32-bit and cannot load it "
                       : L" The device's library AVR309.dll is 32-bit, while the program is 64-bit and cannot load it ";

inline constexpr wchar_t MNU_TRAY_RESTORE[] = L"Open Varnosklen";
inline constexpr wchar_t MNU_TRAY_CLOSE[] = L"Exit";
inline constexpr wchar_t MNU_TRAY_START_WITH_WINDOWS[] = L"Start with Windows";
// Plain ASCII: every 8-bit code page holds it, so the tip goes in the 8-bit record.
inline constexpr wchar_t TRAY_TIP[] = L"<Varnosklen>. Click here to show the program";
inline constexpr wchar_t MNU_SETTINGS[] = L"Settings…";
inline constexpr wchar_t SYSTEM_MENU_SETTINGS[] = L"Settings…\tCtrl+,";

inline constexpr wchar_t HOTKEY_NOT_ALLOWED[] =
    L"This combination cannot be a shortcut key: it would catch ordinary typing, or its key is not supported. "
    L"Choose Ctrl or Alt with a letter, a digit, an arrow or one of F1–F24, Space, Insert, Delete, Home, End, "
    L"PageUp, PageDown, Pause; F1–F24 are also accepted alone.";
inline constexpr wchar_t HOTKEY_TAKEN[] =
    L"Another program already uses %s. Choose another one; the previous one stays in force.";

inline constexpr wchar_t NOTICE_LEFT_BUS[] =
    L"The device <Varnosklen> has left the bus: the shared USB peripheral is now connected to this computer.";
inline constexpr wchar_t NOTICE_BACK_ON_BUS[] =
    L"The device <Varnosklen> is back on the bus: the shared USB peripheral has gone over to the other computer.";
inline constexpr wchar_t NOTICE_LIBRARY_MISSING[] =
    L"The library AVR309.dll can no longer be found: the program cannot see the device or change the connection.";
inline constexpr wchar_t NOTICE_LIBRARY_INCOMPLETE[] =
    L"The library AVR309.dll is now incomplete or old: the program cannot see the device or change the connection.";
inline constexpr const wchar_t* NOTICE_LIBRARY_OTHER_ARCHITECTURE =
    sizeof(void*) == 4 ? L"The library AVR309.dll found now is 64-bit: the program cannot load it, see the device or "
                         L"change the connection."
                       : L"The library AVR309.dll found now is 32-bit: the program cannot load it, see the device or "
                         L"change the connection.";
inline constexpr wchar_t NOTICE_LIBRARY_BACK_PRESENT[] =
    L"The library AVR309.dll is found again and the device <Varnosklen> is on the bus: the shared USB peripheral "
    L"is at the other computer.";
inline constexpr wchar_t NOTICE_LIBRARY_BACK_ABSENT[] =
    L"The library AVR309.dll is found again and the device <Varnosklen> is not on the bus: the shared USB "
    L"peripheral is connected to this computer.";

inline constexpr wchar_t SETTINGS_CAPTION[] = L"Varnosklen settings";
inline constexpr wchar_t SETTINGS_HOTKEY_LABEL[] = L"Shortcut key for connecting to the shared peripheral:";
inline constexpr wchar_t SETTINGS_NO_HOTKEY[] = L"None";
inline constexpr wchar_t SETTINGS_START_WITH_WINDOWS[] = L"Start with Windows";
inline constexpr wchar_t SETTINGS_NOTIFICATIONS[] = L"Notify me when the device changes state";
inline constexpr wchar_t SETTINGS_LANGUAGE_LABEL[] = L"Language:";
inline constexpr wchar_t SETTINGS_LANGUAGE_AUTOMATIC[] = L"Automatic";
inline constexpr wchar_t SETTINGS_CANCEL[] = L"Cancel";

inline constexpr wchar_t SETTINGS_PRINTER_LABEL[] = L"Connect automatically when I print to the printer:";
inline constexpr wchar_t PRINTER_NONE[] = L"(none)";
inline constexpr wchar_t PRINTER_GONE[] = L"%s (no longer exists)";
inline constexpr wchar_t PRINT_SWITCH_UNAVAILABLE[] =
    L"Connecting automatically is not available: Windows does not tell the program of this printer's jobs.";
inline constexpr wchar_t NOTICE_PRINT_SWITCHED[] =
    L"The shared USB peripheral has been connected to this computer for your print job.";
inline constexpr wchar_t NOTICE_PRINT_WAITS[] =
    L"Your print job is waiting: the shared USB peripheral could not be connected to this computer automatically. "
    L"Press \"Connect to the shared USB peripheral\".";
inline constexpr wchar_t PRINTER_CONNECTION[] = L"%s (a connection to another computer's printer)";
inline constexpr wchar_t NOTICE_PRINT_SWITCHED_OFFLINE[] =
    L"The shared USB device has been connected to this computer for your print job. The printer is set to use "
    L"the printer offline: the job waits until that is turned off.";

}  // namespace texts::english
