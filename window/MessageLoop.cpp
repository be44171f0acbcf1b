#include "window/MessageLoop.h"

#include "window/Form1.h"

namespace messageloop {

bool HandleNext(Form1& form, int& exit_code, DWORD timeout_ms) {
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
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
