#include "window/Form1.h"

#include <commctrl.h>

#include "device/BoxLock.h"
#include "device/module1.h"
#include "printing/PrinterSetting.h"
#include "remote/Protocol.h"
#include "resources/resource_ids.h"
#include "settings/Settings.h"
#include "shell/Shell.h"
#include "tray/APIStuff.h"
#include "tray/TrayNotification.h"
#include "window/Contrast.h"
#include "window/CreditsLink.h"
#include "window/Layout.h"
#include "window/MessageLoop.h"
#include "window/StartOptions.h"
#include "window/Texts.h"

namespace {

using remote::WINDOW_CLASS;
constexpr DWORD WINDOW_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Posted when device work that came during other device work is to be taken.
constexpr UINT WM_DEVICE_WORK_WAITING = WM_APP + 1;

// The texts the status box must be able to show whole, in the language in use.
constexpr TextId LONGEST_STATUS_TEXTS[] = {
    TextId::Absent,    TextId::LibraryMissing, TextId::LibraryIncomplete, TextId::LibraryOtherArchitecture,
    TextId::Searching, TextId::PressNotMade};
constexpr int LONGEST_STATUS_COUNT = sizeof LONGEST_STATUS_TEXTS / sizeof LONGEST_STATUS_TEXTS[0];

// The controls' own texts; the status box's follow the box.
struct ControlText {
    HWND Form1::*control;
    TextId text;
};
constexpr ControlText CONTROL_TEXTS[] = {{&Form1::Command1, TextId::Command1},
                                         {&Form1::Frame1, TextId::Frame1},
                                         {&Form1::Label1, TextId::Label1},
                                         {&Form1::Label3, TextId::Label3}};

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

// The tray's icons, by TrayBadge: the plain one until the first probe.
constexpr WORD TRAY_ICON_IDS[] = {IDI_MAIN, IDI_PRESENT, IDI_ABSENT, IDI_LIBRARY};
static_assert(sizeof TRAY_ICON_IDS / sizeof TRAY_ICON_IDS[0] == static_cast<size_t>(TrayBadge::Count));

HICON LoadIconOfSize(HINSTANCE instance, WORD id, int size) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

// How Windows is to start this very executable at logon.
bool StartCommand(settings::Command& command) {
    wchar_t path[settings::COMMAND_CHARS];
    const DWORD length = GetModuleFileNameW(nullptr, path, settings::COMMAND_CHARS);
    return length && length < settings::COMMAND_CHARS && settings::MakeCommand(path, startoptions::TRAY, command);
}

}  // namespace

Form1::Form1(HINSTANCE instance, WhenDestroyed when_destroyed) : instance_(instance), whenDestroyed_(when_destroyed) {}

Form1::~Form1() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool Form1::Create() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    if (!RegisterWindowClass(instance_, &Form1::WindowProc)) return false;
    UseLanguage(settings::LanguageInEffect());
    if (!CreateWindowExW(0, WINDOW_CLASS, Text(TextId::Caption), WINDOW_STYLE, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                         nullptr, nullptr, instance_, this)) {
        return false;
    }
    dpi_ = layout::DpiOfWindow(hwnd_);
    for (size_t badge = 0; badge < sizeof TRAY_ICON_IDS / sizeof TRAY_ICON_IDS[0]; ++badge)
        trayIcons_[badge].reset(LoadIconOfSize(instance_, TRAY_ICON_IDS[badge], GetSystemMetrics(SM_CXSMICON)));
    CreateControls();
    layout::PlaceWindow(hwnd_, nullptr, ApplyDpi(), dpi_);

    mnuTray = trayMenu_.Create();
    ChangeHotkey(settings::ReadHotkey());  // none while another program holds it
    notificationsOn_ = settings::ReadNotifications();
    printSwitch_.Start(hwnd_);
    // The settings from the window too, where no control upsets its layout.
    HMENU systemMenu = GetSystemMenu(hwnd_, FALSE);
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, ID_SYSTEM_MENU_SETTINGS, Text(TextId::SystemMenuSettings));
    shortcuts_ = LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDA_MAIN));
    SetTimer(hwnd_, TIMER1_ID, TIMER1_INTERVAL_MS, nullptr);
    Form_Load();
    return true;
}

