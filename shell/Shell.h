// A small shell launcher: open a file or address with the user's handler.
#pragma once

namespace Shell {

// Asks the shell, with no owner window, to apply verb to file. The strings go
// through the system's 8-bit code page; a null parameters or directory means
// none. True when the shell reports success (a result above 32).
bool ShellOpen(const wchar_t* file, const wchar_t* verb, const wchar_t* parameters, const wchar_t* directory, int show);

}  // namespace Shell
