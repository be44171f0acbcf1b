#include "window/Form1.h"

#include <commctrl.h>

#include <algorithm>

#include "device/module1.h"
#include "resources/resource_ids.h"
#include "shell/Shell.h"
#include "tray/APIStuff.h"
#include "window/Texts.h"

namespace {

constexpr wchar_t WINDOW_CLASS[] = L"Varnosklen.Form1";
constexpr int TWIPS_PER_INCH = 1440;
constexpr int POINTS_PER_INCH = 72;
constexpr int GUI_FONT_POINTS = 8;
// At 96 dpi: the least gap left below a grown control, and the room a push
// button keeps around its caption.
constexpr int GAP_ABOVE_BUTTON_PIXELS = 4;
constexpr int BUTTON_MARGIN_X_PIXELS = 12;
constexpr int BUTTON_MARGIN_Y_PIXELS = 6;

// The client area: the stored width, and a height that shows the credits
// frame whole with the same margin below it as on its sides.
constexpr int CLIENT_WIDTH_TWIPS = 3795;
constexpr int CLIENT_HEIGHT_TWIPS = 3255;

constexpr DWORD WINDOW_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// The three passes of the switch command: bit 1 is pulsed around a toggle of bit 0.
constexpr uint8_t SWITCH_PASS_MASKS[] = {0x02, 0x01, 0x02};

// A group box does not pass its children's notifications on; the credits
// frame must, so that the link's clicks and colours reach the window.
LRESULT CALLBACK ForwardToParent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_NOTIFY:
        return SendMessageW(GetParent(hwnd), msg, wParam, lParam);
    case WM_ERASEBKGND: {
        // The window clips its children, so the frame paints its own inside.
        RECT inside;
        GetClientRect(hwnd, &inside);
        FillRect(reinterpret_cast<HDC>(wParam), &inside, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, ForwardToParent, id);
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// The link answers Enter and Space while it has the focus, and shows it.
LRESULT CALLBACK LinkKeyboard(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    const auto activates = [](WPARAM key) { return key == VK_RETURN || key == VK_SPACE; };
    switch (msg) {
    case WM_GETDLGCODE: {
        const MSG* keys = reinterpret_cast<const MSG*>(lParam);
        if (keys && keys->message == WM_KEYDOWN && activates(keys->wParam)) return DLGC_WANTMESSAGE;
        break;
    }
    case WM_KEYDOWN:
        if (activates(wParam)) {
            SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), STN_CLICKED),
                         reinterpret_cast<LPARAM>(hwnd));
            return 0;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        break;
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
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, LinkKeyboard, id);
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// A multi-line edit asks for every key, Tab and Enter too; the read-only
// status box has no use for them, so they move the focus and press the
// button as elsewhere in the window.
LRESULT CALLBACK StatusBoxKeys(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_GETDLGCODE) return DefSubclassProc(hwnd, msg, wParam, lParam) & ~DLGC_WANTALLKEYS;
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, StatusBoxKeys, id);
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW existing = {sizeof existing};
    if (GetClassInfoExW(instance, WINDOW_CLASS, &existing)) return true;
    WNDCLASSEXW cls = {sizeof cls};
    cls.lpfnWndProc = procedure;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = WINDOW_CLASS;
    return RegisterClassExW(&cls) != 0;
}

HICON LoadMainIcon(HINSTANCE instance, int size) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, size, size, 0));
}

}  // namespace

bool Form1::IsForm1(HWND window) {
    wchar_t name[64] = {};
    return window && GetClassNameW(window, name, 64) && lstrcmpW(name, WINDOW_CLASS) == 0;
}

Form1::Form1(HINSTANCE instance, WhenDestroyed when_destroyed) : instance_(instance), whenDestroyed_(when_destroyed) {}

