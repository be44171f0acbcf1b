#include "window/MessageLoop.h"

#include "window/Form1.h"

namespace messageloop {

namespace {

// The window's keys first: its shortcuts, and Tab, Enter and Esc in it and
// in the settings window.
void Handle(Form1& form, MSG& msg) {
    if (form.TranslateKeys(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

bool HandleNext(Form1& form, int& exit_code, DWORD timeout_ms) {
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            exit_code = static_cast<int>(msg.wParam);
            return false;
        }
        Handle(form, msg);
    }
    return true;
}

// Windows ghosts a window that reads no messages for five seconds, and the
// taskbar's and the system's broadcasts queue behind it: the wait goes on
// reading them, one at a time, so that neither a stream of them nor a slow
// one keeps it past its deadline. The lock, once free, comes before them.
DWORD LockWait::Wait(HANDLE object, DWORD wait_ms) {
    const ULONGLONG deadline = GetTickCount64() + wait_ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        const DWORD waited = MsgWaitForMultipleObjectsEx(1, &object, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (waited != WAIT_OBJECT_0 + 1) return waited;
        if (!left) return WAIT_TIMEOUT;  // the lock was looked at first
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
        // The end of the program: its loop sees the message again.
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return WAIT_TIMEOUT;
        }
        Handle(form_, msg);
    }
}

}  // namespace messageloop
