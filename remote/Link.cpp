#include "remote/Link.h"

namespace remote {

namespace {

struct Pending {
    HWND program;
    Op op;
    Reply reply;
    bool answered;
};

LRESULT CALLBACK ReplyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_COPYDATA) return DefWindowProcW(hwnd, msg, wParam, lParam);
    auto* pending = reinterpret_cast<Pending*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!pending || reinterpret_cast<HWND>(wParam) != pending->program ||
        !ReadReply(reinterpret_cast<const COPYDATASTRUCT*>(lParam), pending->op, pending->reply))
        return FALSE;
    pending->answered = true;
    return TRUE;
}

HWND PublishedWindow() {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, INSTANCE_NAME);
    if (!mapping) return nullptr;
    HWND window = nullptr;
    if (const auto* published = static_cast<const LONG*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(LONG)))) {
        window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(*published));
        UnmapViewOfFile(published);
    }
    CloseHandle(mapping);
    return IsWindowOfClass(window, WINDOW_CLASS) ? window : nullptr;
}

}  // namespace

bool IsWindowOfClass(HWND window, const wchar_t* cls) {
    wchar_t name[64] = {};
    return window && GetClassNameW(window, name, 64) && lstrcmpW(name, cls) == 0;
}

bool Ask(Op op, Reply& reply) {
    HWND program = PublishedWindow();
    DWORD_PTR result = 0;
    // A quick question first: a request that merely takes long must not be
    // taken for a window that does not answer.
    if (!program || !SendMessageTimeoutW(program, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ANSWER_MS, &result)) return false;

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW cls = {sizeof cls};
    cls.lpfnWndProc = ReplyWindowProc;
    cls.hInstance = instance;
    cls.lpszClassName = REPLY_CLASS;
    if (!GetClassInfoExW(instance, REPLY_CLASS, &cls) && !RegisterClassExW(&cls)) return false;
    HWND replyWindow = CreateWindowExW(0, REPLY_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!replyWindow) return false;
    Pending pending = {program, op, {}, false};
    SetWindowLongPtrW(replyWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pending));

    Request request = MakeRequest(op);
    COPYDATASTRUCT data = {REQUEST_TAG, sizeof request, &request};
    // No time limit: the window is carrying the request out, and a slow box
    // holds it as a call of our own would hold us. A window that goes ends
    // the wait. The reply comes as a message sent to replyWindow meanwhile.
    result = SendMessageW(program, WM_COPYDATA, reinterpret_cast<WPARAM>(replyWindow), reinterpret_cast<LPARAM>(&data));
    DestroyWindow(replyWindow);
    if (!result || !pending.answered) return false;
    reply = pending.reply;
    return true;
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
