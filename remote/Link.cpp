#include "remote/Link.h"

namespace remote {

bool IsWindowOfClass(HWND window, const wchar_t* cls) {
    wchar_t name[64] = {};
    return window && GetClassNameW(window, name, 64) && lstrcmpW(name, cls) == 0;
}

bool OfferAnswer(HWND reply_to, HWND from, const Answer& answer) {
    if (!IsWindowOfClass(reply_to, REPLY_CLASS)) return false;
    Answer copy = answer;
    COPYDATASTRUCT data = {ANSWER_TAG, sizeof copy, &copy};
    DWORD_PTR taken = FALSE;
    // Never "abort if hung": Windows may judge the asker's thread hung, as it
    // reads no messages of its own between requests, and drop every answer.
    // Messages sent to this thread meanwhile are handled (the caller keeps
    // other work out), so that the window never stops answering.
    return SendMessageTimeoutW(reply_to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data),
                               SMTO_NORMAL, ANSWER_MS, &taken) &&
           taken == TRUE;
}

}  // namespace remote
