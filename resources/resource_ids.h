// Resource ids shared by varnosklen.rc and the program's code.
#pragma once

#define IDI_MAIN 1
// The tray icon badged green, red and amber.
#define IDI_PRESENT 2
#define IDI_ABSENT 3
#define IDI_LIBRARY 4