Form1::~Form1() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool Form1::Create() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);

    if (!RegisterWindowClass(instance_, &Form1::WindowProc)) return false;
    HDC screen = GetDC(nullptr);
    dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    smallIcon_.reset(LoadMainIcon(instance_, GetSystemMetrics(SM_CXSMICON)));
    bigIcon_.reset(LoadMainIcon(instance_, GetSystemMetrics(SM_CXICON)));

    RECT frame = {0, 0, TwipsToPixelsX(CLIENT_WIDTH_TWIPS), TwipsToPixelsY(CLIENT_HEIGHT_TWIPS)};
    AdjustWindowRectEx(&frame, WINDOW_STYLE, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;

    if (!CreateWindowExW(0, WINDOW_CLASS, texts::CAPTION, WINDOW_STYLE, left, top, width, height, nullptr, nullptr,
                         instance_, this)) {
        return false;
    }

    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    CreateControls();
    CreateTrayMenu();
    SetTimer(hwnd_, TIMER1_ID, TIMER1_INTERVAL_MS, nullptr);
    Form_Load();
    return true;
}

void Form1::Show(int show_command) {
    ShowWindow(hwnd_, show_command);
    UpdateWindow(hwnd_);
    SetFocus(focus_);
}

int Form1::TwipsToPixelsX(int twips) const { return MulDiv(twips, dpiX_, TWIPS_PER_INCH); }
int Form1::TwipsToPixelsY(int twips) const { return MulDiv(twips, dpiY_, TWIPS_PER_INCH); }

HWND Form1::CreateControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD ex_style,
                          UINT id, int left, int top, int width, int height) {
    HWND control = CreateWindowExW(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, TwipsToPixelsX(left),
                                   TwipsToPixelsY(top), TwipsToPixelsX(width), TwipsToPixelsY(height), parent,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance_, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
}

void Form1::CreateControls() {
    // The default GUI font, at 8 points for the actual DPI.
    LOGFONTW guiFont = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof guiFont, &guiFont);
    guiFont.lfHeight = -MulDiv(GUI_FONT_POINTS, dpiY_, POINTS_PER_INCH);
    guiFont.lfWidth = 0;
    font_.reset(CreateFontIndirectW(&guiFont));

    // Created in tab order, which is also the order of the focus chain.
    Command1 = CreateControl(hwnd_, L"BUTTON", texts::COMMAND1, WS_TABSTOP | BS_DEFPUSHBUTTON | BS_MULTILINE, 0,
                             ID_COMMAND1, 960, 1320, 1815, 615);
    Text1 = CreateControl(hwnd_, L"EDIT", L"", WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_CENTER,
                          WS_EX_CLIENTEDGE, ID_TEXT1, 120, 360, 3495, 765);
    SetWindowSubclass(Text1, StatusBoxKeys, 0, 0);
    Frame1 = CreateControl(hwnd_, L"BUTTON", texts::FRAME1, BS_GROUPBOX, WS_EX_CONTROLPARENT, ID_FRAME1, 120, 2160,
                           3495, 975);
    SetWindowSubclass(Frame1, ForwardToParent, 0, 0);
    Label1 = CreateControl(Frame1, L"STATIC", texts::LABEL1, SS_LEFT, 0, ID_LABEL1, 360, 240, 3015, 255);
    Label2 = CreateControl(Frame1, L"STATIC", texts::WEB_ADDRESS, WS_TABSTOP | SS_LEFT | SS_NOTIFY, 0, ID_LABEL2,
                           480, 600, 1650, 195);
    SetWindowSubclass(Label2, LinkKeyboard, 0, 0);
    Label3 = CreateControl(hwnd_, L"STATIC", texts::LABEL3, SS_LEFT, 0, ID_LABEL3, 120, 120, 975, 195);

    FitLabelWidth(Label3);
    FitLabelWidth(Label1);
    FitLabelWidth(Label2);
    FitStatusBoxHeight();
    FitButtonHeight();

    SetText1BackColor(colours::WHITE);
    SetText1Text(texts::SEARCHING);
    CreateToolTip();
    focus_ = Command1;
}

