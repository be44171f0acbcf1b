// The front end's side of a request. user32 is bound here only once a running
// program is published: a command that finds none never loads it, and starts
// as quickly as a bare console program (user32 alone doubles that under Wine).
#include <type_traits>

#include "remote/Link.h"
#include "remote/Trust.h"

namespace remote {

namespace {

// The pointer-sized window value: 32-bit user32 has no ...Ptr export, its
// LONG is already pointer-sized there.
using SetWindowLongPtrFunction = LONG_PTR(WINAPI*)(HWND, int, LONG_PTR);
using GetWindowLongPtrFunction = LONG_PTR(WINAPI*)(HWND, int);
constexpr bool POINTERS_ARE_LONGS = sizeof(LONG_PTR) == sizeof(LONG);
constexpr const char* SET_WINDOW_LONG_PTR = POINTERS_ARE_LONGS ? "SetWindowLongW" : "SetWindowLongPtrW";
constexpr const char* GET_WINDOW_LONG_PTR = POINTERS_ARE_LONGS ? "GetWindowLongW" : "GetWindowLongPtrW";

// A program starting up has published nothing yet, or one ending no window.
constexpr DWORD PUBLISH_POLL_MS = 20;

struct User32 {
    decltype(&::GetClassNameW) GetClassNameW;
    decltype(&::GetWindowThreadProcessId) GetWindowThreadProcessId;
    decltype(&::SendMessageTimeoutW) SendMessageTimeoutW;
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
        bind(GetWindowThreadProcessId, "GetWindowThreadProcessId");
        bind(SendMessageTimeoutW, "SendMessageTimeoutW");
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

// The request under way, as its reply window sees it.
struct Pending {
    HWND program;
    Request request;
    Answer answer;
    bool answered;   // the window's answer was taken: it carries the request out
    bool withdrawn;  // given up: an answer coming now is refused, and nothing is done
};

// An answer is taken only from the program's process: it names the
// program's window, and it carries the request's random id, which only the
// process the request went to has seen.
LRESULT CALLBACK ReplyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_COPYDATA) return user32.DefWindowProcW(hwnd, msg, wParam, lParam);
    auto* pending = reinterpret_cast<Pending*>(user32.GetLongPtr(hwnd, GWLP_USERDATA));
    if (!pending || pending->withdrawn || pending->answered || reinterpret_cast<HWND>(wParam) != pending->program ||
        !ReadAnswer(reinterpret_cast<const COPYDATASTRUCT*>(lParam), pending->request, pending->answer))
        return FALSE;
    pending->answered = true;
    return TRUE;
}

ULONGLONG Now() { return GetTickCount64(); }

DWORD Left(ULONGLONG deadline) {
    const ULONGLONG now = Now();
    return now < deadline ? static_cast<DWORD>(deadline - now) : 0;
}

// The published program: its window and its process, open for waiting.
struct Running {
    HWND window = nullptr;
    HANDLE process = nullptr;
    ~Running() {
        if (process) CloseHandle(process);
    }
    bool Ended() const { return !process || WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }
};

bool ReadPublished(Published& published) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, INSTANCE_NAME);
    if (!mapping) return false;
    const auto* view = static_cast<const Published*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(Published)));
    if (view) {
        published = *view;
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return view != nullptr;
}

// Waits, until the deadline, for a program that is starting up to publish its
// window. False when none runs, the one published has ended, or it is not
// one to believe (remote/Trust.h): then as if none ran, and user32 unloaded.
bool FindProgram(Running& running, ULONGLONG deadline) {
    Published published = {};
    if (!ReadPublished(published) || !published.processId) return false;
    const DWORD program = static_cast<DWORD>(published.processId);
    running.process = OpenProcess(SYNCHRONIZE, FALSE, program);
    if (running.Ended() || !Trusts(program) || !user32.Bind()) return false;
    for (;;) {
        ReadPublished(published);
        running.window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(published.window));
        wchar_t name[64] = {};
        DWORD owner = 0;
        if (running.window && user32.GetClassNameW(running.window, name, 64) && lstrcmpW(name, WINDOW_CLASS) == 0 &&
            user32.GetWindowThreadProcessId(running.window, &owner) && owner == program)
            return true;
        if (running.Ended()) return false;
        running.window = nullptr;
        if (!Left(deadline)) return true;  // there, but without a window to ask: busy
        Sleep(PUBLISH_POLL_MS);
    }
}

