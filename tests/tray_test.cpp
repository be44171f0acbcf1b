// The notification-area icon, its record and badge, the hook on the window's
// messages, the popup menu, the hotkey and the start with Windows.
#include "FormFixture.h"

#include <shellapi.h>

#include <cstring>

#include "settings/Settings.h"
#include "tray/APIStuff.h"
#include "tray/TrayIconRecord.h"
#include "tray/TrayNotification.h"
#include "window/Notifier.h"

namespace {

using tray::NATIVE_LAYOUT;
using tray::TRAY_CALLBACK_MESSAGE;

uint64_t Field(const tray::TrayRecordBytes& record, uint32_t at, uint32_t width = 4) {
    uint64_t value = 0;
    for (uint32_t i = 0; i < width; ++i) value |= uint64_t(record.bytes[at + i]) << (8 * i);
    return value;
}

std::string TipOf(const tray::TrayRecordBytes& record) {
    const auto* tip = reinterpret_cast<const char*>(record.data()) + NATIVE_LAYOUT.szTip;
    return std::string(tip, tray::TIP_FIELD_SIZE);
}

// What this process's shell reads, filled in through the SDK's own structure.
template <typename Data, typename Tip>
std::string SdkRecord(DWORD size, uintptr_t hwnd, UINT flags, uintptr_t icon, const Tip& tip) {
    Data data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = size;
    data.hWnd = reinterpret_cast<HWND>(hwnd);
    data.uFlags = flags;
    data.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    data.hIcon = reinterpret_cast<HICON>(icon);
    std::memcpy(data.szTip, tip.data(), sizeof tip);
    return std::string(reinterpret_cast<const char*>(&data), size);
}

TEST(TrayIconRecord, IsWrittenByteForByteWithItsTipCutOnACharacterInSixtyThreeBytes) {
    // The widest handles this process has: a 64-bit one must not lose its high half.
    const auto hwnd = static_cast<uintptr_t>(0x7EDCBA9812345678ull),
               icon = static_cast<uintptr_t>(0x6BADF00D0BADF00Dull);
    tray::TrayIconRecord record;
    record.hWnd = hwnd;
    record.hIcon = icon;
    record.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    record.szTipW = tray::MakeWideTipField(L"ω");
    for (bool wide : {false, true}) {
        record.wide = wide;
        for (uint32_t flags : {tray::FLAGS_ADD, tray::FLAGS_TIP, tray::FLAGS_DELETE}) {
            record.uFlags = flags;
            const auto bytes = tray::RecordBytes(record);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size),
                      wide ? SdkRecord<NOTIFYICONDATAW>(NOTIFYICONDATAW_V1_SIZE, hwnd, flags, icon, record.szTipW)
                           : SdkRecord<NOTIFYICONDATAA>(NOTIFYICONDATAA_V1_SIZE, hwnd, flags, icon, record.szTip));
            EXPECT_EQ(bytes.wide, wide);
        }
    }
    record.wide = false;
    EXPECT_EQ(TipOf(tray::RecordBytes(record)), std::string(64, '\0')) << "no tip until one is set";
    EXPECT_EQ(tray::RecordBytes(record).size, sizeof(void*) == 4 ? 88u : 104u);
    // As many whole characters as fit in 63 bytes, whatever the code page.
    struct Tip {
        UINT codePage;
        const wchar_t* character;
        size_t given, kept;
        std::string bytes;  // of one character
    };
    const Tip tips[] = {
        {1253, L"ω", 0, 0, "\xF9"},
        {1253, L"ω", 62, 62, "\xF9"},
        {1253, L"ω", 63, 63, "\xF9"},
        {1253, L"ω", 100, 63, "\xF9"},
        {1252, L"é", 100, 63, "\xE9"},
        {65001, L"ω", 63, 31, "\xCF\x89"},
        {65001, L"日", 100, 21, "\xE6\x97\xA5"},
        {65001, L"\U0001F600", 20, 15, "\xF0\x9F\x98\x80"},
        {932, L"日", 100, 31, "\x93\xFA"},
    };
    for (const Tip& tip : tips) {
        std::wstring text;
        std::string kept;
        for (size_t i = 0; i < tip.given; ++i) text += tip.character;
        for (size_t i = 0; i < tip.kept; ++i) kept += tip.bytes;
        record.szTip = tray::MakeTipField(text.c_str(), tip.codePage);
        const auto bytes = tray::RecordBytes(record);
        EXPECT_EQ(TipOf(bytes), kept + '\0' + std::string(63 - kept.size(), ' ')) << tip.codePage << " " << tip.given;
    }
    // The wide tip keeps 63 units, never half a surrogate pair.
    const std::wstring smiles = L"\U0001F600\U0001F600";
    const std::pair<std::wstring, std::wstring> wideTips[] = {
        {std::wstring(70, L'ω'), std::wstring(63, L'ω')},
        {std::wstring(61, L'ω') + smiles, std::wstring(61, L'ω') + smiles.substr(0, 2)},
        {std::wstring(62, L'ω') + smiles, std::wstring(62, L'ω')},
    };
    for (const auto& [given, kept] : wideTips) {
        const tray::WideTipField field = tray::MakeWideTipField(given.c_str());
        EXPECT_EQ(std::wstring(field.data()), kept);
    }
}

