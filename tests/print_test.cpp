// The print switch through the real window, its message loop and the
// stand-in box, with the spooler played by the stand-in: which jobs take the
// box, exactly once, and which never do; and its place in the settings.
#include "FormFixture.h"

#include "printing/PrinterSetting.h"
#include "resources/resource_ids.h"
#include "settings/Settings.h"
#include "standin/spooler.h"
#include "tray/TrayNotification.h"
#include "window/MessageLoop.h"

namespace {

using standin::spooler;
const std::wstring LASER = L"Laser", OTHER = L"Other", SOMEONE = L"someone-else";

std::wstring Me() {
    printing::PrinterName user = {};
    printing::CurrentUser(user);
    return user;
}

struct Balloons {
    static inline std::vector<std::wstring> shown;
    static BOOL Record(DWORD, NOTIFYICONDATAW& record) { return shown.push_back(record.szInfo), TRUE; }
    Balloons() { shown.clear(), APIStuff::ShellNotifyBalloon = &Record; }
    ~Balloons() { APIStuff::ShellNotifyBalloon = &APIStuff::CallShellForNotification; }
};

class PrintTest : public FormFixture {
protected:
    void SetUp() override {
        printing::UseSpooler(standin::SpoolerModel::Table());
        spooler.Reset({LASER, OTHER});
        FormFixture::SetUp();
    }
    void TearDown() override {
        FormFixture::TearDown();
        printing::WriteChosenPrinter(L"");
        printing::UseSpooler(nullptr);
    }
    // A window started with the setting, its first probe made and its timer
    // stopped: from then on only what the test does calls the box.
    void Start(const std::wstring& printer) {
        printing::WriteChosenPrinter(printer.c_str());
        Recreate();
        form->Timer1_Timer();
        KillTimer(form->Handle(), Form1::TIMER1_ID);
    }
    // The program's own loop, for as long as the queue's handle is signalled.
    bool Loop() {
        int code = 0;
        for (HANDLE change; (change = form->PrinterChangeHandle()) && !WaitForSingleObject(change, 0);)
            messageloop::HandleNext(*form, code, 0);
        return support::PumpMessages(), true;
    }
};

TEST_F(PrintTest, OnlyANewJobOfThisUserOnTheChosenPrinterWhileTheBoxIsOnTheBusPressesAndOnlyOnce) {
    const std::wstring me = Me();
    const auto none = [] {};
    struct Row {
        const char* name;
        std::wstring setting;
        bool onBus;
        std::function<void()> before, print;
        int presses;
    };
    const Row rows[] = {
        {"one job of this user", LASER, true, none, [&] { spooler.AddJob(LASER, me); }, 1},
        {"a burst in one notification", LASER, true, none,
         [&] {
             for (int i = 0; i < 3; ++i) spooler.AddJob(LASER, me);
         },
         1},
        {"a burst over two wakes", LASER, true, none,
         [&] { spooler.AddJob(LASER, me), Loop(), spooler.AddJob(LASER, me); }, 1},
        {"a refresh after DISCARDED", LASER, true, none, [&] { spooler.AddJob(LASER, me), spooler.Discard(); }, 1},
        {"a job after a DISCARDED refresh", LASER, true, none,
         [&] { spooler.AddJob(LASER, SOMEONE), spooler.Discard(), Loop(), spooler.AddJob(LASER, me); }, 1},
        {"another user's job", LASER, true, none, [&] { spooler.AddJob(LASER, SOMEONE); }, 0},
        {"a job on another printer", LASER, true, none, [&] { spooler.AddJob(OTHER, me); }, 0},
        {"a job while off the bus", LASER, false, none, [&] { spooler.AddJob(LASER, me); }, 0},
        {"a job ended before it was read", LASER, true, none, [&] { spooler.EndJob(spooler.AddJob(LASER, me)); }, 0},
        {"a refresh listing only the jobs queued at start", LASER, true, [&] { spooler.AddJob(LASER, me); },
         [&] { spooler.AddJob(LASER, SOMEONE), spooler.Discard(); }, 0},
        {"the setting off", L"", true, none, [&] { spooler.AddJob(LASER, me); }, 0},
        {"the printer gone", L"Gone", true, none, [&] { spooler.AddJob(LASER, me); }, 0},
        {"no notifications", LASER, true, [] { spooler.notifications = false; }, [&] { spooler.AddJob(LASER, me); }, 0},
    };
    const uint32_t TEN[] = {0, 1, 2, 3, 1, 2, 3, 1, 2, 3};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        box.Reset();
        box->onBus = row.onBus;
        spooler.Reset({LASER, OTHER});
        row.before();
        Start(row.setting);
        Balloons balloons;
        const LONG mark = box.Mark();
        row.print();
        ASSERT_TRUE(Loop());
        // The wake of a job that takes nothing costs the box no call.
        const auto calls = box.CallsSince(mark);
        ASSERT_EQ(calls.size(), 10u * row.presses);
        for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].op, TEN[i]) << i;
        EXPECT_EQ(box->switchCount, row.presses);
        EXPECT_EQ(balloons.shown, std::vector<std::wstring>(row.presses, texts::NOTICE_PRINT_SWITCHED));
        const int asked = spooler.calls;
        form->Timer1_Timer();
        EXPECT_EQ(spooler.calls, asked) << "the tick never asks the spooler";
        for (DWORD access : spooler.accessAsked) EXPECT_EQ(access, DWORD(PRINTER_ACCESS_USE)) << "no right over jobs";
    }
}

