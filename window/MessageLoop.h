// The program's one window thread waits here for its messages, at no cost
// while none comes; the print switch's worker posts among them.
#pragma once

#include <windows.h>

class Form1;

namespace messageloop {

// Waits up to timeout_ms for a message and handles what came. False once
// WM_QUIT is taken, with its exit code.
bool HandleNext(Form1& form, int& exit_code, DWORD timeout_ms = INFINITE);

}  // namespace messageloop
