#include "cli/SessionEnd.h"

#include <type_traits>

#include "device/BoxLock.h"

namespace cli {

namespace {

// Bound by name: the command line loads user32 only when it needs it.
struct User32 {
    decltype(&::RegisterClassExW) RegisterClassExW;
    decltype(&::CreateWindowExW) CreateWindowExW;
    decltype(&::DestroyWindow) DestroyWindow;
    decltype(&::DefWindowProcW) DefWindowProcW;
    decltype(&::MsgWaitForMultipleObjects) MsgWaitForMultipleObjects;
    decltype(&::PeekMessageW) PeekMessageW;
    decltype(&::DispatchMessageW) DispatchMessageW;
    bool bound = false;

    bool Bind() {
        // A known system library, never taken from any other folder.
        const HMODULE module = LoadLibraryW(L"user32.dll");
        bound = module != nullptr;
        const auto bind = [&](auto& function, const char* name) {
            function = bound
                           ? reinterpret_cast<std::remove_reference_t<decltype(function)>>(GetProcAddress(module, name))
                           : nullptr;
            bound = bound && function;
        };
        bind(RegisterClassExW, "RegisterClassExW");
        bind(CreateWindowExW, "CreateWindowExW");
        bind(DestroyWindow, "DestroyWindow");
        bind(DefWindowProcW, "DefWindowProcW");
        bind(MsgWaitForMultipleObjects, "MsgWaitForMultipleObjects");
        bind(PeekMessageW, "PeekMessageW");
        bind(DispatchMessageW, "DispatchMessageW");
        return bound;
    }
} user32;

HWND window = nullptr;
int exitCode = 0;
bool waiting = false;  // between sequences: the end may come now
bool ending = false;   // the session ends: at the next wait

// Asked, the session may end; once it does, the process ends, never in the
// middle of a sequence (a library that runs messages inside one defers it).
LRESULT CALLBACK SessionWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_QUERYENDSESSION) return TRUE;
    if (msg != WM_ENDSESSION) return user32.DefWindowProcW(hwnd, msg, wParam, lParam);
    if (!wParam) return 0;
    if (waiting) device::BoxLock::ExitBetweenSequences(static_cast<UINT>(exitCode));
    ending = true;
    return 0;
}

}  // namespace

SessionEnd::SessionEnd(int exit_code) {
    exitCode = exit_code;
    if (!user32.Bind()) return;
    WNDCLASSEXW cls = {sizeof cls};
    cls.lpfnWndProc = SessionWindowProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = SESSION_WINDOW_CLASS;
    user32.RegisterClassExW(&cls);
    // Top-level, never shown: a message-only window hears no broadcast.
    window = user32.CreateWindowExW(0, SESSION_WINDOW_CLASS, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, cls.hInstance,
                                    nullptr);
}

SessionEnd::~SessionEnd() {
    if (window) user32.DestroyWindow(window);
    window = nullptr;
}

void SessionEnd::Wait(DWORD ms) {
    if (!window) {
        Sleep(ms);
        return;
    }
    if (ending) device::BoxLock::ExitBetweenSequences(static_cast<UINT>(exitCode));
    const ULONGLONG deadline = GetTickCount64() + ms;
    waiting = true;
    for (ULONGLONG now; (now = GetTickCount64()) < deadline;) {
        user32.MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        MSG msg;
        while (user32.PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) user32.DispatchMessageW(&msg);
    }
    waiting = false;
}

}  // namespace cli
