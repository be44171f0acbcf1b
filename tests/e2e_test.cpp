// The real Varnosklen.exe, started as its own process and driven from
// outside, on the stand-in box and its faults.
#include <gtest/gtest.h>

#include <random>

#include "support/TestSupport.h"

#include <commctrl.h>
#include <shellapi.h>

#include "resources/resource_ids.h"
#include "window/Form1.h"
#include "window/StartOptions.h"
#include "window/Texts.h"

namespace {

using support::Program, support::TempDir, support::WaitFor;

std::wstring ProgramPath() { return support::BinDir() + L"\\Varnosklen.exe"; }
std::wstring LibraryPath() { return support::BinDir() + L"\\AVR309.dll"; }

COLORREF OnScreen(POINT at) {
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// Every test reads the texts in the language the program speaks here: the
// display language's, or the one chosen in the registry.
class EndToEnd : public testing::Test {
protected:
    EndToEnd() { UseLanguage(settings::LanguageInEffect()); }
    Program& Start(const std::wstring& exe = ProgramPath(), const std::wstring& dir = support::BinDir(),
                   const std::vector<std::wstring>& env = {}, const std::wstring& arguments = L"") {
        program.reset();  // one at a time: a second copy would only bring the first forward
        program = std::make_unique<Program>(exe, dir, env, true, arguments);
        return *program;
    }
    std::wstring Status() const { return support::WindowText(program->Control(Form1::ID_TEXT1)); }
    bool Shows(const wchar_t* text) const {
        return WaitFor([&] { return Status() == text; });
    }
    // Just inside the status box's top-left corner, where its centred text never reaches.
    COLORREF StatusOnScreen() const {
        POINT corner = {2, 2};
        ClientToScreen(program->Control(Form1::ID_TEXT1), &corner);
        return OnScreen(corner);
    }
    bool ButtonEnabled() const { return IsWindowEnabled(program->Control(Form1::ID_COMMAND1)) != FALSE; }
    void Press() const { PostMessageW(program->Control(Form1::ID_COMMAND1), BM_CLICK, 0, 0); }
    // Whether n sequences (three writes each) reach the box from the mark on,
    // and no more by the time it has had some calls more.
    bool Sequences(LONG mark, int n) const {
        const auto writes = [&] { return box.CountSince(mark, standin::OP_SET_OUT_DATA_PORT); };
        if (!WaitFor([&] { return writes() >= 3 * n; }, 20000)) return false;
        const LONG after = box.Mark();
        return WaitFor([&] { return box.Mark() - after >= 3; }) && writes() == 3 * n;
    }
    bool Answers() const {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(program->Window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
    }

    support::StandIn box;
    std::unique_ptr<Program> program;
};

// The library is looked for beside the program, in the system folders and on
// PATH, never in the current folder nor on a network drive; once in place it
// is picked up. A library of the other width is said to be one.
TEST_F(EndToEnd, TheLibraryIsLoadedOnlyFromSafePlaces) {
    wchar_t system[MAX_PATH] = {}, path[8192] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    GetEnvironmentVariableW(L"PATH", path, 8192);
    const std::wstring network = L"N:\\";
    ASSERT_EQ(GetDriveTypeW(network.c_str()), UINT(DRIVE_REMOTE))
        << "the prefix has no network drive N: (scripts/lib.sh makes it)";
    enum Where { Nowhere, CurrentFolder, OnPath, SystemFolder, NetworkDrive, OtherWidth };
    const std::pair<Where, const wchar_t*> rows[] = {
        {Nowhere, Text(TextId::LibraryMissing)},
        {CurrentFolder, Text(TextId::LibraryMissing)},
        {OnPath, Text(TextId::Present)},
        {SystemFolder, Text(TextId::Present)},
        {NetworkDrive, Text(TextId::LibraryMissing)},
        {OtherWidth, Text(TextId::LibraryOtherArchitecture)},
    };
    for (const auto& [where, shown] : rows) {
        SCOPED_TRACE(where);
        TempDir programDir, otherDir;
        const std::wstring exe = programDir.File(L"Varnosklen.exe");
        const std::wstring shared = network + L"varnosklen-" + std::to_wstring(GetCurrentProcessId());
        struct Installed {
            std::wstring file, folder;
            ~Installed() {
                DeleteFileW(file.c_str());
                RemoveDirectoryW(folder.c_str());
            }
        } installed{where == SystemFolder   ? std::wstring(system) + L"\\AVR309.dll"
                    : where == NetworkDrive ? shared + L"\\AVR309.dll"
                    : where == OtherWidth   ? programDir.File(L"AVR309.dll")
                                            : otherDir.File(L"AVR309.dll"),
                    where == NetworkDrive ? shared : L""};
        ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), exe.c_str(), FALSE));
        ASSERT_TRUE(where != NetworkDrive || CreateDirectoryW(shared.c_str(), nullptr));
        if (where == OtherWidth) {
            ASSERT_TRUE(support::CopyAsOtherArchitecture(LibraryPath(), installed.file));
        } else if (where != Nowhere) {
            ASSERT_TRUE(CopyFileW(LibraryPath().c_str(), installed.file.c_str(), FALSE));
        }
        const LONG mark = box.Mark();
        const std::wstring onPath = where == OnPath         ? otherDir.Path() + L";"
                                    : where == NetworkDrive ? shared + L";"
                                                            : L"";
        Start(exe, where == CurrentFolder ? otherDir.Path() : programDir.Path(), {L"PATH=" + onPath + path});
        EXPECT_TRUE(Shows(shown));
        if (shown != Text(TextId::Present)) {
            EXPECT_FALSE(ButtonEnabled());
            EXPECT_EQ(box.Mark(), mark) << "a planted library answered";
        }
        if (where == Nowhere) {
            ASSERT_TRUE(CopyFileW(LibraryPath().c_str(), programDir.File(L"AVR309.dll").c_str(), FALSE));
            EXPECT_TRUE(Shows(Text(TextId::Present))) << "picked up without a restart";
        }
        PostMessageW(program->Window(), WM_CLOSE, 0, 0);
        EXPECT_EQ(program->WaitForExit(), 0u);
    }
}

