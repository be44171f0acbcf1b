// A small window to play the AVR309 box: where the line goes, the registers,
// the latest calls, and the box's own push button.
#include <windows.h>
#include <cwchar>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>

#include "channel.h"

namespace {
using namespace standin;

enum : int {
    ID_LINE = 100,
    ID_DIRECTION,
    ID_OUTPUT,
    ID_COUNT,
    ID_CALLS,
    ID_ON_BUS,
    ID_OFF_BUS,
    ID_RESET,
    ID_STATUS_LABEL,
    ID_STATUS,
    ID_FORCE
};
constexpr int CALLS_SHOWN = 12;

struct GdiDelete {
    void operator()(HFONT f) const { DeleteObject(f); }
};
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDelete>;

Channel* g_channel;
Font g_font;
LONG g_shownCalls = -1;

std::wstring registerText(const wchar_t* name, LONG value) {
    wchar_t bits[9];
    for (int i = 0; i < 8; ++i) bits[i] = (value >> (7 - i)) & 1 ? L'1' : L'0';
    bits[8] = 0;
    wchar_t text[64];
    std::swprintf(text, 64, L"%ls: 0x%02X  (%ls)", name, static_cast<unsigned>(value & 0xFF), bits);
    return text;
}

std::wstring callText(LONG index, const CallRecord& r) {
    const char* name = r.op < OP_COUNT ? OP_NAMES[r.op] : "?";
    wchar_t text[128];
    if (isRead(static_cast<Op>(r.op)))
        std::swprintf(text, 128, L"%ld\t%hs \u2192 0x%02X\tstatus %d%ls", index, name, r.byteOut, r.status,
                      r.onBusBefore ? L"" : L"  (off the bus)");
    else
        std::swprintf(text, 128, L"%ld\t%hs(0x%02X)\tstatus %d%ls", index, name, r.byteIn, r.status,
                      r.onBusBefore ? L"" : L"  (off the bus)");
    return text;
}

// Only touch what changed, so nothing flickers at ten refreshes a second.
void setText(HWND window, int id, const std::wstring& text) {
    HWND control = GetDlgItem(window, id);
    wchar_t current[128];
    GetWindowTextW(control, current, 128);
    if (text != current) SetWindowTextW(control, text.c_str());
}

LONG statusTyped(HWND window) {
    wchar_t text[32];
    GetDlgItemTextW(window, ID_STATUS, text, 32);
    return std::wcstol(text, nullptr, 10);
}

void refresh(HWND window) {
    const Channel* c = g_channel;
    setText(window, ID_LINE,
            c->onBus           ? L"Line: PC \u2194 switch (on the bus)"
            : c->passedThrough ? L"Line: passed through to the shared peripheral"
                               : L"Off the bus");
    setText(window, ID_DIRECTION, registerText(L"Direction", c->direction));
    setText(window, ID_OUTPUT, registerText(L"Output", c->output));
    setText(window, ID_COUNT, L"Switch count: " + std::to_wstring(c->switchCount));

    if (IsDlgButtonChecked(window, ID_FORCE) != (c->forceStatus ? BST_CHECKED : BST_UNCHECKED))
        CheckDlgButton(window, ID_FORCE, c->forceStatus ? BST_CHECKED : BST_UNCHECKED);
    if (GetFocus() != GetDlgItem(window, ID_STATUS)) setText(window, ID_STATUS, std::to_wstring(c->forcedStatus));

    const LONG count = c->callCount;
    if (count == g_shownCalls) return;
    g_shownCalls = count;
    HWND list = GetDlgItem(window, ID_CALLS);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (LONG i = count > CALLS_SHOWN ? count - CALLS_SHOWN : 0; i < count; ++i)
        SendMessageW(
            list, LB_ADDSTRING, 0,
            reinterpret_cast<LPARAM>(callText(i + 1, c->calls[static_cast<uint32_t>(i) % CALL_LOG_SIZE]).c_str()));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// Controls in rows, sized from the message font; the window fits around them.
void create(HWND window) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    g_font.reset(CreateFontIndirectW(&metrics.lfMessageFont));

    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, g_font.get());
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(window, dc);