HWND CreateReplyWindow(Pending& pending) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {sizeof existing}, cls = {sizeof cls};
    cls.lpfnWndProc = ReplyWindowProc;
    cls.hInstance = instance;
    cls.lpszClassName = REPLY_CLASS;
    if (!user32.GetClassInfoExW(instance, REPLY_CLASS, &existing) && !user32.RegisterClassExW(&cls)) return nullptr;
    HWND reply = user32.CreateWindowExW(0, REPLY_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!reply) return nullptr;
    user32.SetLongPtr(reply, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pending));
    // The answer of a Medium program to this command run elevated.
    AcceptCopyDataWhenElevated(reply);
    return reply;
}

// From the system's preferred generator (bcrypt, from the system folder).
bool RandomId(uint32_t& id) {
    using GenRandom = LONG(WINAPI*)(void*, PUCHAR, ULONG, ULONG);
    constexpr ULONG USE_SYSTEM_PREFERRED_RNG = 0x00000002;
    static const GenRandom generate = [] {
        wchar_t file[MAX_PATH];
        const UINT length = GetSystemDirectoryW(file, MAX_PATH - 12);
        if (length == 0 || length >= MAX_PATH - 12) return GenRandom{};
        lstrcpyW(file + length, L"\\bcrypt.dll");
        const HMODULE bcrypt = LoadLibraryW(file);
        return bcrypt ? reinterpret_cast<GenRandom>(GetProcAddress(bcrypt, "BCryptGenRandom")) : GenRandom{};
    }();
    return generate && generate(nullptr, reinterpret_cast<PUCHAR>(&id), sizeof id, USE_SYSTEM_PREFERRED_RNG) == 0;
}

}  // namespace

Asked Ask(Op op, Answer& answer) {
    const ULONGLONG deadline = Now() + ANSWER_MS;
    Running running;
    if (!FindProgram(running, deadline)) return Asked::NoProgram;
    if (!running.window) return Asked::Busy;

    uint32_t id = 0;
    if (!RandomId(id)) return Asked::Busy;
    Pending pending = {running.window, MakeRequest(op, id), {}, false, false};
    HWND reply = CreateReplyWindow(pending);
    if (!reply) return Asked::Busy;
    COPYDATASTRUCT data = {REQUEST_TAG, sizeof pending.request, &pending.request};
    DWORD_PTR result = FALSE;
    bool done = false;
    DWORD error = ERROR_SUCCESS;
    // The answer comes as a message to the reply window while this waits.
    while (!pending.answered && Left(deadline)) {
        done = user32.SendMessageTimeoutW(running.window, WM_COPYDATA, reinterpret_cast<WPARAM>(reply),
                                          reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, Left(deadline), &result);
        error = done ? ERROR_SUCCESS : GetLastError();
        if (!done || result != BUSY) break;
        Sleep(BUSY_RETRY_MS);
    }
    // From here on an answer is refused, and the window does nothing.
    pending.withdrawn = true;
    user32.DestroyWindow(reply);
    if (pending.answered) {
        answer = pending.answer;
        // A probe is done once answered; a press, once the window answers
        // again. One that hung or ended first may or may not have pressed.
        const bool pressing = op == Op::Switch && answer.state == static_cast<uint32_t>(device::DeviceState::Present);
        if (!pressing) return Asked::Answered;
        const bool finished =
            done ? result == TRUE
                 : user32.SendMessageTimeoutW(running.window, WM_NULL, 0, 0, SMTO_NORMAL, FINISH_MS, &result) != 0;
        return finished ? Asked::Answered : Asked::Unconfirmed;
    }
    // Refused by the window, or by Windows before it: a message to a window
    // of a higher integrity level fails with access denied (UIPI).
    if ((done && result == REFUSED) || error == ERROR_ACCESS_DENIED) return Asked::Refused;
    return running.Ended() ? Asked::NoProgram : Asked::Busy;
}

}  // namespace remote
