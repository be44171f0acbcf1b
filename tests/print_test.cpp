// The print switch through the real window, its worker and the stand-in box,
// with the spooler played by the stand-in: which jobs take the box, exactly
// once, and which never do; a watch that mends itself after the spooler
// restarts or starts late; a window that answers whatever the spooler does;
// and the printers in the settings.
#include "FormFixture.h"

#include "printing/PrinterSetting.h"
#include "resources/resource_ids.h"
#include "settings/Settings.h"
#include "standin/spooler.h"
#include "tray/TrayNotification.h"
#include "window/PrintSwitch.h"

namespace {

using printing::Health;
using standin::spooler;
const std::wstring LASER = L"Laser", OTHER = L"Other", SOMEONE = L"someone-else", SHARED = L"\\\\office\\Laser";

std::wstring Lower(std::wstring text) {
    CharLowerW(text.data());
    return text;
}

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

// The schedule of a mending watch, shortened for a test.
struct QuickRetries {
    explicit QuickRetries(DWORD ms) { printing::PrintWatch::retryMs = ms; }
    ~QuickRetries() { printing::PrintWatch::retryMs = printing::PrintWatch::RETRY_MS; }
};

class PrintTest : public FormFixture {
protected:
    void SetUp() override {
        printing::UseSpooler(standin::SpoolerModel::Table());
        spooler.Reset({LASER, OTHER});
        FormFixture::SetUp();
    }
    void TearDown() override {
        spooler.HoldOpens(false);
        FormFixture::TearDown();
        printing::WriteChosenPrinter(L"");
        printing::UseSpooler(nullptr);
    }
    Health Watch() const { return form->PrintSwitchState().Health(); }
    // Everything the worker had to tell is told and taken: it answers a
    // listing only after the changes signalled before it.
    bool Settle() {
        const int before = form->PrintSwitchState().Listings();
        form->AskPrinters();
        return support::WaitFor([&] { return form->PrintSwitchState().Listings() > before; });
    }
    // A window started with the setting, its first probe made and its timer
    // stopped: from then on only what the test does calls the box.
    void Start(const std::wstring& printer) {
        printing::WriteChosenPrinter(printer.c_str());
        Recreate();
        form->Timer1_Timer();
        KillTimer(form->Handle(), Form1::TIMER1_ID);
        ASSERT_TRUE(Settle());
    }
    bool Switched(LONG count) {
        return support::WaitFor([&] { return box->switchCount >= count; }) && Settle() && box->switchCount == count;
    }
};

TEST_F(PrintTest, OnlyANewJobOfThisUserHereOnTheChosenPrinterWhileTheBoxIsOnTheBusPressesAndOnlyOnce) {
    const std::wstring me = Me(), here = standin::SpoolerModel::ThisMachine();
    const auto none = [] {};
    const wchar_t* SWITCHED = texts::NOTICE_PRINT_SWITCHED;
    struct Row {
        const char* name;
        std::wstring setting;
        bool onBus;
        std::function<void()> before, print;
        int presses;
        const wchar_t* notice = nullptr;
        Health watch = Health::On;
    };
    const Row rows[] = {
        {"one job of this user", LASER, true, none, [&] { spooler.AddJob(LASER, me); }, 1, SWITCHED},
        {"a burst in one notification", LASER, true, none,
         [&] {
             spooler.With([&] {
                 for (int i = 0; i < 3; ++i) spooler.AddJob(LASER, me);
             });
         },
         1, SWITCHED},
        {"a burst over two wakes", LASER, true, none,
         [&] { spooler.AddJob(LASER, me), Settle(), spooler.AddJob(LASER, me); }, 1, SWITCHED},
        {"a refresh after DISCARDED", LASER, true, none, [&] { spooler.AddJob(LASER, me), spooler.Discard(); }, 1,
         SWITCHED},
        {"a job after a DISCARDED refresh", LASER, true, none,
         [&] { spooler.AddJob(LASER, SOMEONE), spooler.Discard(), Settle(), spooler.AddJob(LASER, me); }, 1, SWITCHED},
        {"the owner as DOMAIN\\user", LASER, true, none, [&] { spooler.AddJob(LASER, L"WORKGROUP\\" + me); }, 1,
         SWITCHED},
        {"this computer's name in other case", LASER, true, none, [&] { spooler.AddJob(LASER, me, Lower(here)); }, 1,
         SWITCHED},
        {"its status told alone later", LASER, true, none,
         [&] { spooler.SetStatus(spooler.AddJob(LASER, me), JOB_STATUS_PRINTING); }, 1, SWITCHED},
        {"the printer chosen in other case", L"LASER", true, none, [&] { spooler.AddJob(L"laser", me); }, 1, SWITCHED},
        {"a job between the watch's start and its first listing", LASER, true,
         [&] { spooler.onWatch = [&] { spooler.AddJob(LASER, me); }; }, none, 1, SWITCHED},
        {"the printer set to use offline", LASER, true,
         [] { spooler.SetAttributes(LASER, PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_WORK_OFFLINE); },
         [&] { spooler.AddJob(LASER, me); }, 1, texts::NOTICE_PRINT_SWITCHED_OFFLINE},
        {"this user's name from another computer", LASER, true, none,
         [&] { spooler.AddJob(LASER, me, L"\\\\OFFICE-2"); }, 0},
        {"no machine told", LASER, true, none, [&] { spooler.AddJob(LASER, me, L""); }, 0},
        {"another user's job", LASER, true, none, [&] { spooler.AddJob(LASER, SOMEONE); }, 0},
        {"a job on another printer", LASER, true, none, [&] { spooler.AddJob(OTHER, me); }, 0},
        {"a job while off the bus", LASER, false, none, [&] { spooler.AddJob(LASER, me); }, 0},
        {"a job ended before it was read", LASER, true, none,
         [&] { spooler.With([&] { spooler.EndJob(spooler.AddJob(LASER, me)); }); }, 0},
        {"a refresh listing only the jobs queued at start", LASER, true, [&] { spooler.AddJob(LASER, me); },
         [&] { spooler.AddJob(LASER, SOMEONE), spooler.Discard(); }, 0},
        {"the setting off", L"", true, none, [&] { spooler.AddJob(LASER, me); }, 0, nullptr, Health::Off},
        {"the printer gone", L"Gone", true, none, [&] { spooler.AddJob(LASER, me); }, 0, nullptr, Health::PrinterGone},
        {"a connection to another computer's printer", SHARED, true, none, [&] { spooler.AddJob(SHARED, me); }, 0,
         nullptr, Health::Connection},
        {"no notifications", LASER, true, [] { spooler.notifications = false; }, [&] { spooler.AddJob(LASER, me); }, 0,
         nullptr, Health::NoNotifications},
    };
    const uint32_t TEN[] = {0, 1, 2, 3, 1, 2, 3, 1, 2, 3};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        box.Reset();
        box->onBus = row.onBus;
        spooler.Reset({LASER, OTHER, SHARED});
        row.before();
        Balloons balloons;
        const LONG mark = box.Mark();
        Start(row.setting);
        EXPECT_EQ(Watch(), row.watch);
        row.print();
        ASSERT_TRUE(Settle());
        // The first probe, then the press; the wake of a job that takes nothing costs the box no call.
        const auto calls = box.CallsSince(mark);
        ASSERT_EQ(calls.size(), 1 + 10u * row.presses);
        for (size_t i = 1; i < calls.size(); ++i) EXPECT_EQ(calls[i].op, TEN[i - 1]) << i;
        EXPECT_EQ(box->switchCount, row.presses);
        EXPECT_EQ(balloons.shown, std::vector<std::wstring>(row.presses, row.notice ? row.notice : L""));
        const int asked = spooler.calls;
        form->Timer1_Timer();
        EXPECT_EQ(spooler.calls, asked) << "the tick never asks the spooler";
        for (DWORD access : spooler.accessAsked)  // a printer used, the print server's printers listed
            EXPECT_TRUE(access == PRINTER_ACCESS_USE || access == SERVER_ACCESS_ENUMERATE) << "no right over jobs";
    }
}