TEST_F(EndToEnd, AMissingOperationSaysTheLibraryIsIncompleteAndAPressSendsNothingUntilItIsPutRight) {
    for (uint32_t op = 0; op < standin::OP_COUNT; ++op) {
        SCOPED_TRACE(standin::OP_NAMES[op]);
        box.Reset();
        box->hideMask = 1 << op;
        Start();
        ASSERT_TRUE(Shows(Text(TextId::LibraryIncomplete)));
        EXPECT_FALSE(ButtonEnabled());
        const LONG mark = box.Mark();
        SendMessageW(program->Window(), WM_COMMAND, MAKEWPARAM(Form1::ID_COMMAND1, BN_CLICKED),
                     reinterpret_cast<LPARAM>(program->Control(Form1::ID_COMMAND1)));
        EXPECT_EQ(box.Mark(), mark);
        // The library was let go: the next search loads it afresh, whole now.
        box->hideMask = 0;
        EXPECT_TRUE(Shows(Text(TextId::Present))) << "a corrected library picked up without a restart";
    }
}

// Keys pressed in the tray's popup menu, then Enter.
void Choose(const Program& program, std::initializer_list<UINT> keys) {
    const auto shown = [&](HWND w) { return support::ProcessOf(w) == program.Id() && IsWindowVisible(w); };
    HWND popup = nullptr;
    PostMessageW(program.Window(), 2025, 0, WM_RBUTTONUP);
    ASSERT_TRUE(WaitFor([&] { return (popup = support::FindWindowWhere(L"#32768", shown)) != nullptr; }));
    for (UINT key : keys) support::Key(popup, key);
    support::Key(popup, VK_RETURN);
}

