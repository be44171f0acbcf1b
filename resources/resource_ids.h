// Resource ids shared by varnosklen.rc and the program's code.
#pragma once

#define IDI_MAIN 1
// The tray icon badged green, red and amber.
#define IDI_PRESENT 2
#define IDI_ABSENT 3
#define IDI_LIBRARY 4

// The settings dialog and its controls.
#define IDD_SETTINGS 100
#define IDC_SETTINGS_HOTKEY 1001
#define IDC_SETTINGS_NO_HOTKEY 1002
#define IDC_SETTINGS_START_WITH_WINDOWS 1003
#define IDC_SETTINGS_NOTIFICATIONS 1004
#define IDC_SETTINGS_HOTKEY_LABEL 1005
#define IDC_SETTINGS_LANGUAGE_LABEL 1006
#define IDC_SETTINGS_LANGUAGE 1007
// The print switch: its label, the printer list and the sentence when the
// spooler gives no notifications.
#define IDC_SETTINGS_PRINTER_LABEL 1008
#define IDC_SETTINGS_PRINTER 1009
#define IDC_SETTINGS_PRINTER_NOTE 1010
// The main window's keyboard shortcuts, and the command of its settings one.
#define IDA_MAIN 1
#define IDM_SETTINGS 206