void Form1::Show(int show_command) {
    ShowWindow(hwnd_, show_command);
    UpdateWindow(hwnd_);
    SetFocus(focus_);
}

// Before the taskbar exists (at logon) there is no icon yet: the window waits
// minimised, without taking the focus, and moves to the tray once a retry
// adds the icon.
void Form1::ShowInTray() {
    if (!APIStuff::TrayIconShown) {
        ShowWindow(hwnd_, SW_SHOWMINNOACTIVE);
        return;
    }
    int16_t hidden = APIStuff::WINDOW_STATE_MINIMISED;
    SetTrayMenuItems(hidden);
}

bool Form1::TranslateKeys(MSG& msg) {
    HWND settings = settingsDialog_.Handle();
    if (settings && IsDialogMessageW(settings, &msg)) return true;
    if (!hwnd_) return false;
    const bool toWindow = msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd);
    if (toWindow && shortcuts_ && TranslateAcceleratorW(hwnd_, shortcuts_, &msg)) return true;
    // Tab, Enter and Space work as in a dialog.
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

// The switch from anywhere. None, or a combination another program holds,
// leaves the program without one, and the menu shows none.
bool Form1::ChangeHotkey(const settings::Hotkey& hotkey) {
    if (hotkey_.key) UnregisterHotKey(hwnd_, HOTKEY_ID);
    const auto take = [this](const settings::Hotkey& h) {
        return RegisterHotKey(hwnd_, HOTKEY_ID, h.modifiers | MOD_NOREPEAT, h.key) != FALSE;
    };
    if (hotkey.key && !take(hotkey)) {
        if (hotkey_.key) take(hotkey_);  // the one in force stays
        return false;
    }
    hotkey_ = hotkey;
    settings::HotkeyText text;
    settings::FormatHotkey(hotkey_, text);
    trayMenu_.ShowSwitchHotkey(text);
    return true;
}

SettingsValues Form1::SettingsInForce() {
    SettingsValues values = {hotkey_, StartsWithWindows(), notificationsOn_, settings::ReadLanguageChoice(), {}};
    lstrcpynW(values.printer, printSwitch_.Printer(), printing::NAME_CHARS);
    return values;
}

bool Form1::StartsWithWindows() {
    settings::Command command;
    return StartCommand(command) && settings::StartsWithWindows(command);
}

// On, it writes this executable's start, also over a start of a copy elsewhere.
void Form1::ChangeStartWithWindows(bool start) {
    settings::Command command;
    if (!StartCommand(command)) return;
    settings::SetStartWithWindows(start ? &command : nullptr);
}

void Form1::ChangeNotifications(bool on) { notificationsOn_ = on; }

// Every text the window, its menus, tip and tool tip show, at once, and the
// layout made again for them where the window stands.
void Form1::ChangeLanguage(settings::Language language) {
    UseLanguage(language);
    for (const ControlText& c : CONTROL_TEXTS) SetWindowTextW(this->*c.control, Text(c.text));
    status_.SetText(probed_ ? PollView(lastProbe_.state).text : Text(TextId::Searching));
    credits::SetLinkTip(toolTip_, Frame1, Label2, Text(TextId::Label2Tooltip));
    ModifyMenuW(GetSystemMenu(hwnd_, FALSE), ID_SYSTEM_MENU_SETTINGS, MF_BYCOMMAND | MF_STRING, ID_SYSTEM_MENU_SETTINGS,
                Text(TextId::SystemMenuSettings));
    trayMenu_.ShowTexts();
    APIStuff::SetTrayTip(Text(TextId::TrayTip));
    RECT r = {};
    GetWindowRect(hwnd_, &r);
    const POINT corner = {r.left, r.top};
    layout::PlaceWindow(hwnd_, &corner, ApplyDpi(), dpi_);
}

