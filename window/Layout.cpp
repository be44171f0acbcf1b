#include "window/Layout.h"

#include <commctrl.h>

#include <algorithm>

namespace layout {

namespace {

constexpr int TWIPS_PER_INCH = 1440;
constexpr int POINTS_PER_INCH = 72;
constexpr int BASE_DPI = 96;
constexpr int GUI_FONT_POINTS = 8;
// The least gap left below a control that grows, at 96 dpi.
constexpr int GAP_BELOW_PIXELS = 4;
// A default push button drawn the classic way keeps its caption inside its
// outline and frame, 3 pixels at any DPI.
constexpr int BUTTON_FRAME_PIXELS = 3;
// The credits frame keeps this margin below it, as on its sides.
constexpr int FRAME_MARGIN_TWIPS = 120;

constexpr Twips FRAME1 = {120, 2160, 3495, 975};
constexpr Twips LABEL2 = {480, 600, 1650, 195};
constexpr Twips LABEL1 = {360, 240, 3015, 255};
constexpr Twips TEXT1 = {120, 360, 3495, 765};
constexpr Twips COMMAND1 = {960, 1320, 1815, 615};
constexpr Twips LABEL3 = {120, 120, 975, 195};

// Functions of newer systems, looked up once: per-monitor DPI needs them,
// older systems have one DPI for everything.
template <typename Function>
Function User32(const char* name) {
    return reinterpret_cast<Function>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name));
}

int Scale(int pixels_at_96, int dpi) { return MulDiv(pixels_at_96, dpi, BASE_DPI); }

RECT RectInParent(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Place(HWND control, const Twips& at, int dpi) {
    SetWindowPos(control, nullptr, TwipsToPixels(at.left, dpi), TwipsToPixels(at.top, dpi),
                 TwipsToPixels(at.width, dpi), TwipsToPixels(at.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Resize(HWND control, int width, int height) {
    SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The size of text in a control's font, laid out in bounds.
SIZE TextExtent(HWND control, const wchar_t* text, const RECT& bounds, UINT format) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT r = bounds;
    DrawTextW(dc, text, -1, &r, format | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {r.right - r.left, r.bottom - r.top};
}

const wchar_t* TextOf(HWND control, wchar_t (&buffer)[256]) {
    GetWindowTextW(control, buffer, 256);
    return buffer;
}

// The layout's widths were made for a narrower font than most systems have
// now: a label grows to the right to show its text whole.
void FitLabelWidth(HWND label) {
    wchar_t text[256];
    const RECT r = RectInParent(label);
    const SIZE needed = TextExtent(label, TextOf(label, text), r, DT_SINGLELINE);
    if (needed.cx > r.right - r.left) Resize(label, needed.cx, r.bottom - r.top);
}

// The status box grows down into the gap above the button until its longest
// text fits whole, for the same reason.
void FitStatusBoxHeight(HWND box, HWND below, const wchar_t* const* texts, int count, int dpi) {
    const RECT r = RectInParent(box);
    RECT format = {};
    SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    int needed = 0;
    for (int i = 0; i < count; ++i) {
        const RECT bounds = {0, 0, format.right - format.left, 0};
        needed = std::max<int>(needed, TextExtent(box, texts[i], bounds, DT_WORDBREAK | DT_CENTER | DT_EDITCONTROL).cy);
    }
    const int chrome = (r.bottom - r.top) - (format.bottom - format.top);
    const int limit = RectInParent(below).top - Scale(GAP_BELOW_PIXELS, dpi) - r.top;
    const int height = std::min(needed + chrome, limit);
    if (height > r.bottom - r.top) Resize(box, r.right - r.left, height);
}

// The height the button needs for its caption at its width. The button says
// (BCM_GETIDEALSIZE). Some renderers (Wine's) wrap the caption a second time
// within the width of its first layout, gain a line, and draw the taller
// block from the top of the one they centred: room is made for that too.
int ButtonHeightNeeded(HWND button) {
    const RECT r = RectInParent(button);
    SIZE ideal = {r.right - r.left, 0};
    if (!SendMessageW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal))) ideal.cy = 0;
    wchar_t text[256];
    const int margin = BUTTON_FRAME_PIXELS;
    const SIZE once =
        TextExtent(button, TextOf(button, text), {0, 0, r.right - r.left - 2 * margin, 0}, DT_WORDBREAK | DT_CENTER);
    const SIZE twice = TextExtent(button, text, {0, 0, once.cx, 0}, DT_WORDBREAK | DT_CENTER);
    return std::max<int>(ideal.cy, twice.cy + (twice.cy - once.cy) + 2 * margin);
}

int IconSize(int metric, int dpi) {
    static const auto metricsForDpi = User32<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    if (metricsForDpi) return metricsForDpi(metric, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(metric), dpi, SystemDpi());
}

}  // namespace

int TwipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, TWIPS_PER_INCH); }

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int DpiOfWindow(HWND window) {
    static const auto getDpiForWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi ? static_cast<int>(dpi) : SystemDpi();
}