// The program's tip goes 8-bit exactly where the code page holds all of it.
TEST(TrayIconRecord, TheTipIsWideWhereTheCodePageCannotHoldItWhole) {
    const std::tuple<std::wstring, UINT, bool> rows[] = {
        {texts::TRAY_TIP, 1253, false},       {texts::TRAY_TIP, 1252, true}, {texts::TRAY_TIP, 932, true},
        {texts::TRAY_TIP, 65001, true},       {texts::TRAY_TIP, 1251, true}, {std::wstring(63, L'é'), 1252, false},
        {std::wstring(64, L'e'), 1252, true},  // longer than the field
    };
    for (const auto& [text, codePage, wide] : rows)
        EXPECT_EQ(tray::NeedsWideTip(text.c_str(), codePage), wide) << codePage << " " << text.size();
}

// The program's calls to the shell, recorded on their way to it: the icon's
// own, and the notifications.
struct ShellCalls {
    static inline std::vector<std::pair<DWORD, tray::TrayRecordBytes>> calls;
    static inline std::vector<NOTIFYICONDATAW> notifications;
    static BOOL Record(DWORD message, tray::TrayRecordBytes& record) {
        calls.push_back({message, record});
        return APIStuff::CallShell(message, record);
    }
    static BOOL RecordNotification(DWORD message, NOTIFYICONDATAW& record) {
        EXPECT_EQ(message, DWORD(NIM_MODIFY));
        notifications.push_back(record);
        return APIStuff::CallShellForNotification(message, record);
    }
    ShellCalls() {
        calls.clear();
        notifications.clear();
        APIStuff::ShellNotifyIcon = &Record;
        APIStuff::ShellNotifyBalloon = &RecordNotification;
    }
    ~ShellCalls() {
        APIStuff::ShellNotifyIcon = &APIStuff::CallShell;
        APIStuff::ShellNotifyBalloon = &APIStuff::CallShellForNotification;
    }
};

using TrayTest = FormFixture;

TEST_F(TrayTest, TheIconWithItsTipLivesFromLoadToDestruction) {
    HWND hwnd = form->Handle();
    EXPECT_TRUE(support::IconExists(hwnd));
    EXPECT_EQ(APIStuff::TrayIconData.hIcon, reinterpret_cast<uintptr_t>(form->TrayIconHandle()));
    EXPECT_EQ(std::string(APIStuff::TrayIconData.szTip.data()),
              "<Varnosklen>. \xCA\xDC\xED\xF4\xE5 \xEA\xEB\xDF\xEA \xE5\xE4\xFE, \xE3\xE9\xE1 "
              "\xE5\xEC\xF6\xDC\xED\xE9\xF3\xE7 \xF4\xEF\xF5 \xF0\xF1\xEF\xE3\xF1\xDC\xEC\xEC\xE1\xF4\xEF\xF2");
    ShellCalls shell;
    DestroyWindow(hwnd);
    EXPECT_FALSE(support::IconExists(hwnd)) << "gone at once";
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].first, DWORD(NIM_DELETE));
    EXPECT_EQ(Field(shell.calls[0].second, NATIVE_LAYOUT.hWnd, NATIVE_LAYOUT.handleBytes), uintptr_t(hwnd))
        << "the icon named by its window";
    EXPECT_EQ(APIStuff::TrayForm, nullptr);
}

