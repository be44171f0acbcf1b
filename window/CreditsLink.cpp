#include "window/CreditsLink.h"

#include <commctrl.h>

#include "window/Contrast.h"
#include "window/Texts.h"

namespace credits {

namespace {

// A group box does not pass its children's notifications on; the credits
// frame must, so that the link's clicks and colours reach the window.
LRESULT CALLBACK ForwardToParent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_NOTIFY: return SendMessageW(GetParent(hwnd), msg, wParam, lParam);
    case WM_ERASEBKGND: {
        // The window clips its children, so the frame paints its own inside.
        RECT inside;
        GetClientRect(hwnd, &inside);
        FillRect(reinterpret_cast<HDC>(wParam), &inside, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    case WM_NCDESTROY: RemoveWindowSubclass(hwnd, ForwardToParent, id); break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

bool Activates(WPARAM key) { return key == VK_RETURN || key == VK_SPACE; }

// The link answers Enter and Space while it has the focus, and shows it.
LRESULT CALLBACK LinkKeyboard(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
    case WM_GETDLGCODE: {
        const MSG* keys = reinterpret_cast<const MSG*>(lParam);
        if (keys && keys->message == WM_KEYDOWN && Activates(keys->wParam)) return DLGC_WANTMESSAGE;
        break;
    }
    case WM_KEYDOWN:
        if (!Activates(wParam)) break;
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), STN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, TRUE); break;
    case WM_PAINT: {
        const LRESULT painted = DefSubclassProc(hwnd, msg, wParam, lParam);
        if (GetFocus() == hwnd) {
            RECT r;
            GetClientRect(hwnd, &r);
            HDC dc = GetDC(hwnd);
            DrawFocusRect(dc, &r);
            ReleaseDC(hwnd, dc);
        }
        return painted;
    }
    case WM_NCDESTROY: RemoveWindowSubclass(hwnd, LinkKeyboard, id); break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace

HWND AttachLink(HWND owner, HWND frame, HWND link, const wchar_t* tool_tip) {
    SetWindowSubclass(frame, ForwardToParent, 0, 0);
    SetWindowSubclass(link, LinkKeyboard, 0, 0);
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, nullptr, nullptr);
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = frame;
    tool.uId = reinterpret_cast<UINT_PTR>(link);
    tool.lpszText = const_cast<wchar_t*>(tool_tip);
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    return tip;
}

void SetLinkTip(HWND tip, HWND frame, HWND link, const wchar_t* tool_tip) {
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = frame;
    tool.uId = reinterpret_cast<UINT_PTR>(link);
    tool.lpszText = const_cast<wchar_t*>(tool_tip);
    SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

COLORREF LinkColour(COLORREF background) {
    return contrast::Readable(background, {colours::LINK, GetSysColor(COLOR_HOTLIGHT), GetSysColor(COLOR_BTNTEXT)});
}

bool SetLinkCursor(HWND over, HWND link) {
    if (over != link) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

}  // namespace credits