namespace {

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

SIZE TextExtent(HWND control, const RECT& bounds, UINT format) {
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    return TextExtent(control, text, bounds, format);
}

RECT RectInParent(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

// The layout's widths were made for a narrower font than most systems have
// now: a label grows to the right to show its text whole.
void Form1::FitLabelWidth(HWND label) {
    RECT r = RectInParent(label);
    const SIZE text = TextExtent(label, r, DT_SINGLELINE);
    if (text.cx > r.right - r.left) SetWindowPos(label, nullptr, 0, 0, text.cx, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}

// The status box grows down into the gap above the button until its longest
// text fits whole, for the same reason.
void Form1::FitStatusBoxHeight() {
    const wchar_t* const longest[] = {texts::ABSENT, texts::LIBRARY_MISSING, texts::LIBRARY_INCOMPLETE, texts::SEARCHING};
    RECT box = RectInParent(Text1);
    RECT format = {};
    SendMessageW(Text1, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    int needed = 0;
    for (const wchar_t* text : longest) {
        RECT bounds = {0, 0, format.right - format.left, 0};
        needed = std::max<int>(needed, TextExtent(Text1, text, bounds, DT_WORDBREAK | DT_CENTER | DT_EDITCONTROL).cy);
    }
    const int chrome = (box.bottom - box.top) - (format.bottom - format.top);
    const int limit = RectInParent(Command1).top - MulDiv(GAP_ABOVE_BUTTON_PIXELS, dpiY_, 96) - box.top;
    const int height = std::min(std::max<int>(box.bottom - box.top, needed + chrome), limit);
    if (height > box.bottom - box.top) SetWindowPos(Text1, nullptr, 0, 0, box.right - box.left, height, SWP_NOMOVE | SWP_NOZORDER);
}

// The button's caption takes two lines on most systems and three on some;
// the button grows down into the gap above the frame rather than cut a line.
void Form1::FitButtonHeight() {
    const RECT button = RectInParent(Command1);
    const int marginX = MulDiv(BUTTON_MARGIN_X_PIXELS, dpiX_, 96);
    const int marginY = MulDiv(BUTTON_MARGIN_Y_PIXELS, dpiY_, 96);
    RECT bounds = {0, 0, button.right - button.left - 2 * marginX, 0};
    const int needed = TextExtent(Command1, bounds, DT_WORDBREAK | DT_CENTER).cy + 2 * marginY;
    const int limit = RectInParent(Frame1).top - MulDiv(GAP_ABOVE_BUTTON_PIXELS, dpiY_, 96) - button.top;
    const int height = std::min(needed, limit);
    if (height > button.bottom - button.top) {
        SetWindowPos(Command1, nullptr, 0, 0, button.right - button.left, height, SWP_NOMOVE | SWP_NOZORDER);
    }
}

void Form1::CreateToolTip() {
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Frame1;
    tool.uId = reinterpret_cast<UINT_PTR>(Label2);
    tool.lpszText = const_cast<wchar_t*>(texts::LABEL2_TOOLTIP);
    SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Form1::CreateTrayMenu() {
    // A menu bar holding the popup, as a window's menu would; it is never
    // attached to the window, so no menu bar shows.
    trayMenuBar_.reset(CreateMenu());
    mnuTray = CreatePopupMenu();
    AppendMenuW(trayMenuBar_.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(mnuTray), texts::MNU_TRAY);
    AppendMenuW(mnuTray, MF_STRING, ID_MNU_TRAY_RESTORE, texts::MNU_TRAY_RESTORE);
    AppendMenuW(mnuTray, MF_STRING, ID_MNU_TRAY_CLOSE, texts::MNU_TRAY_CLOSE);
    // mnuTrayMinimize is never shown: it has no entry in the popup.
}

// ---------------------------------------------------------------------------
// Messages

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        // The object comes with the creation and is kept with the window.
        auto* created = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form || form->hwnd_ != hwnd) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return form->HandleMessage(msg, wParam, lParam);
}

LRESULT Form1::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_TIMER:          if (wParam == TIMER1_ID) Timer1_Timer(); return 0;
    case WM_COMMAND:        return OnCommand(wParam, lParam);
    case WM_CTLCOLORSTATIC: return OnCtlColor(wParam, lParam);
    case WM_CTLCOLOREDIT:   return OnCtlColor(wParam, lParam);
    case WM_SETCURSOR:      return OnSetCursor(wParam, lParam);
    case WM_ACTIVATE:       OnActivate(wParam); return 0;
    case DM_GETDEFID:       return MAKELRESULT(ID_COMMAND1, DC_HASDEFID);
    case WM_DESTROY:        OnDestroy(); return 0;
    case WM_NCDESTROY:      OnNcDestroy(); return 0;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT Form1::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    const bool fromMenu = lParam == 0;
    if (id == ID_COMMAND1 && code == BN_CLICKED) {
        // Enter reaches here too; it must not press a disabled button.
        if (IsWindowEnabled(Command1)) Command1_Click();
    } else if (id == ID_LABEL2 && code == STN_CLICKED && !fromMenu) {
        Label2_Click();
    } else if (fromMenu && id == ID_MNU_TRAY_RESTORE) {
        mnuTrayRestore_Click();
    } else if (fromMenu && id == ID_MNU_TRAY_CLOSE) {
        mnuTrayClose_Click();
    } else if (fromMenu && id == ID_MNU_TRAY_MINIMIZE) {
        mnuTrayMinimize_Click();
    }
    return 0;
}

LRESULT Form1::OnCtlColor(WPARAM wParam, LPARAM lParam) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    if (control == Text1) {
        SetBkColor(dc, text1BackColor_);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(text1Brush_.get());
    }
    if (control == Label2) SetTextColor(dc, colours::LINK);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT Form1::OnSetCursor(WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(wParam) == Label2) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return DefWindowProcW(hwnd_, WM_SETCURSOR, wParam, lParam);
}

// The window keeps the control that had the focus across deactivation, as a
// dialog does, so that coming back from the tray or another program leaves
// the keyboard where it was.
void Form1::OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focused = GetFocus();
        if (focused && IsChild(hwnd_, focused)) focus_ = focused;
    } else if (!IsIconic(hwnd_)) {
        SetFocus(focus_ && IsWindow(focus_) ? focus_ : hwnd_);
    }
}