// As a restarting Explorer does: the icon is lost, then "TaskbarCreated" comes
// (or that message alone).
TEST_F(TrayTest, ANewTaskbarGetsTheIconBackWithItsTip) {
    for (bool hidden : {false, true}) {
        if (hidden) SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        for (bool restarted : {true, false}) {
            NOTIFYICONDATAW remove = {NOTIFYICONDATAW_V1_SIZE, form->Handle()};
            ASSERT_TRUE(!restarted || Shell_NotifyIconW(NIM_DELETE, &remove));
            SendMessageW(form->Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
            EXPECT_TRUE(support::IconExists(form->Handle())) << hidden << restarted;
            EXPECT_EQ(APIStuff::TrayIconData.uFlags, tray::FLAGS_TIP) << "the tip was given again";
        }
    }
    SendMessageW(form->Handle(), TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(form->Handle())) << "the hidden window can be brought back";
}

// Stands between the hook and the window's own procedure, to see what is
// passed on.
struct PassedOn {
    static inline std::vector<std::pair<UINT, LPARAM>> messages;
    static inline WNDPROC real = nullptr;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        messages.push_back({m, m == WM_SYSCOMMAND ? LPARAM(w) : l});
        return CallWindowProcA(real, h, m, w, l);
    }
    PassedOn() {
        messages.clear();
        real = APIStuff::PrevWndProc;
        APIStuff::PrevWndProc = &Proc;
    }
    ~PassedOn() { APIStuff::PrevWndProc = real; }
    static bool Saw(UINT msg, LPARAM detail) {
        return std::find(messages.begin(), messages.end(), std::make_pair(msg, detail)) != messages.end();
    }
};

enum Start { Shown, Hidden, Minimised };

TEST_F(TrayTest, TheHookAnswersEachMessageInEachState) {
    struct Row {
        const char* name;
        Start start;
        UINT msg;
        LPARAM detail;  // wParam of WM_SYSCOMMAND, lParam of the tray message
        bool visible, iconic, restoreEnabled, minimiseEnabled, passedOn;
    };
    const UINT tray = TRAY_CALLBACK_MESSAGE, sys = WM_SYSCOMMAND;
    const Row rows[] = {
        {"minimise hides, and its taskbar button", Shown, sys, SC_MINIMIZE, false, false, true, false, false},
        {"a left click shows, menu left alone", Hidden, tray, WM_LBUTTONUP, true, false, true, false, false},
        {"a left click restores a minimised window", Minimised, tray, WM_LBUTTONUP, true, false, true, true, false},
        {"restore shows a hidden window", Hidden, sys, SC_RESTORE, true, false, false, true, false},
        {"restore of a shown window goes on", Shown, sys, SC_RESTORE, true, false, true, true, true},
        {"minimise from the caption (low bits set)", Shown, sys, SC_MINIMIZE | 0x2, false, false, true, false, false},
        {"restore with low bits set", Hidden, sys, SC_RESTORE | 0x2, true, false, false, true, false},
        {"mouse move", Shown, tray, WM_MOUSEMOVE, true, false, true, true, true},
        {"left button down", Shown, tray, WM_LBUTTONDOWN, true, false, true, true, true},
        {"left double click", Hidden, tray, WM_LBUTTONDBLCLK, false, false, true, false, true},
        {"right button down", Shown, tray, WM_RBUTTONDOWN, true, false, true, true, true},
        {"middle button up", Shown, tray, WM_MBUTTONUP, true, false, true, true, true},
        {"left button up with high bits", Hidden, tray, 0x10000 | WM_LBUTTONUP, false, false, true, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Recreate();
        HWND hwnd = form->Handle();
        if (row.start == Hidden) SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        if (row.start == Minimised) form->mnuTrayMinimize_Click();
        ASSERT_EQ(IsIconic(hwnd) != FALSE, row.start == Minimised) << "minimised the ordinary way";
        PassedOn spy;
        const bool command = row.msg == WM_SYSCOMMAND;
        SendMessageW(hwnd, row.msg, command ? row.detail : 0, command ? 0 : row.detail);
        EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, row.visible);
        EXPECT_EQ(IsIconic(hwnd) != FALSE, row.iconic);
        EXPECT_EQ(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_RESTORE), row.restoreEnabled);
        EXPECT_EQ(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_MINIMIZE), row.minimiseEnabled);
        EXPECT_EQ(PassedOn::Saw(row.msg, row.detail), row.passedOn);
    }
    int16_t other = 2;
    const bool restore = form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_RESTORE);
    form->SetTrayMenuItems(other);
    EXPECT_EQ(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_RESTORE), restore) << "other states change nothing";
    EXPECT_FALSE(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_MINIMIZE));
}

