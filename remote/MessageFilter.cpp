// Both ends let the other's WM_COPYDATA in, whatever their integrity levels.
// Bound by name: user32 need not be loaded by a command that finds no program.
#include "remote/Link.h"

namespace remote {

void AcceptCopyDataFromAnyLevel(HWND window) {
    using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    const auto filter =
        reinterpret_cast<Filter>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx"));
    if (filter) filter(window, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
}

}  // namespace remote