    const int h = tm.tmHeight, gap = h / 2 + 2, width = 64 * tm.tmAveCharWidth;
    const int button = h + 10, third = (width - 2 * gap) / 3;
    int y = gap;
    auto add = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int top, int w, int ht) {
        const DWORD ex = id == ID_CALLS || id == ID_STATUS ? WS_EX_CLIENTEDGE : 0;
        HWND c = CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, x, top, w, ht, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(g_font.get()), FALSE);
        return c;
    };
    for (int id : {ID_LINE, ID_DIRECTION, ID_OUTPUT, ID_COUNT}) {
        add(L"STATIC", L"", SS_NOPREFIX, id, gap, y, width, h);
        y += h + gap / 2;
    }
    y += gap / 2;
    HWND list = add(L"LISTBOX", L"", WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL | LBS_USETABSTOPS, ID_CALLS, gap, y,
                    width, h);
    const int listHeight = CALLS_SHOWN * static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)) + 4;
    SetWindowPos(list, nullptr, 0, 0, width, listHeight, SWP_NOMOVE | SWP_NOZORDER);
    int tabs[] = {16, 124};  // dialog units: after the number, after the call
    SendMessageW(list, LB_SETTABSTOPS, 2, reinterpret_cast<LPARAM>(tabs));
    y += listHeight + gap;
    add(L"BUTTON", L"Put back on the bus", WS_TABSTOP | BS_PUSHBUTTON, ID_ON_BUS, gap, y, third, button);
    add(L"BUTTON", L"Take off the bus", WS_TABSTOP | BS_PUSHBUTTON, ID_OFF_BUS, 2 * gap + third, y, third, button);
    add(L"BUTTON", L"Reset box", WS_TABSTOP | BS_PUSHBUTTON, ID_RESET, 3 * gap + 2 * third, y, third, button);
    y += button + gap;
    const int labelWidth = 7 * tm.tmAveCharWidth, editWidth = 8 * tm.tmAveCharWidth;
    add(L"STATIC", L"Status:", 0, ID_STATUS_LABEL, gap, y + 3, labelWidth, h);
    add(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, ID_STATUS, gap + labelWidth, y, editWidth, h + 6);
    add(L"BUTTON", L"Return this status", WS_TABSTOP | BS_AUTOCHECKBOX, ID_FORCE, 2 * gap + labelWidth + editWidth, y,
        width - labelWidth - editWidth - gap, h + 6);
    y += h + 6 + gap;

    RECT frame{0, 0, width + 2 * gap, y};
    AdjustWindowRectEx(&frame, GetWindowLongW(window, GWL_STYLE), FALSE, GetWindowLongW(window, GWL_EXSTYLE));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    refresh(window);
    SetTimer(window, 1, 100, nullptr);
}

void command(HWND window, int id, int code) {
    Channel* c = g_channel;
    switch (id) {
    case ID_ON_BUS:  // the box's own push button
        c->sequence = {};
        c->passedThrough = 0;
        c->onBus = 1;
        break;
    case ID_OFF_BUS:
        c->sequence = {};
        c->onBus = 0;
        break;
    case ID_RESET: resetBox(c); break;
    case ID_STATUS:  // typed, not our own refresh writing it
        if (code == EN_CHANGE && GetFocus() == GetDlgItem(window, ID_STATUS)) c->forcedStatus = statusTyped(window);
        return;
    case ID_FORCE:
        c->forcedStatus = statusTyped(window);
        c->forceStatus = IsDlgButtonChecked(window, ID_FORCE) == BST_CHECKED;
        break;
    }
    refresh(window);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_CREATE: create(window); return 0;
    case WM_TIMER: refresh(window); return 0;
    case WM_COMMAND: command(window, LOWORD(w), HIWORD(w)); return 0;
    case WM_DESTROY:
        KillTimer(window, 1);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    HANDLE mapping = nullptr;
    g_channel = openChannel(&mapping);
    if (!g_channel) {
        MessageBoxW(nullptr, L"The box's shared memory could not be opened.", L"AVR309 stand-in", MB_ICONERROR);
        return 1;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"AVR309StandInPanel";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"AVR309 stand-in",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 400, 400, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    g_font.reset();  // the controls are gone by now
    closeChannel(g_channel, mapping);
    return static_cast<int>(msg.wParam);
}