// However it is ended, the program ends with code 0 and takes its icon.
TEST_F(EndToEnd, MinimisedToTheTrayItComesBackAndEndsCleanlyWhicheverWay) {
    enum Ending { ExitFromThePopup, CloseWhileHidden, CloseDuringASlowCall };
    for (Ending ending : {ExitFromThePopup, CloseWhileHidden, CloseDuringASlowCall}) {
        SCOPED_TRACE(ending);
        box.Reset();
        HWND window = Start().Window();
        ASSERT_TRUE(Shows(Text(TextId::Present)));
        PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(window); }));
        EXPECT_FALSE(IsIconic(window));
        if (ending == ExitFromThePopup) {
            Choose(*program, {VK_DOWN});  // the first item: open
            ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
            Choose(*program, {VK_UP});  // round to the last item: exit
        } else {
            if (ending == CloseDuringASlowCall) {
                box->delayMs = 1000;
                ASSERT_TRUE(WaitFor([&] { return box->callsInProgress > 0; }));
            }
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(program->WaitForExit(15000), 0u);
        EXPECT_FALSE(support::IconExists(window));
    }
}

// As a keyboard sends them, with their scan codes.
void PressKeys(std::initializer_list<BYTE> keys) {
    const auto scan = [](BYTE key) { return BYTE(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)); };
    for (BYTE key : keys) keybd_event(key, scan(key), 0, 0);
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) keybd_event(*key, scan(*key), KEYEVENTF_KEYUP, 0);
}

// The badge's colours at its centre: green, red, amber.
constexpr COLORREF BADGE_PRESENT = RGB(0x00, 0xC0, 0x00), BADGE_ABSENT = RGB(0xE0, 0, 0),
                   BADGE_LIBRARY = RGB(0xFF, 0xB0, 0);

// On screen, the centre of the badge of the one icon in the notification
// area. Wine's taskbar draws it at the right end, in a 2-pixel border.
COLORREF BadgeOnScreen() {
    RECT r = {};
    GetWindowRect(FindWindowW(L"Shell_TrayWnd", nullptr), &r);
    return OnScreen({r.right - GetSystemMetrics(SM_CXSMICON) / 2 - 2 + 4, (r.top + r.bottom) / 2 + 4});
}

TEST(StartOptions, TrayIsAWholeWordInAnyCaseAfterTheProgramsPath) {
    for (const wchar_t* line : {L"Varnosklen.exe /tray", L"\"C:\\Program Files\\Varnosklen\\Varnosklen.exe\" /TRAY",
                                L"Varnosklen.exe  what\t/Tray ever"})
        EXPECT_TRUE(startoptions::Parse(line).tray) << line;
    for (const wchar_t* line : {L"Varnosklen.exe", L"/tray", L"", L"\"C:\\a /tray\\Varnosklen.exe\"",
                                L"Varnosklen.exe /trayx -tray tray x/tray \"/tray\""})
        EXPECT_FALSE(startoptions::Parse(line).tray) << line;
}

TEST_F(EndToEnd, StartedWithTrayOnlyItsIconShowsAndItWearsTheBoxsState) {
    const struct {
        LONG onBus, hideMask;  // a library problem is had on a new start
        COLORREF badge;
    } rows[] = {{1, 0, BADGE_PRESENT},
                {0, 0, BADGE_ABSENT},
                {1, 0, BADGE_PRESENT},
                {1, 1 << standin::OP_SET_OUT_DATA_PORT, BADGE_LIBRARY}};
    HWND window = nullptr;
    bool seen = false;
    for (const auto& row : rows) {
        box->onBus = row.onBus;
        box->hideMask = row.hideMask;
        if (!window || row.hideMask) window = Start(ProgramPath(), support::BinDir(), {}, L"/tray").Window();
        EXPECT_TRUE(WaitFor([&] {
            seen = seen || IsWindowVisible(window);
            return BadgeOnScreen() == row.badge;
        })) << BadgeOnScreen();
    }
    EXPECT_FALSE(seen || IsWindowVisible(window)) << "the window never showed";
    PostMessageW(window, 2025, 0, WM_LBUTTONUP);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; })) << "a click on the icon shows it";
}

HWND FocusOf(const Program& program) {
    GUITHREADINFO info = {sizeof info};
    GetGUIThreadInfo(GetWindowThreadProcessId(program.Window(), nullptr), &info);
    return info.hwndFocus;
}

