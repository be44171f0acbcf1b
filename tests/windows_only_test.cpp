// What only Windows has: integrity levels, the hung judgement, the real
// spooler. Under Wine each case is skipped and says why, never passed.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <winspool.h>

#include <iostream>
#include <memory>

#include "common/SharedSecurity.h"
#include "device/BoxLock.h"
#include "printing/PrinterSetting.h"
#include "remote/Protocol.h"
#include "support/TestSupport.h"
#include "window/Form1.h"

namespace {

using namespace support;

// scripts/skipped.sh and run-tests.cmd find the reasons by this prefix.
#define WINDOWS_ONLY(why) \
    if (UnderWine()) GTEST_SKIP() << "Windows only, not run under Wine: " << why

// varnosklen-cli with its output through pipes.
struct Command : Program {
    explicit Command(const std::wstring& args)
        : Program(BinDir() + L"\\varnosklen-cli.exe", BinDir(), {}, false, args, true) {}
};

// The program, once it has seen the box (in whatever language it speaks).
Program* StartWindow(const StandIn& box) {
    const LONG mark = box.Mark();
    auto* program = new Program(BinDir() + L"\\Varnosklen.exe", BinDir());
    EXPECT_TRUE(WaitFor([&] { return box.Mark() > mark && IsWindowEnabled(program->Control(Form1::ID_COMMAND1)); }));
    return program;
}

// A process of this test's user at Low integrity: its own token, lowered.
DWORD RunLow(const std::wstring& args) {
    HANDLE own = nullptr, low = nullptr;
    const DWORD rights = TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT | TOKEN_ASSIGN_PRIMARY;
    if (!OpenProcessToken(GetCurrentProcess(), rights, &own)) return GetLastError();
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    TOKEN_MANDATORY_LABEL label = {{sid, SE_GROUP_INTEGRITY}};
    PROCESS_INFORMATION process = {};
    STARTUPINFOW startup = {sizeof startup};
    std::wstring command = L"\"" + BinDir() + L"\\varnosklen-cli.exe\" " + args;
    const bool started = DuplicateTokenEx(own, 0, nullptr, SecurityImpersonation, TokenPrimary, &low) &&
                         CreateWellKnownSid(WinLowLabelSid, nullptr, sid, &size) &&
                         SetTokenInformation(low, TokenIntegrityLevel, &label, sizeof label + GetLengthSid(sid)) &&
                         CreateProcessAsUserW(low, nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                              nullptr, BinDir().c_str(), &startup, &process);
    const DWORD code = started ? WaitForExit(process.hProcess, 30000) : GetLastError();
    for (HANDLE h : {own, low, process.hProcess, process.hThread})
        if (h) CloseHandle(h);
    return code;
}

// A sandboxed command is refused by the program and cannot take the box's
// lock on its own, whether another process keeps it open or nobody does.
TEST(WindowsOnly, ALowIntegrityCommandIsRefusedAndCannotTakeTheBoxsLock) {
    WINDOWS_ONLY("Wine has no integrity levels: every process reads High");
    StandIn box;
    const struct {
        const char* name;
        bool program, lockOpen;
        DWORD code;
    } rows[] = {{"the program running", true, true, 5},
                {"the lock kept open", false, true, 4},
                {"no lock yet", false, false, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<Program> program(row.program ? StartWindow(box) : nullptr);
        common::SharedSecurity users(common::MUTEX_FOR_USERS);
        HANDLE lock = row.lockOpen ? CreateMutexW(users.get(), FALSE, device::BOX_LOCK_NAME) : nullptr;
        const LONG mark = box.Mark();
        EXPECT_EQ(RunLow(L"switch"), row.code);
        // The program's calls are recorded; a Low process cannot write the stand-in's record at all.
        EXPECT_EQ(box.CountSince(mark, standin::OP_SET_OUT_DATA_PORT), 0);
        if (lock) CloseHandle(lock);
    }
}

// The command's thread reads no messages while it polls; Windows judges such
// a thread hung after five seconds, and the answers must still reach it.
TEST(WindowsOnly, ACommandJudgedHungStillGetsItsAnswer) {
    WINDOWS_ONLY("Wine never judges a thread hung");
    StandIn box;
    box->switchOnCommand = 0;
    std::unique_ptr<Program> program(StartWindow(box));
    const ULONGLONG start = GetTickCount64();
    Command command(L"switch --wait 30");
    bool judged = false;
    WaitFor([&] {
        HWND reply = FindWindowExW(HWND_MESSAGE, nullptr, remote::REPLY_CLASS, nullptr);
        judged = judged || (reply && ProcessOf(reply) == command.Id() && IsHungAppWindow(reply));
        return GetTickCount64() - start >= 6000;
    });
    box->onBus = 0;
    EXPECT_EQ(command.Finish(), 0u);
    EXPECT_EQ(command.out, "passed-through\n");
    std::cout << "The command's thread was judged hung meanwhile: " << (judged ? "yes" : "not seen") << "\n";
}

// A press waiting for another program's sequence goes on reading messages.
TEST(WindowsOnly, TheWindowIsNeverJudgedHungWhileItsPressWaits) {
    WINDOWS_ONLY("Wine never judges a window hung (IsHungAppWindow)");
    StandIn box;
    std::unique_ptr<Program> program(StartWindow(box));
    const LONG mark = box.Mark();
    {
        device::BoxLock other(0);
        ASSERT_TRUE(other);
        PostMessageW(program->Control(Form1::ID_COMMAND1), BM_CLICK, 0, 0);
        EXPECT_FALSE(WaitFor([&] { return IsHungAppWindow(program->Window()); }, device::PRESS_WAIT_MS + 2000));
        EXPECT_EQ(box.CountSince(mark, standin::OP_SET_OUT_DATA_PORT), 0) << "nothing sent while another holds the box";
    }
}

// PowerShell's exit code, or the reason it could not start.
DWORD PowerShell(const std::wstring& script) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    Program shell(std::wstring(system) + L"\\WindowsPowerShell\\v1.0\\powershell.exe", BinDir(), {}, false,
                  L"-NoProfile -NonInteractive -Command \"" + script + L"\"", true);
    const DWORD code = shell.Finish(120000);
    if (code) std::cout << shell.out << shell.err;
    return code;
}

constexpr wchar_t PRINTER[] = L"Varnosklen Test Printer";

bool PrintAJob() {
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(PRINTER), &printer, nullptr)) return false;
    DOC_INFO_1W doc = {const_cast<wchar_t*>(L"Varnosklen test"), nullptr, const_cast<wchar_t*>(L"RAW")};
    DWORD written = 0;
    const bool ok = StartDocPrinterW(printer, 1, reinterpret_cast<BYTE*>(&doc)) && StartPagePrinter(printer) &&
                    WritePrinter(printer, const_cast<char*>("Varnosklen\f"), 11, &written) && EndPagePrinter(printer) &&
                    EndDocPrinter(printer);
    ClosePrinter(printer);
    return ok;
}

