// The program's one thread waits here: for its messages, and for the print
// switch's queue handle beside them, at no cost while neither comes.
#pragma once

#include <windows.h>

class Form1;

namespace messageloop {

// Waits up to timeout_ms for a message or the queue's handle and handles
// what came. False once WM_QUIT is taken, with its exit code.
bool HandleNext(Form1& form, int& exit_code, DWORD timeout_ms = INFINITE);

}  // namespace messageloop
