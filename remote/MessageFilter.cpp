// Lets the other end's WM_COPYDATA in when this end runs elevated, where the
// system's message filter would keep a Medium one out. A Medium end opens
// nothing: a Low process's messages stay out, as Windows keeps them.
// Bound by name: user32 need not be loaded by a command that finds no program.
#include "remote/Link.h"
#include "remote/Trust.h"

namespace remote {

void AcceptCopyDataWhenElevated(HWND window) {
    if (!RunsElevated()) return;
    using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    const auto filter =
        reinterpret_cast<Filter>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx"));
    if (filter) filter(window, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
}

}  // namespace remote