HWND Form1::CreateControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD ex_style, UINT id) {
    return CreateWindowExW(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance_, nullptr);
}

void Form1::CreateControls() {
    // Created in tab order, which is also the order of the focus chain.
    Command1 = CreateControl(hwnd_, L"BUTTON", Text(TextId::Command1), WS_TABSTOP | BS_DEFPUSHBUTTON | BS_MULTILINE, 0,
                             ID_COMMAND1);
    Text1 = CreateControl(hwnd_, L"EDIT", L"", WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_CENTER, WS_EX_CLIENTEDGE,
                          ID_TEXT1);
    Frame1 = CreateControl(hwnd_, L"BUTTON", Text(TextId::Frame1), BS_GROUPBOX, WS_EX_CONTROLPARENT, ID_FRAME1);
    Label1 = CreateControl(Frame1, L"STATIC", Text(TextId::Label1), SS_LEFT, 0, ID_LABEL1);
    Label2 = CreateControl(Frame1, L"STATIC", texts::WEB_ADDRESS, WS_TABSTOP | SS_LEFT | SS_NOTIFY, 0, ID_LABEL2);
    Label3 = CreateControl(hwnd_, L"STATIC", Text(TextId::Label3), SS_LEFT, 0, ID_LABEL3);

    status_.Attach(Text1);
    status_.SetBackColor(colours::WHITE);
    status_.SetText(Text(TextId::Searching));
    toolTip_ = credits::AttachLink(hwnd_, Frame1, Label2, Text(TextId::Label2Tooltip));
    focus_ = Command1;
}

// The old font and icons are freed only once the new ones are in place: a
// control or the caption must never hold a deleted one.
SIZE Form1::ApplyDpi() {
    common::ScopedFont font(layout::CreateGuiFont(dpi_));
    const layout::Controls controls = {Frame1, Label2, Label1, Text1, Command1, Label3};
    const wchar_t* longest[LONGEST_STATUS_COUNT];
    for (int i = 0; i < LONGEST_STATUS_COUNT; ++i) longest[i] = Text(LONGEST_STATUS_TEXTS[i]);
    const int clientHeight = layout::LayOut(controls, font.get(), dpi_, longest, LONGEST_STATUS_COUNT);
    font_ = std::move(font);
    InvalidateRect(hwnd_, nullptr, TRUE);

    common::ScopedIcon small(LoadIconOfSize(instance_, IDI_MAIN, layout::SmallIconSize(dpi_)));
    common::ScopedIcon big(LoadIconOfSize(instance_, IDI_MAIN, layout::BigIconSize(dpi_)));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    smallIcon_ = std::move(small);
    bigIcon_ = std::move(big);
    return {layout::TwipsToPixels(layout::CLIENT_WIDTH_TWIPS, dpi_), clientHeight};
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
    case WM_TIMER: return OnTimer(wParam);
    case WM_COMMAND: return OnCommand(wParam, lParam);
    case WM_CTLCOLORSTATIC: return OnCtlColor(wParam, lParam);
    case WM_CTLCOLOREDIT: return OnCtlColor(wParam, lParam);
    case WM_SETCURSOR: return OnSetCursor(wParam, lParam);
    case WM_ACTIVATE: return OnActivate(wParam);
    case WM_DPICHANGED: return OnDpiChanged(wParam, lParam);
    case WM_SYSCOLORCHANGE: return OnColoursChanged();
    case WM_SETTINGCHANGE: return OnSettingChange(wParam, lParam);
    case WM_DEVICECHANGE: return OnDeviceChange(wParam, lParam);
    case WM_DEVICE_WORK_WAITING: return OnDeviceWorkWaiting();
    case PrintSwitch::MESSAGE: return OnPrintWatch(wParam, lParam);
    case WM_COPYDATA: return OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<COPYDATASTRUCT*>(lParam));
    case WM_HOTKEY: return OnHotKey(wParam);
    case WM_INITMENUPOPUP: return OnInitMenuPopup(wParam);
    case WM_SYSCOMMAND: return OnSysCommand(wParam, lParam);
    case tray::TRAY_CALLBACK_MESSAGE: return OnTrayNotification(wParam, lParam);
    case DM_GETDEFID: return MAKELRESULT(ID_COMMAND1, DC_HASDEFID);
    case WM_DESTROY: return OnDestroy();
    case WM_NCDESTROY: return OnNcDestroy();
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT Form1::OnTimer(WPARAM id) {
    if (id == TIMER1_ID) Timer1_Timer();
    return 0;
}