// Nothing the user does: the watch is made again on its schedule, and the
// job that came meanwhile presses, once.
TEST_F(PrintTest, AWatchTheSpoolerDroppedIsMadeAgainAndTheJobThatCamePresses) {
    QuickRetries quick(50);
    const std::wstring me = Me();
    struct Row {
        const char* name;
        std::function<void()> before, drop;
        Health meanwhile;
        std::function<void()> mend;
    };
    const auto none = [] {};
    const Row rows[] = {
        {"a restart: every handle refused, the old change never signalled", none, [] { spooler.Restart(); }, Health::On,
         none},
        {"down when the program starts, up later", [] { spooler.SetUp(false); }, none, Health::Retrying,
         [] { spooler.SetUp(true); }},
        {"down for a while", none, [] { spooler.SetUp(false); }, Health::Retrying, [] { spooler.SetUp(true); }},
        {"FindNextPrinterChangeNotification failing", none, [] { spooler.With([] { spooler.failFindNext = 1; }); },
         Health::On, none},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        box.Reset();
        spooler.Reset({LASER});
        row.before();
        Start(LASER);
        row.drop();
        ASSERT_TRUE(support::WaitFor([&] { return Watch() == row.meanwhile; }));
        row.mend();
        const LONG mark = box.Mark();
        spooler.AddJob(LASER, me);
        EXPECT_TRUE(Switched(1));
        EXPECT_EQ(box.CallsSince(mark).size(), 10u);
        EXPECT_TRUE(support::WaitFor([&] { return Watch() == Health::On; })) << "and watched from then on";
    }
}