void Form1::OnDestroy() { KillTimer(hwnd_, TIMER1_ID); }

void Form1::OnNcDestroy() {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    Frame1 = Label2 = Label1 = Text1 = Command1 = Label3 = nullptr;
    toolTip_ = focus_ = nullptr;
    if (whenDestroyed_ == WhenDestroyed::EndProgram) PostQuitMessage(0);
}

// ---------------------------------------------------------------------------
// The status box and the button

void Form1::SetText1Text(const wchar_t* text) {
    // Only real changes reach the control, so a steady device causes no repaint.
    if (text == text1Text_) return;
    text1Text_ = text;
    SetWindowTextW(Text1, text);
}

void Form1::SetText1BackColor(COLORREF colour) {
    if (colour == text1BackColor_ && text1Brush_) return;
    text1BackColor_ = colour;
    text1Brush_.reset(CreateSolidBrush(colour));
    InvalidateRect(Text1, nullptr, TRUE);
}

void Form1::SetCommand1Enabled(bool enabled) {
    if ((IsWindowEnabled(Command1) != FALSE) != enabled) EnableWindow(Command1, enabled);
}

// Neither poll text is true when the device library cannot be used: the box
// says what is wrong and the button stays off until the library is usable.
bool Form1::ShowLibraryProblem() {
    const module1::LibraryState state = module1::CheckLibrary();
    if (state == module1::LibraryState::Ready) return false;
    SetText1Text(state == module1::LibraryState::LibraryMissing ? texts::LIBRARY_MISSING : texts::LIBRARY_INCOMPLETE);
    SetText1BackColor(colours::ABSENT);
    SetCommand1Enabled(false);
    return true;
}