LRESULT Form1::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    const bool fromMenu = lParam == 0;
    if (id == ID_COMMAND1 && code == BN_CLICKED) {
        SwitchIfEnabled();  // Enter reaches here too
    } else if (id == ID_LABEL2 && code == STN_CLICKED && !fromMenu) {
        Label2_Click();
    } else if (fromMenu && id == ID_MNU_TRAY_RESTORE) {
        mnuTrayRestore_Click();
    } else if (fromMenu && id == ID_MNU_TRAY_CLOSE) {
        mnuTrayClose_Click();
    } else if (fromMenu && id == ID_MNU_TRAY_MINIMIZE) {
        mnuTrayMinimize_Click();
    } else if (fromMenu && id == ID_MNU_TRAY_SWITCH) {
        SwitchIfEnabled();
    } else if (fromMenu && id == ID_MNU_TRAY_START_WITH_WINDOWS) {
        mnuTrayStartWithWindows_Click();
    } else if (fromMenu && id == ID_MNU_TRAY_SETTINGS) {
        mnuTraySettings_Click();  // the tray item or the window's shortcut
    }
    return 0;
}

LRESULT Form1::OnCtlColor(WPARAM wParam, LPARAM lParam) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    if (control == Text1) return reinterpret_cast<LRESULT>(status_.Paint(dc));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    SetTextColor(
        dc, control == Label2 ? credits::LinkColour(face) : contrast::Readable(face, {GetSysColor(COLOR_BTNTEXT)}));
    SetBkColor(dc, face);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT Form1::OnSetCursor(WPARAM wParam, LPARAM lParam) {
    if (credits::SetLinkCursor(reinterpret_cast<HWND>(wParam), Label2)) return TRUE;
    return DefWindowProcW(hwnd_, WM_SETCURSOR, wParam, lParam);
}

// The window keeps the control that had the focus across deactivation, as a
// dialog does, so that coming back from the tray or another program leaves
// the keyboard where it was.
LRESULT Form1::OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focused = GetFocus();
        if (focused && IsChild(hwnd_, focused)) focus_ = focused;
    } else if (!IsIconic(hwnd_)) {
        SetFocus(focus_ && IsWindow(focus_) ? focus_ : hwnd_);
    }
    return 0;
}

// Moved to a monitor of another scale: everything is laid out again at the
// new DPI, in the place the system suggests.
LRESULT Form1::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    dpi_ = HIWORD(wParam);
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    const POINT corner = {suggested->left, suggested->top};
    layout::PlaceWindow(hwnd_, &corner, ApplyDpi(), dpi_);
    return 0;
}

// A new colour scheme: the controls hear of it as the window does, and every
// text is drawn again in a colour that reads on its background.
LRESULT Form1::OnColoursChanged() {
    for (HWND control : {Command1, Text1, Frame1, Label1, Label2, Label3})
        SendMessageW(control, WM_SYSCOLORCHANGE, 0, 0);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return 0;
}

// Turning high contrast on or off.
LRESULT Form1::OnSettingChange(WPARAM wParam, LPARAM lParam) {
    if (wParam == SPI_SETHIGHCONTRAST) OnColoursChanged();
    return DefWindowProcW(hwnd_, WM_SETTINGCHANGE, wParam, lParam);
}

