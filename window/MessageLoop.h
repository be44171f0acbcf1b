// The program's one window thread waits here for its messages, at no cost
// while none comes; the print switch's worker posts among them.
#pragma once

#include <windows.h>

#include "device/BoxLock.h"

class Form1;

namespace messageloop {

// Waits up to timeout_ms for a message and handles what came. False once
// WM_QUIT is taken, with its exit code.
bool HandleNext(Form1& form, int& exit_code, DWORD timeout_ms = INFINITE);

// A press's wait for the box's lock: the messages that come meanwhile are
// handled as the loop handles them, keys included, and the wait ends at its
// deadline however many keep coming. WM_QUIT is posted again for the loop.
class LockWait final : public device::Waiter {
public:
    explicit LockWait(Form1& form) : form_(form) {}
    DWORD Wait(HANDLE object, DWORD wait_ms) override;

private:
    Form1& form_;
};

}  // namespace messageloop