// A driver that takes seconds to open the printer holds only the worker; the
// job printed meanwhile, before the window's first tick, is not lost.
TEST_F(PrintTest, TheWindowAnswersWhileTheSpoolerTakesSecondsToOpenThePrinter) {
    spooler.HoldOpens(true);
    printing::WriteChosenPrinter(LASER.c_str());
    Recreate();
    KillTimer(form->Handle(), Form1::TIMER1_ID);
    ASSERT_TRUE(support::WaitFor([] { return spooler.OpensHeld() == 1; }));
    EXPECT_EQ(spooler.OpensDone(), 0) << "the window made without waiting for the spooler";
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(form->Handle(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result));
    SendMessageW(form->Handle(), WM_COMMAND, Form1::ID_MNU_TRAY_SETTINGS, 0);
    EXPECT_TRUE(IsWindowVisible(form->SettingsDialogHandle())) << "the settings open without the spooler";
    SendMessageW(form->SettingsDialogHandle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(Watch(), Health::Starting);
    spooler.AddJob(LASER, Me());
    spooler.HoldOpens(false);
    EXPECT_TRUE(Switched(1));
    EXPECT_EQ(Watch(), Health::On);
}

// The box leaving the bus is the user's doing: no second word of it.
TEST_F(PrintTest, ThePressCountsAsTheUsersOwnSwitch) {
    Start(LASER);
    SetTimer(form->Handle(), Form1::TIMER1_ID, Form1::TIMER1_INTERVAL_MS, nullptr);
    ASSERT_TRUE(support::WaitFor([&] { return form->NoticesSettled(); }, Notifier::SETTLE_MS + 10000));
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Balloons balloons;
    spooler.AddJob(LASER, Me());
    ASSERT_TRUE(support::WaitFor([&] { return StatusText() == texts::ABSENT && form->NoticesSettled(); },
                                 Notifier::SETTLE_MS + 10000));
    EXPECT_EQ(balloons.shown, std::vector<std::wstring>{texts::NOTICE_PRINT_SWITCHED});
}

// Said once the passes went out, whenever that is; a press that could not be made, once.
TEST(PrintSwitchNotice, ConnectedOnlyOnceSentAndAFailureOnce) {
    UseLanguage(settings::Language::Greek);
    struct Step {
        bool sent, queued;
        ULONGLONG sentAt;  // the passes' time at the next tick, device work done
        const wchar_t* told;
        const wchar_t* settled;
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
    };
    const wchar_t *SWITCHED = texts::NOTICE_PRINT_SWITCHED, *WAITS = texts::NOTICE_PRINT_WAITS;
    const Row rows[] = {
        {"sent", {{true, false, 5, SWITCHED, nullptr}}},
        {"queued, then sent", {{false, true, 5, nullptr, SWITCHED}}},
        {"queued, then not sent", {{false, true, 1, nullptr, WAITS}}},
        {"not made twice: said once", {{false, false, 1, WAITS, nullptr}, {false, false, 1, nullptr, nullptr}}},
        {"not made, made, not made",
         {{false, false, 1, WAITS, nullptr}, {true, false, 5, SWITCHED, nullptr}, {false, false, 5, WAITS, nullptr}}},
    };
    const auto text = [](const std::optional<Notice>& n) { return n ? std::wstring(n->text) : L"(none)"; };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PrintSwitch print;
        for (const Step& step : row.steps) {
            EXPECT_TRUE(print.Wants(device::DeviceState::Present, 100000, 1));
            EXPECT_EQ(text(print.Pressed(step.sent, step.queued, 1, false)), step.told ? step.told : L"(none)");
            EXPECT_EQ(print.Wants(device::DeviceState::Present, 100000, 1), !step.queued) << "one press at a time";
            EXPECT_EQ(text(print.Settle(step.sentAt, false)), L"(none)") << "device work still going";
            EXPECT_EQ(text(print.Settle(step.sentAt, true)), step.settled ? step.settled : L"(none)");
        }
    }
}