// ---------------------------------------------------------------------------
// Handlers

void Form1::Form_Load() {
    APIStuff::InstallTrayHook(*this, mnuTray);
    APIStuff::SetTrayTip(texts::TRAY_TIP);
}

void Form1::Timer1_Timer() { CheckDevice(); }

void Form1::CheckDevice() {
    if (ShowLibraryProblem()) return;
    const std::optional<int32_t> status = module1::DoGetOutDataPort(PortByte);
    if (!status) return;  // the library went away between the check and the call
    ProbeStatus = module1::NarrowStatus(*status);
    if (ProbeStatus == module1::DEVICE_NOT_PRESENT) {
        SetText1Text(texts::ABSENT);
        SetText1BackColor(colours::ABSENT);
        SetCommand1Enabled(false);
    } else {
        SetText1BackColor(colours::PRESENT);
        SetText1Text(texts::PRESENT);
        SetCommand1Enabled(true);
    }
}

void Form1::Command1_Click() {
    // Without all four operations the passes would write bytes never read
    // from the device: send nothing.
    if (ShowLibraryProblem()) return;
    const int32_t status = module1::DoGetOutDataPort(PortByte).value_or(module1::DEVICE_NOT_PRESENT);
    ProbeStatus = module1::NarrowStatus(status);
    if (ProbeStatus == module1::DEVICE_NOT_PRESENT) {
        SetText1Text(texts::SHORT_ABSENT);
        SetText1BackColor(colours::ABSENT);
    } else {
        SetText1BackColor(colours::PRESENT);
        SetText1Text(texts::SHORT_PRESENT);
    }
    UpdateWindow(Text1);  // shown while the library works, however long it takes

    // Whatever the probe said, the passes go out; their statuses are not looked at.
    for (const uint8_t mask : SWITCH_PASS_MASKS) {
        module1::DoGetDataPortDirection(PortByte);
        PortByte ^= mask;
        module1::DoSetDataPortDirection(PortByte);
        module1::DoSetOutDataPort(PortByte);
    }
}

void Form1::Label2_Click() {
    // Shown normally: a browser started hidden would make the click seem to do nothing.
    Shell::ShellOpen(texts::WEB_ADDRESS, L"Open", nullptr, nullptr, SW_SHOWNORMAL);
}

void Form1::mnuTrayRestore_Click() {
    LONG nothing = 0;  // the command carries no position
    SendMessageA(hwnd_, WM_SYSCOMMAND, SC_RESTORE, reinterpret_cast<LPARAM>(&nothing));
}

void Form1::mnuTrayClose_Click() { DestroyWindow(hwnd_); }

void Form1::mnuTrayMinimize_Click() { ShowWindow(hwnd_, SW_MINIMIZE); }

// ---------------------------------------------------------------------------
// Tray menu

void Form1::SetTrayMenuItems(int16_t& window_state) {
    if (window_state == APIStuff::WINDOW_STATE_MINIMISED) {
        SetTrayItemEnabled(ID_MNU_TRAY_MINIMIZE, false);
        SetTrayItemEnabled(ID_MNU_TRAY_RESTORE, true);
    } else if (window_state == APIStuff::WINDOW_STATE_NORMAL) {
        SetTrayItemEnabled(ID_MNU_TRAY_MINIMIZE, true);
        SetTrayItemEnabled(ID_MNU_TRAY_RESTORE, false);
    }
}

void Form1::SetTrayItemEnabled(UINT item, bool enabled) {
    trayItemEnabled_[item - ID_MNU_TRAY_RESTORE] = enabled;
    if (item != ID_MNU_TRAY_MINIMIZE) EnableMenuItem(mnuTray, item, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool Form1::IsTrayItemEnabled(UINT item) const { return trayItemEnabled_[item - ID_MNU_TRAY_RESTORE]; }