// A device came or went, perhaps with its library: the next tick looks for a
// missing one at once.
LRESULT Form1::OnDeviceChange(WPARAM wParam, LPARAM lParam) {
    module1::SearchAgainSoon();
    return DefWindowProcW(hwnd_, WM_DEVICECHANGE, wParam, lParam);
}

LRESULT Form1::OnHotKey(WPARAM id) {
    if (id == HOTKEY_ID) SwitchIfEnabled();
    return 0;
}

// The check mark says what the registry says now, whoever changed it since.
LRESULT Form1::OnInitMenuPopup(WPARAM wParam) {
    if (reinterpret_cast<HMENU>(wParam) != mnuTray) return 0;
    trayMenu_.SetItemChecked(ID_MNU_TRAY_START_WITH_WINDOWS, StartsWithWindows());
    return 0;
}

LRESULT Form1::OnSysCommand(WPARAM wParam, LPARAM lParam) {
    if ((wParam & APIStuff::SYSCOMMAND_MASK) == ID_SYSTEM_MENU_SETTINGS) {
        mnuTraySettings_Click();
        return 0;
    }
    return DefWindowProcW(hwnd_, WM_SYSCOMMAND, wParam, lParam);
}

// What the hook leaves of the icon's messages: a click on a notification
// opens the window.
LRESULT Form1::OnTrayNotification(WPARAM wParam, LPARAM lParam) {
    if (lParam != NIN_BALLOONUSERCLICK) return DefWindowProcW(hwnd_, tray::TRAY_CALLBACK_MESSAGE, wParam, lParam);
    mnuTrayRestore_Click();
    SetForegroundWindow(hwnd_);
    return 0;
}

LRESULT Form1::OnDestroy() {
    KillTimer(hwnd_, TIMER1_ID);
    UnregisterHotKey(hwnd_, HOTKEY_ID);
    printSwitch_.Stop();
    return 0;
}

LRESULT Form1::OnNcDestroy() {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    Frame1 = Label2 = Label1 = Text1 = Command1 = Label3 = nullptr;
    toolTip_ = focus_ = nullptr;
    if (whenDestroyed_ == WhenDestroyed::EndProgram) PostQuitMessage(0);
    return 0;
}

// ---------------------------------------------------------------------------
// The status box and the button

// A box found absent gets its text before its colour, a present one its
// colour first.
void Form1::ShowStatus(const StatusView& view) {
    if (view.colour == colours::PRESENT) {
        status_.SetBackColor(view.colour);
        status_.SetText(view.text);
    } else {
        status_.SetText(view.text);
        status_.SetBackColor(view.colour);
    }
    const bool enabled = IsWindowEnabled(Command1) != FALSE;
    if (view.button != ButtonChange::Keep && enabled != (view.button == ButtonChange::Enable)) {
        EnableWindow(Command1, !enabled);
        trayMenu_.SetItemEnabled(ID_MNU_TRAY_SWITCH, !enabled);
    }
    // Only a change reaches the shell: a steady box costs it nothing.
    if (view.badge != shownBadge_) {
        shownBadge_ = view.badge;
        APIStuff::SetTrayIcon(TrayIconHandle());
    }
}

// The button, its tray item and the hotkey: none may press a disabled button.
void Form1::SwitchIfEnabled() {
    if (IsWindowEnabled(Command1)) Command1_Click();
}

// ---------------------------------------------------------------------------
// Handlers

void Form1::Form_Load() {
    APIStuff::InstallTrayHook(*this, mnuTray);
    APIStuff::SetTrayTip(Text(TextId::TrayTip));
}

void Form1::Timer1_Timer() {
    RunDeviceWork(DeviceWork::Tick);
    // A tick that waits for other device work has seen nothing new.
    if (!deviceBusy_ && hwnd_) NoteDeviceState();
    ShowPrintNotice(printSwitch_.Settle(passesSentAt_, !deviceBusy_ && !pressWaiting_));
}

void Form1::NoteDeviceState() {
    const std::optional<Notice> notice = notifier_.Observe(lastProbe_.state, GetTickCount64());
    if (notice) TellWhileHidden(notice->text, notice->warning);
}

