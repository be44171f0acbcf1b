// Faults from the library, the platform and the user, against the real
// executable driven from another process.
#include <gtest/gtest.h>

#include <random>

#include "support/TestSupport.h"

#include <windows.h>
#include <shellapi.h>

#include "window/Form1.h"
#include "window/Texts.h"

namespace {

using support::Program;
using support::WaitFor;

class FaultsEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        program = std::make_unique<Program>(support::BinDir() + L"\\Varnosklen.exe", support::BinDir());
    }

    std::wstring Status() const { return support::WindowText(program->Control(Form1::ID_TEXT1)); }
    bool Answers() const {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(program->Window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
    }
    bool CallInProgress() {
        return WaitFor([&] { return box->callsInProgress > 0; });
    }
    int CountOf(standin::Op op, LONG since) const {
        int n = 0;
        for (const auto& call : box.CallsSince(since)) n += call.op == op;
        return n;
    }

    support::StandIn box;
    std::unique_ptr<Program> program;
};

TEST_F(FaultsEndToEnd, AFiveSecondCallHoldsTheWindowThenItCarriesOn) {
    ASSERT_TRUE(WaitFor([&] { return Status() == texts::PRESENT; }));
    box->delayMs = 5000;
    ASSERT_TRUE(CallInProgress());
    box->delayMs = 0;
    ASSERT_TRUE(WaitFor([&] { return box->callsInProgress == 0; }, 15000));
    const LONG mark = box.Mark();
    ASSERT_TRUE(WaitFor([&] { return box.Mark() - mark >= 5; })) << "the poll goes on";
    EXPECT_TRUE(Answers());
}

TEST_F(FaultsEndToEnd, APressDuringASlowTickIsHandledOnceAfterIt) {
    ASSERT_TRUE(WaitFor([&] { return Status() == texts::PRESENT; }));
    const LONG mark = box.Mark();
    box->delayMs = 500;
    ASSERT_TRUE(CallInProgress());
    PostMessageW(program->Control(Form1::ID_COMMAND1), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return CountOf(standin::OP_SET_OUT_DATA_PORT, mark) == 3; }, 20000));
    box->delayMs = 0;
    const LONG after = box.Mark();
    ASSERT_TRUE(WaitFor([&] { return box.Mark() - after >= 5; }));
    EXPECT_EQ(CountOf(standin::OP_SET_OUT_DATA_PORT, mark), 3) << "one press, one sequence";
    EXPECT_EQ(box->switchCount, 1);
    EXPECT_TRUE(WaitFor([&] { return Status() == texts::ABSENT; }));
}

TEST_F(FaultsEndToEnd, TwentyQuickPressesSendTwentySequences) {
    ASSERT_TRUE(WaitFor([&] { return Status() == texts::PRESENT; }));
    box->switchOnCommand = 0;  // the box stays on the bus, so every press finds it
    const LONG mark = box.Mark();
    for (int i = 0; i < 20; ++i) PostMessageW(program->Control(Form1::ID_COMMAND1), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return CountOf(standin::OP_SET_OUT_DATA_PORT, mark) >= 60; }));
    const LONG after = box.Mark();
    ASSERT_TRUE(WaitFor([&] { return box.Mark() - after >= 3; }));
    EXPECT_EQ(CountOf(standin::OP_SET_OUT_DATA_PORT, mark), 60);
    EXPECT_EQ(CountOf(standin::OP_GET_DATA_PORT_DIRECTION, mark), 60);
    EXPECT_EQ(box->direction, 0) << "an even number of presses leaves bit 0 as it was";
}

TEST_F(FaultsEndToEnd, ClosingDuringASlowCallEndsCleanly) {
    box->delayMs = 1000;
    ASSERT_TRUE(CallInProgress());
    PostMessageW(program->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program->WaitForExit(15000), 0u);
}

TEST_F(FaultsEndToEnd, ClosingWhileHiddenEndsCleanlyAndTakesTheIcon) {
    HWND window = program->Window();
    PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(window); }));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program->WaitForExit(), 0u);
    NOTIFYICONDATAW probe = {};
    probe.cbSize = NOTIFYICONDATAW_V1_SIZE;
    probe.hWnd = window;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe));
}

bool IsKnownSystemCommand(WPARAM command) {
    // Real commands would close, move or open menus; the point is the odd ones.
    switch (command & 0xFFF0) {
    case SC_SIZE:
    case SC_MOVE:
    case SC_MINIMIZE:
    case SC_MAXIMIZE:
    case SC_NEXTWINDOW:
    case SC_PREVWINDOW:
    case SC_CLOSE:
    case SC_VSCROLL:
    case SC_HSCROLL:
    case SC_MOUSEMENU:
    case SC_KEYMENU:
    case SC_ARRANGE:
    case SC_RESTORE:
    case SC_TASKLIST:
    case SC_SCREENSAVE:
    case SC_HOTKEY:
    case SC_DEFAULT:
    case SC_MONITORPOWER:
    case SC_CONTEXTHELP:
    case SC_SEPARATOR: return true;
    }
    return false;
}

TEST_F(FaultsEndToEnd, ArbitraryTrayAndSystemMessagesFromOutsideDoNoHarm) {
    std::mt19937 random(2025);
    HWND window = program->Window();
    for (int i = 0; i < 400; ++i) {
        const WPARAM wParam = random();
        const LPARAM lParam = static_cast<LPARAM>(random());
        if (lParam != WM_RBUTTONUP) PostMessageW(window, 2025, wParam, lParam);  // that one opens the menu
        if (!IsKnownSystemCommand(wParam)) PostMessageW(window, WM_SYSCOMMAND, wParam, lParam);
    }
    for (LPARAM mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_LBUTTONUP})
        PostMessageW(window, 2025, 0xFFFFFFFF, mouse);
    EXPECT_TRUE(Answers());
    EXPECT_TRUE(IsWindowVisible(window));
    box->onBus = 0;
    EXPECT_TRUE(WaitFor([&] { return Status() == texts::ABSENT; })) << "the poll goes on";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program->WaitForExit(), 0u);
}

}  // namespace