// A shell with no notification area.
BOOL RefuseIcon(DWORD, tray::TrayRecordBytes&) { return FALSE; }

TEST_F(TrayTest, WithoutAnIconTheWindowStaysReachableUntilALaterTickAddsIt) {
    form.reset();  // its icon goes while the shell still answers
    APIStuff::ShellNotifyIcon = &RefuseIcon;
    Recreate();
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsWindowVisible(form->Handle())) << "a hidden window without an icon could never come back";
    EXPECT_TRUE(IsIconic(form->Handle()));
    form->ShowInTray();  // started at logon before the taskbar: the same
    EXPECT_TRUE(IsWindowVisible(form->Handle()) && IsIconic(form->Handle()));
    APIStuff::ShellNotifyIcon = &APIStuff::CallShell;  // the taskbar is there now
    EXPECT_TRUE(support::WaitFor([&] { return support::IconExists(form->Handle()); }, 8000));
    EXPECT_FALSE(IsWindowVisible(form->Handle())) << "minimised, it moves to the tray with the icon";
    EXPECT_EQ(APIStuff::TrayIconData.uFlags, tray::FLAGS_TIP) << "the tip was given again";
}

// Its colours are read on screen end to end.
TEST_F(TrayTest, TheIconChangesWithTheBoxAndASteadyBoxCostsTheShellNothing) {
    ShellCalls shell;
    std::vector<uint64_t> shown = {uintptr_t(form->TrayIconHandle())};
    for (const LONG onBus : {1, 0, 1}) {
        box->onBus = onBus;
        shell.calls.clear();
        for (int tick = 0; tick < 3; ++tick) form->Timer1_Timer();
        ASSERT_EQ(shell.calls.size(), 1u) << "the change alone reaches the shell";
        EXPECT_EQ(shell.calls[0].first, DWORD(NIM_MODIFY));
        EXPECT_EQ(Field(shell.calls[0].second, NATIVE_LAYOUT.uFlags), uint64_t(NIF_ICON));
        shown.push_back(Field(shell.calls[0].second, NATIVE_LAYOUT.hIcon, NATIVE_LAYOUT.handleBytes));
    }
    EXPECT_TRUE(shown[0] != shown[1] && shown[1] != shown[2] && shown[0] != shown[2] && shown[1] == shown[3]);
}

TEST_F(TrayTest, TheHotkeySettingGivesTheHotkeyInForceWhichTheSwitchItemShows) {
    const std::tuple<DWORD, std::wstring, const wchar_t*> rows[] = {
        {REG_NONE, L"", L"Ctrl+Alt+U"},  // no value at all
        {REG_SZ, L"", L""},
        {REG_SZ, L" shift + CTRL+f9 ", L"Ctrl+Shift+F9"},
        {REG_SZ, L"Win+Alt+PageDown", L"Alt+Win+PageDown"},
        {REG_SZ, L"Shift+F11", L"Shift+F11"},
        {REG_DWORD, L"K", L"Ctrl+Alt+U"},
        {REG_EXPAND_SZ, L"Ctrl+Shift+K", L"Ctrl+Alt+U"},
        {REG_SZ, L"Ctrl+Shift+" + std::wstring(60, L' ') + L"K", L"Ctrl+Alt+U"},  // longer than any hotkey
        {REG_SZ, L"Ctrl+Alt", L"Ctrl+Alt+U"},
        {REG_SZ, L"Ctrl+K+L", L"Ctrl+Alt+U"},
        {REG_SZ, L"Ctrl+Ctrl+K", L"Ctrl+Alt+U"},
        {REG_SZ, L"Ctrl+F25", L"Ctrl+Alt+U"},
        {REG_SZ, L"Shift+K", L"Ctrl+Alt+U"},  // it would take a capital from typing
    };
    wchar_t text[128] = {};
    for (const auto& [type, value, shown] : rows) {
        SCOPED_TRACE(testing::Message() << type << " \"" << value << "\"");
        RegDeleteKeyW(HKEY_CURRENT_USER, settings::SETTINGS_KEY);
        if (type != REG_NONE) support::SetRegValue(settings::SETTINGS_KEY, settings::HOTKEY_VALUE, value, type);
        Recreate();
        GetMenuStringW(form->mnuTray, Form1::ID_MNU_TRAY_SWITCH, text, 128, MF_BYCOMMAND);
        EXPECT_EQ(text, texts::COMMAND1 + std::wstring(*shown ? L"\t" : L"") + shown);
        EXPECT_TRUE(type != REG_NONE || !support::RegKeyExists(settings::SETTINGS_KEY)) << "defaults are not written";
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, settings::SETTINGS_KEY);
    form.reset();
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'U')) << "as another program holds it";
    Recreate();
    UnregisterHotKey(nullptr, 1);
    GetMenuStringW(form->mnuTray, Form1::ID_MNU_TRAY_SWITCH, text, 128, MF_BYCOMMAND);
    EXPECT_STREQ(text, texts::COMMAND1) << "taken: no hotkey";
}

