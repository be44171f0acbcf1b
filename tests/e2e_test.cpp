// The real Varnosklen.exe, started as its own process and driven from outside.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <windows.h>
#include <shellapi.h>

#include "window/Form1.h"
#include "window/Texts.h"

namespace {

using support::Program;
using support::StandIn;
using support::TempDir;
using support::WaitFor;
using support::WindowText;

std::wstring ProgramPath() { return support::BinDir() + L"\\Varnosklen.exe"; }
std::wstring LibraryPath() { return support::BinDir() + L"\\AVR309.dll"; }

class EndToEnd : public testing::Test {
protected:
    std::wstring Status(const Program& p) const { return WindowText(p.Control(Form1::ID_TEXT1)); }
    bool Shows(const Program& p, const wchar_t* text) const {
        return WaitFor([&] { return Status(p) == text; });
    }
    bool ButtonEnabled(const Program& p) const { return IsWindowEnabled(p.Control(Form1::ID_COMMAND1)) != FALSE; }

    StandIn box;
};

TEST_F(EndToEnd, FollowsTheBoxAndEndsWithExitCodeZeroWhenClosed) {
    Program program(ProgramPath(), support::BinDir());
    ASSERT_NE(program.Window(), nullptr);
    ASSERT_TRUE(Shows(program, texts::PRESENT));
    EXPECT_TRUE(ButtonEnabled(program));

    box->onBus = 0;
    ASSERT_TRUE(Shows(program, texts::ABSENT));
    EXPECT_FALSE(ButtonEnabled(program));

    PostMessageW(program.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST_F(EndToEnd, PressingTheButtonPassesTheLineThroughAndTheWindowTurnsRed) {
    Program program(ProgramPath(), support::BinDir());
    ASSERT_TRUE(Shows(program, texts::PRESENT));
    PostMessageW(program.Control(Form1::ID_COMMAND1), BM_CLICK, 0, 0);
    ASSERT_TRUE(Shows(program, texts::ABSENT));
    EXPECT_EQ(box->switchCount, 1);
    EXPECT_FALSE(ButtonEnabled(program));

    box->onBus = 1;  // the box's own push button
    box->passedThrough = 0;
    ASSERT_TRUE(Shows(program, texts::PRESENT));
    EXPECT_TRUE(ButtonEnabled(program));
}

TEST_F(EndToEnd, AMissingLibrarySaysSoAndIsPickedUpOnceInPlace) {
    TempDir dir;
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), dir.File(L"Varnosklen.exe").c_str(), FALSE));
    Program program(dir.File(L"Varnosklen.exe"), dir.Path());
    ASSERT_NE(program.Window(), nullptr);
    ASSERT_TRUE(Shows(program, texts::LIBRARY_MISSING));
    EXPECT_FALSE(ButtonEnabled(program));
    EXPECT_EQ(support::ScreenColour(program.Control(Form1::ID_TEXT1)), colours::ABSENT);

    ASSERT_TRUE(CopyFileW(LibraryPath().c_str(), dir.File(L"AVR309.dll").c_str(), FALSE));
    ASSERT_TRUE(Shows(program, texts::PRESENT)) << "picked up without a restart";
    EXPECT_TRUE(ButtonEnabled(program));
    EXPECT_TRUE(WaitFor([&] { return support::ScreenColour(program.Control(Form1::ID_TEXT1)) == colours::PRESENT; }));
}

TEST_F(EndToEnd, AMissingOperationSaysTheLibraryIsIncomplete) {
    for (uint32_t op = 0; op < standin::OP_COUNT; ++op) {
        SCOPED_TRACE(standin::OP_NAMES[op]);
        box.Reset();
        box->hideMask = 1 << op;
        Program program(ProgramPath(), support::BinDir());
        ASSERT_TRUE(Shows(program, texts::LIBRARY_INCOMPLETE));
        EXPECT_FALSE(ButtonEnabled(program));
        // A press (Enter, or a click sent from outside) sends nothing.
        const LONG mark = box.Mark();
        SendMessageW(program.Window(), WM_COMMAND, MAKEWPARAM(Form1::ID_COMMAND1, BN_CLICKED),
                     reinterpret_cast<LPARAM>(program.Control(Form1::ID_COMMAND1)));
        EXPECT_EQ(box.Mark(), mark);
    }
}

TEST_F(EndToEnd, ALibraryPlantedInTheCurrentFolderIsNotLoaded) {
    TempDir programDir, currentDir;
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), programDir.File(L"Varnosklen.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(LibraryPath().c_str(), currentDir.File(L"AVR309.dll").c_str(), FALSE));
    const LONG mark = box.Mark();
    Program program(programDir.File(L"Varnosklen.exe"), currentDir.Path());
    ASSERT_TRUE(Shows(program, texts::LIBRARY_MISSING));
    EXPECT_EQ(box.Mark(), mark) << "the planted library answered";
}

