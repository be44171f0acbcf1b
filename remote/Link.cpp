#include "remote/Link.h"

namespace remote {

bool IsWindowOfClass(HWND window, const wchar_t* cls) {
    wchar_t name[64] = {};
    return window && GetClassNameW(window, name, 64) && lstrcmpW(name, cls) == 0;
}

bool SendReply(HWND reply_to, HWND from, const Reply& reply) {
    if (!IsWindowOfClass(reply_to, REPLY_CLASS)) return false;
    Reply copy = reply;
    COPYDATASTRUCT data = {REPLY_TAG, sizeof copy, &copy};
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(reply_to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, ANSWER_MS, &result) &&
           result;
}

}  // namespace remote