TEST_F(TrayTest, StartWithWindowsIsCheckedFromTheRunValueAndTaskManagerAndWritesOrRemovesThem) {
    using settings::RUN_KEY, settings::RUN_VALUE, settings::STARTUP_APPROVED_KEY;
    const std::wstring mine = L"\"" + support::BinDir() + L"\\tray_test.exe\" /tray", none = L"(none)";
    // Task Manager's marks: enabled, disabled (with the time of it).
    const std::string unmarked, enabled("\2\0\0\0\0\0\0\0\0\0\0\0", 12),
        disabled("\3\0\0\0\x10\x2A\x7E\x5B\x33\x67\xDB\1", 12);
    const std::tuple<std::wstring, std::string, bool, std::wstring> rows[] = {
        {none, unmarked, false, mine},
        {mine, unmarked, true, none},
        {mine, enabled, true, none},
        {mine, disabled, false, mine},  // and Windows starts it again: no mark left
        {L"\"C:\\Elsewhere\\Varnosklen.exe\" /tray", unmarked, false, mine},
        {mine.substr(0, mine.size() - 6), unmarked, false, mine},
    };
    for (const auto& [run, mark, checked, runAfter] : rows) {
        SCOPED_TRACE(run + L" " + std::to_wstring(mark.size()));
        RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_KEY, RUN_VALUE);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, RUN_VALUE);
        if (run != none) support::SetRegValue(RUN_KEY, RUN_VALUE, run);
        if (!mark.empty())
            RegSetKeyValueW(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, RUN_VALUE, REG_BINARY, mark.data(),
                            DWORD(mark.size()));
        SendMessageW(form->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(form->mnuTray), 0);
        const UINT state = GetMenuState(form->mnuTray, Form1::ID_MNU_TRAY_START_WITH_WINDOWS, MF_BYCOMMAND);
        EXPECT_EQ((state & MF_CHECKED) != 0, checked);
        SendMessageW(form->Handle(), WM_COMMAND, Form1::ID_MNU_TRAY_START_WITH_WINDOWS, 0);
        EXPECT_EQ(support::RegValue(RUN_KEY, RUN_VALUE).value_or(none), runAfter);
        EXPECT_FALSE(support::RegValue(STARTUP_APPROVED_KEY, RUN_VALUE))
            << "no mark of Task Manager's left to stop or outlive the start";
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_KEY, RUN_VALUE);
}

HWND OpenPopup() {
    return support::FindWindowWhere(L"#32768", [](HWND w) { return IsWindowVisible(w) != FALSE; });
}

std::vector<std::wstring> Items(HWND popup) {
    std::vector<std::wstring> items;
    const HMENU shown = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(shown); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(shown, i, text, 64, MF_BYPOSITION);
        items.push_back(text);
    }
    return items;
}