TEST_F(EndToEnd, TheKeyboardWorksAsInADialog) {
    Start();
    ASSERT_TRUE(Shows(Text(TextId::Present)));
    box->switchOnCommand = 0;
    const HWND button = program->Control(Form1::ID_COMMAND1);
    ASSERT_TRUE(WaitFor([&] { return FocusOf(*program) == button; })) << "the focus starts on the button";
    for (UINT key : {VK_RETURN, VK_SPACE}) {
        const LONG mark = box.Mark();
        support::Key(button, key);
        EXPECT_TRUE(Sequences(mark, 1)) << "one press per key: " << key;
    }
    // Tab runs button, status box, link and round again; the labels are passed by.
    for (HWND next : {program->Control(Form1::ID_TEXT1),
                      GetDlgItem(program->Control(Form1::ID_FRAME1), Form1::ID_LABEL2), button}) {
        support::Key(FocusOf(*program), VK_TAB);
        EXPECT_TRUE(WaitFor([&] { return FocusOf(*program) == next; }));
    }
}

// With the keyboard alone: the default hotkey, then from the tray menu a new
// one, each switching once, at once and after a restart, where the window's
// Ctrl+, shows it and Esc closes. (Off the bus, FormTest's hotkey sends nothing.)
TEST_F(EndToEnd, AHotkeySetInTheSettingsFromTheTrayWorksAtOnceAndAfterARestart) {
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Varnosklen");
    Start();
    ASSERT_TRUE(Shows(Text(TextId::Present)));
    box->switchOnCommand = 0;
    HWND dialog = nullptr, hotkeyBox = nullptr;
    const auto focusInHotkeyBox = [&] {
        dialog = FindWindowW(L"#32770", Text(TextId::SettingsCaption));
        hotkeyBox = GetDlgItem(dialog, IDC_SETTINGS_HOTKEY);
        return hotkeyBox && FocusOf(*program) == hotkeyBox;
    };
    const auto switchesOnce = [&](std::initializer_list<BYTE> keys) {
        const LONG mark = box.Mark();
        PressKeys(keys);
        return Sequences(mark, 1);
    };
    EXPECT_TRUE(switchesOnce({VK_CONTROL, VK_MENU, 'U'})) << "the default hotkey";
    const WORD ctrlShiftK = MAKEWORD('K', HOTKEYF_CONTROL | HOTKEYF_SHIFT);
    Choose(*program, {VK_UP, VK_UP});  // round to exit, then up to the settings
    ASSERT_TRUE(WaitFor(focusInHotkeyBox));
    PressKeys({VK_CONTROL, VK_SHIFT, 'K'});
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(hotkeyBox, HKM_GETHOTKEY, 0, 0) == ctrlShiftK; }));
    PressKeys({VK_RETURN});
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    for (bool restarted : {false, true}) {
        if (restarted) Start();
        ASSERT_TRUE(Shows(Text(TextId::Present)));
        EXPECT_TRUE(switchesOnce({VK_CONTROL, VK_SHIFT, 'K'})) << restarted;
    }
    PressKeys({VK_CONTROL, VK_OEM_COMMA});
    ASSERT_TRUE(WaitFor(focusInHotkeyBox));
    EXPECT_EQ(SendMessageW(hotkeyBox, HKM_GETHOTKEY, 0, 0), ctrlShiftK);
    PressKeys({VK_ESCAPE});
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Varnosklen");
}

TEST_F(EndToEnd, ASecondStartBringsTheFirstOutOfTheTrayAndEnds) {
    HWND first = Start().Window();
    ASSERT_TRUE(Shows(Text(TextId::Present)));
    PostMessageW(first, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(first); }));
    Program second(ProgramPath(), support::BinDir(), {}, false);
    EXPECT_EQ(second.WaitForExit(), 0u);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(first) != FALSE; }));
}

