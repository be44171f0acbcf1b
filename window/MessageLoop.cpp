#include "window/MessageLoop.h"

#include "window/Form1.h"

namespace messageloop {

// A signalled handle comes before waiting input (the lower index wins), so a
// busy stream of messages never starves the queue; the handle is taken as
// soon as it is signalled and reset by the form.
bool HandleNext(Form1& form, int& exit_code, DWORD timeout_ms) {
    HANDLE change = form.PrinterChangeHandle();
    const DWORD handles = change ? 1 : 0;
    const DWORD woke = MsgWaitForMultipleObjectsEx(handles, &change, timeout_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (handles && woke == WAIT_OBJECT_0) {
        form.PrinterQueueChanged();
        return true;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            exit_code = static_cast<int>(msg.wParam);
            return false;
        }
        if (form.TranslateKeys(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

}  // namespace messageloop