void PlaceWindow(HWND window, const POINT* at, SIZE client, int dpi) {
    static const auto adjustForDpi = User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    const DWORD style = GetWindowLongW(window, GWL_STYLE), exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    RECT r = {0, 0, client.cx, client.cy};
    if (!adjustForDpi || !adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    }
    SIZE size = {r.right - r.left, r.bottom - r.top};
    POINT corner = at ? *at : POINT{};
    if (!at) {
        // The monitor the window opened on, whose DPI it was laid out for.
        MONITORINFO monitor = {sizeof monitor};
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT& work = monitor.rcWork;
        corner = {work.left + (work.right - work.left - size.cx) / 2,
                  work.top + (work.bottom - work.top - size.cy) / 2};
    }
    const int dpiBefore = DpiOfWindow(window);
    SetWindowPos(window, nullptr, corner.x, corner.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    // Moved onto a monitor of another scale on the way: the window has been
    // laid out and placed again for it, which the sizes here would undo.
    if (DpiOfWindow(window) != dpiBefore) return;
    // The frame's own metrics may differ from the estimate (a theme, a frame
    // drawn at another scale): the client area is what must come out right.
    RECT got = {};
    GetClientRect(window, &got);
    if (got.right != client.cx || got.bottom != client.cy) {
        size = {size.cx + client.cx - got.right, size.cy + client.cy - got.bottom};
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

int SmallIconSize(int dpi) { return IconSize(SM_CXSMICON, dpi); }
int BigIconSize(int dpi) { return IconSize(SM_CXICON, dpi); }

HFONT CreateGuiFont(int dpi) {
    LOGFONTW font = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfHeight = -MulDiv(GUI_FONT_POINTS, dpi, POINTS_PER_INCH);
    font.lfWidth = 0;
    return CreateFontIndirectW(&font);
}

int LayOut(const Controls& c, HFONT font, int dpi, const wchar_t* const* longest_texts, int text_count) {
    const struct {
        HWND control;
        Twips at;
    } placements[] = {{c.Frame1, FRAME1}, {c.Label2, LABEL2},     {c.Label1, LABEL1},
                      {c.Text1, TEXT1},   {c.Command1, COMMAND1}, {c.Label3, LABEL3}};
    for (const auto& p : placements) {
        SendMessageW(p.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        Place(p.control, p.at, dpi);
    }
    for (HWND label : {c.Label3, c.Label1, c.Label2}) FitLabelWidth(label);
    FitStatusBoxHeight(c.Text1, c.Command1, longest_texts, text_count, dpi);

    // The button takes the height its caption needs; where that reaches the
    // credits frame, the frame moves down and the client area grows with it.
    const RECT button = RectInParent(c.Command1);
    const int buttonHeight = std::max<int>(button.bottom - button.top, ButtonHeightNeeded(c.Command1));
    Resize(c.Command1, button.right - button.left, buttonHeight);
    const RECT frame = RectInParent(c.Frame1);
    const int frameTop = std::max<int>(frame.top, button.top + buttonHeight + Scale(GAP_BELOW_PIXELS, dpi));
    if (frameTop != frame.top) {
        SetWindowPos(c.Frame1, nullptr, frame.left, frameTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const int frameBottom = frameTop + (frame.bottom - frame.top);
    return std::max(TwipsToPixels(CLIENT_HEIGHT_TWIPS, dpi), frameBottom + TwipsToPixels(FRAME_MARGIN_TWIPS, dpi));
}

}  // namespace layout