// A press during a slow tick is handled once, after it, and the status box
// is painted as the box then is; twenty quick presses make twenty sequences.
TEST_F(EndToEnd, SlowCallsHoldTheWindowOnlyWhileTheyLastAndPressesAreNeverLost) {
    Start();
    ASSERT_TRUE(Shows(Text(TextId::Present)));
    box->delayMs = 5000;
    ASSERT_TRUE(WaitFor([&] { return box->callsInProgress > 0; }));
    Press();  // during the slow tick: handled once, after it
    box->delayMs = 0;
    EXPECT_TRUE(Sequences(0, 1)) << "one press, one sequence, and the poll goes on";
    EXPECT_TRUE(Shows(Text(TextId::Absent)));
    EXPECT_TRUE(WaitFor([&] { return StatusOnScreen() == colours::ABSENT; })) << "and painted so";
    EXPECT_TRUE(Answers());

    box.Reset();
    box->switchOnCommand = 0;  // the box stays on the bus, so every press finds it
    ASSERT_TRUE(Shows(Text(TextId::Present)));
    EXPECT_TRUE(WaitFor([&] { return StatusOnScreen() == colours::PRESENT; })) << "and painted so";
    const LONG mark = box.Mark();
    for (int i = 0; i < 20; ++i) Press();
    EXPECT_TRUE(Sequences(mark, 20)) << "twenty presses, twenty sequences";
    EXPECT_EQ(box->direction, 0) << "an even number of presses leaves bit 0 as it was";
}

TEST_F(EndToEnd, ArbitraryTrayAndSystemMessagesFromOutsideDoNoHarm) {
    HWND window = Start().Window();
    // Found as soon as it is made: shown a moment later, on a loaded machine later still.
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
    std::mt19937 random(2025);
    for (int i = 0; i < 400; ++i) {
        const WPARAM wParam = random();
        const LPARAM lParam = static_cast<LPARAM>(random());
        if (lParam != WM_RBUTTONUP) PostMessageW(window, 2025, wParam, lParam);  // that one opens the menu
        // Real commands (0xF000 and up in the low word, and the settings)
        // would close, move, open menus or a dialog; the point is the odd ones.
        const WPARAM command = wParam & 0xFFF0;
        if (command < 0xF000 && command != Form1::ID_SYSTEM_MENU_SETTINGS)
            PostMessageW(window, WM_SYSCOMMAND, wParam, lParam);
    }
    EXPECT_TRUE(Answers());
    EXPECT_TRUE(IsWindowVisible(window));
    box->onBus = 0;
    EXPECT_TRUE(Shows(Text(TextId::Absent))) << "the poll goes on";
}

// The other language picked in the settings while the program runs: the
// window and the dialog speak it at once, as the box comes and goes, and
// again after a restart.
TEST_F(EndToEnd, ALanguagePickedInTheSettingsIsSpokenAtOnceAndAfterARestart) {
    using settings::Language, settings::LanguageChoice;
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Varnosklen");
    const Language own = LanguageInUse(), other = own == Language::Greek ? Language::English : Language::Greek;
    HWND window = Start().Window();
    ASSERT_TRUE(Shows(TextIn(own, TextId::Present)));
    PostMessageW(window, WM_COMMAND, Form1::ID_MNU_TRAY_SETTINGS, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] {  // shown once whole
        dialog = FindWindowW(L"#32770", TextIn(own, TextId::SettingsCaption));
        return dialog && IsWindowVisible(dialog);
    }));
    const HWND list = GetDlgItem(dialog, IDC_SETTINGS_LANGUAGE);
    SendMessageW(list, CB_SETCURSEL, WPARAM(other == Language::Greek ? LanguageChoice::Greek : LanguageChoice::English),
                 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_LANGUAGE, CBN_SELCHANGE), LPARAM(list));
    EXPECT_TRUE(Shows(TextIn(other, TextId::Present)));
    EXPECT_EQ(support::WindowText(dialog), TextIn(other, TextId::SettingsCaption));
    EXPECT_EQ(support::WindowText(program->Control(Form1::ID_COMMAND1)), TextIn(other, TextId::Command1));
    box->onBus = 0;
    EXPECT_TRUE(Shows(TextIn(other, TextId::Absent)));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    Start();
    EXPECT_TRUE(Shows(TextIn(other, TextId::Absent))) << "after a restart";
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Varnosklen");
}

}  // namespace
