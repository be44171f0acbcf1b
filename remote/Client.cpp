// The front end's side of a request. user32 is bound here only once a running
// program is published: a command that finds none never loads it, and starts
// as quickly as a bare console program (user32 alone doubles that under Wine).
#include "remote/Link.h"

#include <type_traits>

namespace remote {

namespace {

// The pointer-sized window value: 32-bit user32 has no ...Ptr export, its
// LONG is already pointer-sized there.
using SetWindowLongPtrFunction = LONG_PTR(WINAPI*)(HWND, int, LONG_PTR);
using GetWindowLongPtrFunction = LONG_PTR(WINAPI*)(HWND, int);
constexpr bool POINTERS_ARE_LONGS = sizeof(LONG_PTR) == sizeof(LONG);
constexpr const char* SET_WINDOW_LONG_PTR = POINTERS_ARE_LONGS ? "SetWindowLongW" : "SetWindowLongPtrW";
constexpr const char* GET_WINDOW_LONG_PTR = POINTERS_ARE_LONGS ? "GetWindowLongW" : "GetWindowLongPtrW";

struct User32 {
    decltype(&::GetClassNameW) GetClassNameW;
    decltype(&::SendMessageTimeoutW) SendMessageTimeoutW;
    decltype(&::SendMessageW) SendMessageW;
    decltype(&::GetClassInfoExW) GetClassInfoExW;
    decltype(&::RegisterClassExW) RegisterClassExW;
    decltype(&::CreateWindowExW) CreateWindowExW;
    decltype(&::DestroyWindow) DestroyWindow;
    decltype(&::DefWindowProcW) DefWindowProcW;
    SetWindowLongPtrFunction SetLongPtr;
    GetWindowLongPtrFunction GetLongPtr;
    bool bound = false;

    // Once; the library stays loaded. user32 is a known system library, never
    // taken from any other folder.
    bool Bind() {
        HMODULE module = bound ? nullptr : LoadLibraryW(L"user32.dll");
        if (!module) return bound;
        bound = true;
        const auto bind = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(GetProcAddress(module, name));
            bound = bound && function;
        };
        bind(GetClassNameW, "GetClassNameW");
        bind(SendMessageTimeoutW, "SendMessageTimeoutW");
        bind(SendMessageW, "SendMessageW");
        bind(GetClassInfoExW, "GetClassInfoExW");
        bind(RegisterClassExW, "RegisterClassExW");
        bind(CreateWindowExW, "CreateWindowExW");
        bind(DestroyWindow, "DestroyWindow");
        bind(DefWindowProcW, "DefWindowProcW");
        bind(SetLongPtr, SET_WINDOW_LONG_PTR);
        bind(GetLongPtr, GET_WINDOW_LONG_PTR);
        return bound;
    }
} user32;

struct Pending {
    HWND program;
    Op op;
    Reply reply;
    bool answered;
};

LRESULT CALLBACK ReplyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_COPYDATA) return user32.DefWindowProcW(hwnd, msg, wParam, lParam);
    auto* pending = reinterpret_cast<Pending*>(user32.GetLongPtr(hwnd, GWLP_USERDATA));
    if (!pending || reinterpret_cast<HWND>(wParam) != pending->program ||
        !ReadReply(reinterpret_cast<const COPYDATASTRUCT*>(lParam), pending->op, pending->reply))
        return FALSE;
    pending->answered = true;
    return TRUE;
}

// The window SingleInstance publishes, if there is one.
HWND PublishedWindow() {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, INSTANCE_NAME);
    if (!mapping) return nullptr;
    HWND window = nullptr;
    if (const auto* published = static_cast<const LONG*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(LONG)))) {
        window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(*published));
        UnmapViewOfFile(published);
    }
    CloseHandle(mapping);
    wchar_t name[64] = {};
    if (!window || !user32.Bind() || !user32.GetClassNameW(window, name, 64)) return nullptr;
    return lstrcmpW(name, WINDOW_CLASS) == 0 ? window : nullptr;
}

}  // namespace

bool Ask(Op op, Reply& reply) {
    HWND program = PublishedWindow();
    DWORD_PTR result = 0;
    // A quick question first: a request that merely takes long must not be
    // taken for a window that does not answer.
    if (!program || !user32.SendMessageTimeoutW(program, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ANSWER_MS, &result))
        return false;

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {sizeof existing}, cls = {sizeof cls};
    cls.lpfnWndProc = ReplyWindowProc;
    cls.hInstance = instance;
    cls.lpszClassName = REPLY_CLASS;
    if (!user32.GetClassInfoExW(instance, REPLY_CLASS, &existing) && !user32.RegisterClassExW(&cls)) return false;
    HWND replyWindow =
        user32.CreateWindowExW(0, REPLY_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!replyWindow) return false;
    Pending pending = {program, op, {}, false};
    user32.SetLongPtr(replyWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pending));

    Request request = MakeRequest(op);
    COPYDATASTRUCT data = {REQUEST_TAG, sizeof request, &request};
    // No time limit: the window is carrying the request out, and a slow box
    // holds it as a call of our own would hold us. A window that goes ends
    // the wait. The reply comes as a message sent to replyWindow meanwhile.
    while ((result = user32.SendMessageW(program, WM_COPYDATA, reinterpret_cast<WPARAM>(replyWindow),
                                         reinterpret_cast<LPARAM>(&data))) == BUSY) {
        Sleep(BUSY_RETRY_MS);
    }
    user32.DestroyWindow(replyWindow);
    if (!result || !pending.answered) return false;
    reply = pending.reply;
    return true;
}

}  // namespace remote