// The box leaving the bus is the user's doing: no second word of it.
TEST_F(PrintTest, ThePressCountsAsTheUsersOwnSwitch) {
    Start(LASER);
    SetTimer(form->Handle(), Form1::TIMER1_ID, Form1::TIMER1_INTERVAL_MS, nullptr);
    ASSERT_TRUE(support::WaitFor([&] { return form->NoticesSettled(); }, Notifier::SETTLE_MS + 10000));
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Balloons balloons;
    spooler.AddJob(LASER, Me());
    ASSERT_TRUE(support::WaitFor([&] { return Loop() && StatusText() == texts::ABSENT && form->NoticesSettled(); },
                                 Notifier::SETTLE_MS + 10000));
    EXPECT_EQ(balloons.shown, std::vector<std::wstring>{texts::NOTICE_PRINT_SWITCHED});
}

TEST_F(PrintTest, TheSettingsListThePrintersAGoneOneAsSuchSaveTheChoiceAndSayWhenTheSpoolerCannotTell) {
    struct Row {
        const char* name;
        std::wstring setting;
        std::vector<std::wstring> listed;
        int shown, chosen;
        const wchar_t* saved;
        bool standIn = true;
    };
    const std::wstring gone = L"Gone (δεν υπάρχει πια)";
    const Row rows[] = {
        {"none by default, one chosen", L"", {texts::PRINTER_NONE, LASER, OTHER}, 0, 2, L"Other"},
        {"a printer gone, kept", L"Gone", {texts::PRINTER_NONE, LASER, OTHER, gone}, 3, 3, L"Gone"},
        {"a printer gone, none chosen", L"Gone", {texts::PRINTER_NONE, LASER, OTHER, gone}, 3, 0, L"(none)"},
        {"Wine's own spooler", L"", {texts::PRINTER_NONE}, 0, 0, L"(none)", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        printing::UseSpooler(row.standIn ? standin::SpoolerModel::Table() : nullptr);
        Start(row.setting);
        SendMessageW(form->Handle(), WM_COMMAND, Form1::ID_MNU_TRAY_SETTINGS, 0);
        HWND list = GetDlgItem(form->SettingsDialogHandle(), IDC_SETTINGS_PRINTER);
        std::vector<std::wstring> listed;
        for (int i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[printing::NAME_CHARS + 64] = {};
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            listed.push_back(text);
        }
        EXPECT_EQ(listed, row.listed);
        EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), row.shown);
        EXPECT_EQ(support::WindowText(GetDlgItem(form->SettingsDialogHandle(), IDC_SETTINGS_PRINTER_NOTE)),
                  row.standIn ? L"" : texts::PRINT_SWITCH_UNAVAILABLE);
        EXPECT_EQ(IsWindowEnabled(list) != FALSE, row.standIn) << "off where the spooler cannot tell";
        SendMessageW(list, CB_SETCURSEL, row.chosen, 0);
        SendMessageW(form->SettingsDialogHandle(), WM_COMMAND, IDOK, 0);
        EXPECT_EQ(support::RegValue(settings::SETTINGS_KEY, printing::PRINTER_VALUE).value_or(L"(none)"), row.saved);
        EXPECT_EQ(form->PrinterChangeHandle() != nullptr, row.saved == OTHER) << "watched from OK on";
    }
}

}  // namespace