TEST_F(EndToEnd, ALibraryOnThePathIsLoaded) {
    TempDir programDir, libraryDir;
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), programDir.File(L"Varnosklen.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(LibraryPath().c_str(), libraryDir.File(L"AVR309.dll").c_str(), FALSE));
    wchar_t path[8192] = {};
    GetEnvironmentVariableW(L"PATH", path, 8192);
    Program program(programDir.File(L"Varnosklen.exe"), programDir.Path(),
                    {L"PATH=" + libraryDir.Path() + L";" + path});
    ASSERT_TRUE(Shows(program, texts::PRESENT));
}

TEST_F(EndToEnd, ALibraryInTheSystemFolderIsLoaded) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring installed = std::wstring(system) + L"\\AVR309.dll";
    ASSERT_TRUE(CopyFileW(LibraryPath().c_str(), installed.c_str(), FALSE));
    struct Uninstall {
        std::wstring file;
        ~Uninstall() { DeleteFileW(file.c_str()); }
    } uninstall{installed};

    TempDir programDir;
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), programDir.File(L"Varnosklen.exe").c_str(), FALSE));
    Program program(programDir.File(L"Varnosklen.exe"), programDir.Path());
    ASSERT_TRUE(Shows(program, texts::PRESENT));
    PostMessageW(program.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

// The tray popup of another process, once it is open.
HWND PopupOf(DWORD process) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32768", nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == process && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

void Choose(const Program& program, UINT key) {
    HWND popup = nullptr;
    PostMessageW(program.Window(), 2025, 0, WM_RBUTTONUP);
    ASSERT_TRUE(WaitFor([&] { return (popup = PopupOf(program.Id())) != nullptr; }));
    PostMessageW(popup, WM_KEYDOWN, key, 0);
    PostMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(EndToEnd, MinimiseToTheTrayRestoreFromItsMenuAndExitFromIt) {
    Program program(ProgramPath(), support::BinDir());
    HWND window = program.Window();
    ASSERT_TRUE(Shows(program, texts::PRESENT));

    PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(window); }));
    EXPECT_FALSE(IsIconic(window));

    Choose(program, VK_DOWN);  // the first item: open
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));

    Choose(program, VK_UP);  // round to the last item: exit
    EXPECT_EQ(program.WaitForExit(), 0u);
    NOTIFYICONDATAW probe = {};
    probe.cbSize = NOTIFYICONDATAW_V1_SIZE;
    probe.hWnd = window;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the icon went with the window";
}

HWND FocusOf(const Program& program) {
    GUITHREADINFO info = {sizeof info};
    GetGUIThreadInfo(GetWindowThreadProcessId(program.Window(), nullptr), &info);
    return info.hwndFocus;
}

void Key(HWND target, UINT key) {
    PostMessageW(target, WM_KEYDOWN, key, 0);
    PostMessageW(target, WM_KEYUP, key, 0xC0000000);
}

TEST_F(EndToEnd, TheKeyboardWorksAsInADialog) {
    Program program(ProgramPath(), support::BinDir());
    ASSERT_TRUE(Shows(program, texts::PRESENT));
    box->switchOnCommand = 0;
    const HWND button = program.Control(Form1::ID_COMMAND1);
    ASSERT_TRUE(WaitFor([&] { return FocusOf(program) == button; })) << "the focus starts on the button";

    for (UINT key : {VK_RETURN, VK_SPACE}) {
        SCOPED_TRACE(key);
        const LONG mark = box.Mark();
        Key(button, key);
        const auto writes = [&] {
            int n = 0;
            for (const auto& call : box.CallsSince(mark)) n += call.op == standin::OP_SET_OUT_DATA_PORT;
            return n;
        };
        ASSERT_TRUE(WaitFor([&] { return writes() >= 3; })) << writes();
        const LONG after = box.Mark();
        ASSERT_TRUE(WaitFor([&] { return box.Mark() - after >= 3; }));
        EXPECT_EQ(writes(), 3) << "one press per key";
    }

    // Tab runs button, status box, link and round again; the labels are passed by.
    const HWND expected[] = {program.Control(Form1::ID_TEXT1),
                             GetDlgItem(program.Control(Form1::ID_FRAME1), Form1::ID_LABEL2), button};
    for (HWND next : expected) {
        Key(FocusOf(program), VK_TAB);
        EXPECT_TRUE(WaitFor([&] { return FocusOf(program) == next; }));
    }
}

TEST_F(EndToEnd, ASecondStartBringsTheFirstOutOfTheTrayAndEnds) {
    Program first(ProgramPath(), support::BinDir());
    ASSERT_TRUE(Shows(first, texts::PRESENT));
    PostMessageW(first.Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(first.Window()); }));

    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION second = {};
    std::wstring command = L"\"" + ProgramPath() + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, support::BinDir().c_str(),
                               &startup, &second));
    EXPECT_TRUE(WaitFor([&] { return WaitForSingleObject(second.hProcess, 0) == WAIT_OBJECT_0; }));
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(second.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(support::FindProcessWindow(second.dwProcessId, L"Varnosklen v1.0 "), nullptr);
    CloseHandle(second.hThread);
    CloseHandle(second.hProcess);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(first.Window()) != FALSE; }));
}

}  // namespace