// The real spooler on a printer added for the test: a job of this user
// presses once, and again after the spooler restarts.
TEST(WindowsOnly, TheRealSpoolersJobsPressOnceAndAgainAfterItRestarts) {
    WINDOWS_ONLY("Wine's spooler gives no change notifications");
    if (!IsUserAnAdmin()) GTEST_SKIP() << "Windows only, not run without an administrator: adding a printer needs one";
    ASSERT_EQ(PowerShell(L"Add-PrinterDriver -Name 'Generic / Text Only'; "
                         L"Add-Printer -Name 'Varnosklen Test Printer' -DriverName 'Generic / Text Only' "
                         L"-PortName 'NUL:'"),
              0u);
    struct Removed {
        ~Removed() {
            printing::WriteChosenPrinter(L"");
            PowerShell(L"Remove-Printer -Name 'Varnosklen Test Printer'");
        }
    } removed;
    StandIn box;
    printing::WriteChosenPrinter(PRINTER);
    std::unique_ptr<Program> program(StartWindow(box));
    const auto presses = [&](LONG mark) { return box.CountSince(mark, standin::OP_SET_OUT_DATA_PORT) / 3; };
    LONG mark = box.Mark();
    ASSERT_TRUE(PrintAJob());
    ASSERT_TRUE(WaitFor([&] { return presses(mark) >= 1; }, 20000));
    ASSERT_TRUE(WaitFor([&, at = box.Mark()] { return box.Mark() - at >= 30; })) << "the poll goes on";
    EXPECT_EQ(presses(mark), 1) << "one job, one press";
    ASSERT_EQ(PowerShell(L"Restart-Service Spooler -Force"), 0u);
    mark = box.Mark();
    EXPECT_TRUE(WaitFor([] { return PrintAJob(); }, 60000)) << "the spooler is back";
    EXPECT_TRUE(WaitFor([&] { return presses(mark) >= 1; }, 60000)) << "a job after the restart presses";
}

// Rows that need what a runner does not have; docs/development.md says how to run them by hand.
TEST(WindowsOnly, AnotherUsersJobNeverPresses) {
    GTEST_SKIP() << "Windows only, not run on a runner: needs a second account printing on the same printer; the "
                    "stand-in spooler's test shows it";
}
TEST(WindowsOnly, TheBoxsLockHoldsAcrossSessions) {
    GTEST_SKIP() << "Windows only, not run on a runner: needs a second session: a manual step in docs/development.md";
}

}  // namespace