// Told from the icon only while the window is out of sight, and only when
// the user wants it.
void Form1::TellWhileHidden(const wchar_t* text, bool warning) {
    if (!notificationsOn_ || (IsWindowVisible(hwnd_) && !IsIconic(hwnd_))) return;
    APIStuff::ShowTrayNotification(
        Text(TextId::NoticeTitle), text,
        warning ? APIStuff::NotificationKind::Warning : APIStuff::NotificationKind::Information);
}

// The library may run this thread's messages while it works (the tray menu's
// loop already runs ticks), and a tick or press must not run inside the work
// in progress: its probe would overwrite PortByte between the passes. It
// waits, and is taken once the work in progress is done: the presses that
// came meanwhile as one (each another wait of up to five seconds would
// switch the box back and forth), the tick once.
//
// Another process's sequence on the box (the command line's) is never
// interleaved with ours: a tick skips its turn while the box is taken, a
// press waits for it, and says so when it could not be made.
Form1::Press Form1::RunDeviceWork(DeviceWork work) {
    const bool press = work == DeviceWork::Press;
    if (deviceBusy_) {
        (press ? pressWaiting_ : tickWaiting_) = true;
        return Press::Queued;
    }
    deviceBusy_ = true;
    Press done = Press::NotMade;
    messageloop::LockWait readingMessages(*this);
    if (device::BoxLock lock(press ? device::PressWaitMs : 0, press ? &readingMessages : nullptr); lock) {
        if (press)
            done = SendSwitchCommand();
        else
            CheckDevice();
    } else if (press) {
        PressNotMade();
    }
    deviceBusy_ = false;
    PostWaitingWork();
    return done;
}

// Another program held the box all the while: said until a probe shows it again.
void Form1::PressNotMade() {
    if (!hwnd_) return;
    ShowStatus(NotMadeView(shownBadge_));
    TellWhileHidden(Text(TextId::NoticePressNotMade), true);
}

void Form1::PostWaitingWork() {
    if ((pressWaiting_ || tickWaiting_) && hwnd_) PostMessageW(hwnd_, WM_DEVICE_WORK_WAITING, 0, 0);
}

LRESULT Form1::OnDeviceWorkWaiting() {
    if (pressWaiting_) {
        pressWaiting_ = false;
        RunDeviceWork(DeviceWork::Press);
    } else if (tickWaiting_) {
        tickWaiting_ = false;
        RunDeviceWork(DeviceWork::Tick);
    }
    return 0;
}

// The probe of the poll and of a press; ProbeStatus keeps what the library
// said, lastProbe_ all of it for the requests from other programs.
device::ProbeResult Form1::ProbeDevice() {
    lastProbe_ = device::Probe(PortByte);
    probed_ = true;
    if (!device::IsLibraryProblem(lastProbe_.state)) ProbeStatus = module1::NarrowStatus(lastProbe_.status);
    return lastProbe_;
}

// Neither poll text is true when the device library cannot be used: the box
// then says what is wrong and the button stays off until it can be.
void Form1::CheckDevice() { ShowStatus(PollView(ProbeDevice().state)); }

// The button, its tray item, the hotkey or the command line on this PC.
Form1::Press Form1::Command1_Click() { return RunDeviceWork(DeviceWork::Press); }

// The probe, its short text, then the three passes. The change that follows
// them is the user's own, and no news to them; a press not sent changes
// nothing, and the next change is told.
Form1::Press Form1::SendSwitchCommand() {
    const device::DeviceState state = ProbeDevice().state;
    ShowStatus(PressView(state));
    // Without all four operations the passes would write bytes never read
    // from the device: send nothing. The status box says why, and so does
    // the notification of the settled change.
    if (device::IsLibraryProblem(state)) return Press::NotMade;
    UpdateWindow(Text1);  // shown while the library works, however long it takes
    // Whatever the probe said, the passes go out.
    device::SendSwitchPasses(PortByte);
    passesSentAt_ = GetTickCount64();
    notifier_.OwnSwitch(passesSentAt_);
    return Press::Sent;
}