// A right-button click on an item, as in the notification area; then Escape,
// should the menu not have taken the click. A menu reads its clicks' places
// on the screen.
void RightClick(HWND popup, UINT item) {
    RECT r = {};
    GetMenuItemRect(nullptr, reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0)), item, &r);
    const POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    PostMessageW(popup, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageW(popup, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    support::Key(popup, VK_ESCAPE);
}

// The popup of a right click, its items, a null message posted after it.
TEST_F(TrayTest, OpenRightClickedInThePopupShowsTheHiddenWindowAndExitChosenEndsIt) {
    HWND hwnd = form->Handle();
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    std::vector<std::wstring> items;
    support::WhenShown open(OpenPopup, [&](HWND popup) { items = Items(popup), RightClick(popup, 0); });
    SendMessageW(hwnd, TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP);
    EXPECT_EQ(items, (std::vector<std::wstring>{L"Ανοιγμα του Varnosklen", L"",
                                                L"Σύνδεση με το κοινό περιφεριακό USB\tCtrl+Alt+U",
                                                L"Εκκίνηση μαζί με τα Windows", L"Ρυθμίσεις…", L"", L"Εξοδος"}));
    EXPECT_TRUE(IsWindowVisible(hwnd)) << "the handler ran before the popup call returned";
    EXPECT_FALSE(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_RESTORE));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, hwnd, WM_NULL, WM_NULL, PM_REMOVE)) << "a null message after the menu";

    // Up wraps to the last item.
    support::WhenShown exit(OpenPopup, [](HWND popup) { support::Key(popup, VK_UP), support::Key(popup, VK_RETURN); });
    SendMessageW(hwnd, TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(support::IconExists(hwnd));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_NULL, WM_NULL, PM_REMOVE | PM_QS_POSTMESSAGE)) << "nothing posted";
}

// ---------------------------------------------------------------------------
// Notifications

TEST(Notifier, OneNoticePerSettledChangeNoneAtStartOrForTheUsersOwnSwitch) {
    constexpr ULONGLONG S = Notifier::SETTLE_MS;
    constexpr auto P = device::DeviceState::Present, A = device::DeviceState::Absent,
                   M = device::DeviceState::LibraryMissing, I = device::DeviceState::LibraryIncomplete;
    const wchar_t* BACK = texts::NOTICE_BACK_ON_BUS;
    struct Step {
        ULONGLONG at;
        device::DeviceState state;
        const wchar_t* notice = nullptr;
        bool ownSwitch = false;
    };
    // One notifier through the whole timeline.
    const std::pair<const char*, std::vector<Step>> timeline[] = {
        {"the state at start settles without a word", {{0, P}, {S, P}}},
        {"a change, once settled", {{S + 100, A}, {2 * S + 100, A, texts::NOTICE_LEFT_BUS}, {2 * S + 200, A}}},
        {"flapping, then stopping", {{2 * S + 300, P}, {2 * S + 400, A}, {2 * S + 500, P}, {3 * S + 500, P, BACK}}},
        {"flapping, then stopping where it was", {{3 * S + 600, A}, {3 * S + 700, P}, {4 * S + 700, P}}},
        {"the user's own switch", {{10000, P, nullptr, true}, {10100, A}, {10100 + S, A}}},
        {"an own switch that changed nothing, then a change",
         {{20000, A, nullptr, true}, {20000 + S, A}, {20100 + S, P}, {20100 + 2 * S, P, BACK}}},
        {"the library missing, then incomplete",
         {{30000, M}, {30000 + S, M, texts::NOTICE_LIBRARY_MISSING}, {30100 + S, I}, {30100 + 2 * S, I}}},
        {"the library back, the box absent", {{40000, A}, {40000 + S, A, texts::NOTICE_LIBRARY_BACK_ABSENT}}},
        {"the library incomplete", {{50000, I}, {50000 + S, I, texts::NOTICE_LIBRARY_INCOMPLETE}}},
        {"the library back, the box present", {{60000, P}, {60000 + S, P, texts::NOTICE_LIBRARY_BACK_PRESENT}}},
    };
    Notifier notifier;
    for (const auto& [name, steps] : timeline) {
        SCOPED_TRACE(name);
        for (const Step& step : steps) {
            if (step.ownSwitch) notifier.OwnSwitch(step.at);
            const auto notice = notifier.Observe(step.state, step.at);
            EXPECT_STREQ(notice ? notice->text : nullptr, step.notice) << step.at;
            EXPECT_EQ(notice && notice->warning, notice && (step.state == M || step.state == I)) << step.at;
        }
    }
}