TEST_F(PrintTest, TheSettingsListThisPCsPrintersAGoneOrSharedOneAsSuchSaveTheChoiceAndSayWhenTheSpoolerCannotTell) {
    struct Row {
        const char* name;
        std::wstring setting;
        std::vector<std::wstring> listed;
        int shown, chosen;
        const wchar_t* saved;
        bool standIn = true;
    };
    const std::wstring gone = L"Gone (δεν υπάρχει πια)", shared = SHARED + L" (σύνδεση σε εκτυπωτή άλλου υπολογιστή)";
    const Row rows[] = {
        {"none by default, one chosen", L"", {texts::PRINTER_NONE, LASER, OTHER}, 0, 2, L"Other"},
        {"a printer gone, kept", L"Gone", {texts::PRINTER_NONE, LASER, OTHER, gone}, 3, 3, L"Gone"},
        {"a printer gone, none chosen", L"Gone", {texts::PRINTER_NONE, LASER, OTHER, gone}, 3, 0, L"(none)"},
        {"a chosen connection, shown as such",
         SHARED,
         {texts::PRINTER_NONE, LASER, OTHER, shared},
         3,
         3,
         SHARED.c_str()},
        {"the chosen one in other case", L"OTHER", {texts::PRINTER_NONE, LASER, OTHER}, 2, 1, L"Laser"},
        {"Wine's own spooler", L"", {texts::PRINTER_NONE}, 0, 0, L"(none)", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        printing::UseSpooler(row.standIn ? standin::SpoolerModel::Table() : nullptr);
        spooler.Reset({LASER, SHARED, OTHER});
        Start(row.setting);
        const int listings = form->PrintSwitchState().Listings();
        SendMessageW(form->Handle(), WM_COMMAND, Form1::ID_MNU_TRAY_SETTINGS, 0);
        ASSERT_TRUE(support::WaitFor([&] { return form->PrintSwitchState().Listings() > listings; }));
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
        if (row.standIn && row.chosen && row.chosen < 3) {
            EXPECT_TRUE(support::WaitFor([&] { return Watch() == Health::On; })) << "watched from OK on";
        }
    }
}

}  // namespace