void Form1::Label2_Click() {
    // The shell may hand the address to extensions that are COM objects:
    // ShellExecute asks for COM on the calling thread, apartment-threaded and
    // without OLE1's DDE. Taken at the first click rather than at start, which
    // it would slow, and kept for the window's life.
    if (!com_) com_.emplace(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // Shown normally: a browser started hidden would make the click seem to do nothing.
    Shell::ShellOpen(texts::WEB_ADDRESS, L"Open", nullptr, nullptr, SW_SHOWNORMAL);
}

void Form1::mnuTrayRestore_Click() {
    LONG nothing = 0;  // the command carries no position
    SendMessageA(hwnd_, WM_SYSCOMMAND, SC_RESTORE, reinterpret_cast<LPARAM>(&nothing));
}

void Form1::mnuTrayClose_Click() { DestroyWindow(hwnd_); }

void Form1::mnuTrayMinimize_Click() { ShowWindow(hwnd_, SW_MINIMIZE); }

// Checked, the item removes the start; unchecked, it writes this executable's.
void Form1::mnuTrayStartWithWindows_Click() { ChangeStartWithWindows(!StartsWithWindows()); }

void Form1::mnuTraySettings_Click() { settingsDialog_.Open(instance_, hwnd_, *this); }

void Form1::SetTrayMenuItems(int16_t& window_state) {
    if (window_state == APIStuff::WINDOW_STATE_MINIMISED) {
        trayMenu_.SetItemEnabled(ID_MNU_TRAY_MINIMIZE, false);
        trayMenu_.SetItemEnabled(ID_MNU_TRAY_RESTORE, true);
    } else if (window_state == APIStuff::WINDOW_STATE_NORMAL) {
        trayMenu_.SetItemEnabled(ID_MNU_TRAY_MINIMIZE, true);
        trayMenu_.SetItemEnabled(ID_MNU_TRAY_RESTORE, false);
    }
}

// ---------------------------------------------------------------------------
// The print switch: what its worker tells the window

void Form1::ChangePrinter(const wchar_t* name) { printSwitch_.Change(name); }

LRESULT Form1::OnPrintWatch(WPARAM event, LPARAM value) {
    switch (static_cast<printing::PrintEvent>(event)) {
    case printing::PrintEvent::Jobs: PressForPrinting(value != 0); break;
    case printing::PrintEvent::Health: printSwitch_.NoteHealth(value); break;
    case printing::PrintEvent::Listed:
        printSwitch_.NoteListed();
        settingsDialog_.PrintersListed();
        break;
    }
    return 0;
}

// A new job of this user: the press is the button's, so one sequence at a time holds.
void Form1::PressForPrinting(bool offline) {
    if (!probed_) RunDeviceWork(DeviceWork::Tick);  // a job before the first tick: the box is looked at first
    const device::DeviceState state = lastProbe_.state;
    if (!printSwitch_.Wants(state, GetTickCount64(), passesSentAt_)) return;
    const ULONGLONG before = passesSentAt_;
    const bool pressed = state == device::DeviceState::Present;
    const Press press = pressed ? Command1_Click() : Press::NotMade;
    // Queued behind the work in progress: told once it is done.
    const std::optional<Notice> notice =
        printSwitch_.Pressed(press == Press::Sent, press == Press::Queued, before, offline);
    // Kept from the box by another program: the press has said so itself.
    if (pressed && press == Press::NotMade) return;
    ShowPrintNotice(notice);
}

void Form1::ShowPrintNotice(const std::optional<Notice>& notice) {
    if (!notice || !notificationsOn_ || !hwnd_) return;
    APIStuff::ShowTrayNotification(
        Text(TextId::NoticeTitle), notice->text,
        notice->warning ? APIStuff::NotificationKind::Warning : APIStuff::NotificationKind::Information);
}