TEST_F(TrayTest, ASettledChangeWhileHiddenGivesOneNotificationWhoseClickOpensTheWindow) {
    // Flapping and settling are the notifier's, in its own test.
    const std::tuple<const char*, bool, bool, bool, const wchar_t*> rows[] = {
        {"the box leaves the bus", true, true, false, Text(TextId::NoticeLeftBus)},
        {"the user's own switch from the tray", true, true, true, nullptr},
        {"the window shown", false, true, false, nullptr},
        {"notifications off", true, false, false, nullptr},
    };
    const auto settledOn = [&](const wchar_t* status) {
        return support::WaitFor([&] { return StatusText() == status && form->NoticesSettled(); },
                                Notifier::SETTLE_MS + 10000);
    };
    for (const auto& [name, hidden, on, ownSwitch, notice] : rows) {
        SCOPED_TRACE(name);
        box.Reset();
        if (!on) support::SetRegValue(settings::SETTINGS_KEY, settings::NOTIFICATIONS_VALUE, DWORD(0));
        Recreate();
        RegDeleteKeyW(HKEY_CURRENT_USER, settings::SETTINGS_KEY);
        ASSERT_TRUE(settledOn(Text(TextId::Present))) << "the state at start";
        HWND hwnd = form->Handle();
        if (hidden) SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        ShellCalls shell;
        if (ownSwitch)
            SendMessageW(hwnd, WM_COMMAND, Form1::ID_MNU_TRAY_SWITCH, 0);
        else
            box->onBus = 0;
        ASSERT_TRUE(settledOn(Text(TextId::Absent)));
        ASSERT_EQ(shell.notifications.size(), notice ? 1u : 0u);
        for (const auto& call : shell.calls)
            EXPECT_EQ(Field(call.second, NATIVE_LAYOUT.uFlags), uint64_t(NIF_ICON)) << "the icon's own: its badge";
        if (!notice) continue;
        const NOTIFYICONDATAW& shown = shell.notifications[0];
        EXPECT_EQ(shown.cbSize, DWORD(NOTIFYICONDATAW_V2_SIZE)) << "the record that carries a notification";
        EXPECT_EQ(shown.hWnd, hwnd);
        EXPECT_EQ(shown.uID, 0u) << "the program's one icon";
        EXPECT_EQ(shown.uFlags, UINT(NIF_INFO)) << "nothing of the icon changed";
        EXPECT_STREQ(shown.szInfo, notice);
        EXPECT_STREQ(shown.szInfoTitle, L"Varnosklen");
        EXPECT_EQ(shown.dwInfoFlags, DWORD(NIIF_INFO | NIIF_RESPECT_QUIET_TIME));
        SendMessageW(hwnd, TRAY_CALLBACK_MESSAGE, 0, NIN_BALLOONUSERCLICK);
        EXPECT_TRUE(IsWindowVisible(hwnd)) << "a click on it opens the window";
    }
}

// A press another program kept from the box is told from the icon at once,
// and, nothing having been sent, so is the box's next change.
TEST_F(TrayTest, APressKeptFromTheBoxIsToldAndSoIsTheNextChange) {
    ASSERT_TRUE(support::WaitFor([&] { return StatusText() == Text(TextId::Present) && form->NoticesSettled(); },
                                 Notifier::SETTLE_MS + 10000));
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ShellCalls shell;
    {
        PressWait wait(200);
        HeldBox other;
        EXPECT_EQ(form->Command1_Click(), Form1::Press::NotMade);
        ASSERT_EQ(shell.notifications.size(), 1u);
        EXPECT_STREQ(shell.notifications[0].szInfo, Text(TextId::NoticePressNotMade));
        EXPECT_EQ(shell.notifications[0].dwInfoFlags, DWORD(NIIF_WARNING | NIIF_RESPECT_QUIET_TIME));
    }
    box->onBus = 0;  // switched from the other PC
    ASSERT_TRUE(support::WaitFor([&] { return shell.notifications.size() == 2; }, Notifier::SETTLE_MS + 10000));
    EXPECT_STREQ(shell.notifications[1].szInfo, Text(TextId::NoticeLeftBus));
}

}  // namespace
