// varnosklen-cli and "Varnosklen.exe /switch" run as a script would, with and without the program running.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <regex>
#include <thread>

#include "cli/SessionEnd.h"
#include "device/BoxLock.h"
#include "printing/PrinterSetting.h"
#include "remote/Link.h"
#include "remote/Protocol.h"
#include "remote/Trust.h"
#include "support/TestSupport.h"
#include "window/Form1.h"
#include "window/Texts.h"

namespace {

using namespace support;

// A command with its output and errors through pipes.
struct Command : Program {
    Command(const std::wstring& dir, const std::wstring& args, const std::vector<std::wstring>& env = {})
        : Program(dir + (args[0] == L'/' ? L"\\Varnosklen.exe" : L"\\varnosklen-cli.exe"), dir, env, false, args,
                  true) {}
};

// On the bus (leaving it on the switch command, or staying), off it; the library missing or incomplete.
enum class Box { On, Off, Stays, NoLibrary, Incomplete };

struct Row {
    const wchar_t* args;  // to varnosklen-cli; to Varnosklen.exe when it starts with '/'
    bool running;         // Varnosklen.exe running
    Box box;
    const char* out;  // a line, or nothing
    DWORD code;
    int writes;  // the sequence's three output writes, or none
};

TEST(CommandLine, StatusAndSwitchWithAndWithoutTheProgramRunning) {
    const Row rows[] = {
        {L"status", false, Box::On, "present", 0, 0},
        {L"status", false, Box::Off, "absent", 1, 0},
        {L"status --json", false, Box::On, R"({"state": "present", "status": 0, "port": 0})", 0, 0},
        {L"status", true, Box::On, "present", 0, 0},
        {L"status --json", true, Box::Off, R"({"state": "absent", "status": 1, "port": 0})", 1, 0},
        {L"switch", false, Box::On, "switched", 0, 3},
        {L"switch", false, Box::Off, "absent", 1, 0},
        {L"switch", true, Box::On, "switched", 0, 3},
        {L"switch", true, Box::Off, "absent", 1, 0},
        {L"switch --wait 10", false, Box::On, "passed-through", 0, 3},
        {L"switch --wait 10", true, Box::On, "passed-through", 0, 3},
        {L"switch --wait 1", false, Box::Stays, "still-on-bus", 3, 3},
        {L"switch --wait 1", true, Box::Stays, "still-on-bus", 3, 3},
        {L"/switch", false, Box::On, "", 0, 3},
        {L"/switch", true, Box::On, "", 0, 3},
        {L"/switch", true, Box::Off, "", 1, 0},
        {L"status --json", false, Box::NoLibrary, R"({"state": "library-missing", "status": null, "port": null})", 2},
        {L"switch", true, Box::NoLibrary, "library-missing", 2, 0},
        {L"/switch", false, Box::NoLibrary, "", 2, 0},
        {L"status", false, Box::Incomplete, "library-incomplete", 2, 0},
        {L"switch", true, Box::Incomplete, "library-incomplete", 2, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.args << " running " << row.running << " box " << int(row.box));
        StandIn box;
        box->onBus = row.box != Box::Off;
        box->switchOnCommand = row.box != Box::Stays;
        box->hideMask = row.box == Box::Incomplete ? 1 << standin::OP_SET_OUT_DATA_PORT : 0;
        TempDir temp;
        const std::wstring dir = row.box == Box::NoLibrary ? temp.Path() : BinDir();
        for (const wchar_t* exe : {L"\\Varnosklen.exe", L"\\varnosklen-cli.exe"})
            ASSERT_TRUE(dir == BinDir() || CopyFileW((BinDir() + exe).c_str(), (dir + exe).c_str(), FALSE));
        std::unique_ptr<Program> program;
        if (row.running) {
            program = std::make_unique<Program>(dir + L"\\Varnosklen.exe", dir);
            HWND status = program->Control(Form1::ID_TEXT1);
            ASSERT_TRUE(WaitFor([&] { return WindowText(status) != texts::SEARCHING; }));
            box->watchWindow = static_cast<LONG>(reinterpret_cast<LONG_PTR>(status));
        }
        const LONG mark = box.Mark();
        Command command(dir, row.args);
        EXPECT_EQ(command.Finish(), row.code);
        EXPECT_EQ(command.out, *row.out ? row.out + std::string("\n") : "");
        int writes = 0, fromCommand = 0;
        for (const standin::CallRecord& call : box.CallsSince(mark)) {
            fromCommand += call.processId == command.Id();
            writes += call.op == standin::OP_SET_OUT_DATA_PORT;
            if (call.op != standin::OP_SET_OUT_DATA_PORT || !row.running) continue;
            EXPECT_EQ(call.processId, program->Id());
            EXPECT_EQ(call.threadId, GetWindowThreadProcessId(program->Window(), nullptr));
            EXPECT_STREQ(call.watchedText, texts::SHORT_PRESENT) << "the window shows the press";
        }
        EXPECT_EQ(writes, row.writes);
        // Only the program drives the box when it runs; on its own, the command makes one probe or the ten calls.
        if (row.running || !wcsstr(row.args, L"wait")) {
            EXPECT_EQ(fromCommand, row.running || row.box >= Box::NoLibrary ? 0 : row.writes ? 10 : 1);
        }
    }
}

// What a library needs in turn comes only from its own folder, the
// program's or the system's: one that needs a library found only in the
// current folder or on PATH does not load; beside it, it does (and lacks the
// box's functions).
TEST(CommandLine, WhatTheLibraryNeedsComesOnlyFromItsOwnTheProgramsOrTheSystemsFolder) {
    StandIn box;
    TempDir programDir, current, onPath;
    for (const auto& [file, to] :
         {std::pair{L"varnosklen-cli.exe", L"varnosklen-cli.exe"}, std::pair{L"NeedsDependency.dll", L"AVR309.dll"}})
        ASSERT_TRUE(CopyFileW((BinDir() + L"\\" + file).c_str(), programDir.File(to).c_str(), FALSE));
    const std::pair<const TempDir*, const char*> rows[] = {
        {&current, "library-missing\n"}, {&onPath, "library-missing\n"}, {&programDir, "library-incomplete\n"}};
    for (const auto& [dir, out] : rows) {
        const std::wstring dependency = dir->File(L"VarnosklenDependency.dll");
        ASSERT_TRUE(CopyFileW((BinDir() + L"\\VarnosklenDependency.dll").c_str(), dependency.c_str(), FALSE));
        Program command(programDir.File(L"varnosklen-cli.exe"), current.Path(), {L"PATH=" + onPath.Path()}, false,
                        L"status", true);
        EXPECT_EQ(command.Finish(), 2u);
        EXPECT_EQ(command.out, out) << Utf8(dependency);
        DeleteFileW(dependency.c_str());
    }
}

TEST(CommandLine, BadInputIsRefusedWithCode64AndNothingSent) {
    StandIn box;
    for (const wchar_t* args :
         {L"", L"bogus", L"Status", L"status --bogus", L"status extra", L"status --json --json", L"switch --json",
          L"switch --wait", L"switch --wait abc", L"switch --wait -1", L"switch --wait 1.5", L"switch --wait 86401",
          L"switch --wait 1 --wait 1", L"watch --wait 1", L"watch extra", L"--help extra", L"--version 2"}) {
        SCOPED_TRACE(args);
        const LONG mark = box.Mark();
        Command command(BinDir(), args);
        EXPECT_EQ(command.Finish(), 64u);
        EXPECT_EQ(command.out, "");
        EXPECT_NE(command.err.find("usage: varnosklen-cli"), std::string::npos) << command.err;
        EXPECT_EQ(box.Mark(), mark);
    }
}

// English, and where the program speaks Greek the Greek after it.
TEST(CommandLine, TheHelpIsInTheLanguageTheProgramSpeaks) {
    for (const auto& [stored, greek] : {std::pair{L"en", false}, std::pair{L"el", true}}) {
        support::SetRegValue(L"Software\\Varnosklen", settings::LANGUAGE_VALUE, stored);
        Command command(BinDir(), L"--help");
        EXPECT_EQ(command.Finish(), 0u);
        EXPECT_EQ(command.out.rfind("varnosklen-cli: the Varnosklen USB sharing switch", 0), 0u) << command.out;
        EXPECT_EQ(command.out.find("Κωδικοί εξόδου:") != std::string::npos, greek) << command.out;
        // No Greek letter (UTF-8 lead bytes 0xCE, 0xCF) in English; the library is neuter in Greek.
        EXPECT_EQ(command.out.find_first_of("\xCE\xCF") != std::string::npos, greek) << command.out;
        EXPECT_EQ(command.out.find("η AVR309"), std::string::npos) << command.out;
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Varnosklen", settings::LANGUAGE_VALUE);
}

// One line of watch's output, as a pattern.
std::string WatchLine(bool json, const char* state, int status) {
    const std::string time = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";
    if (!json) return time + " " + state + "\n";
    return "\\{\"time\": \"" + time + "\", \"state\": \"" + state + "\", \"status\": " + std::to_string(status) +
           ", \"port\": 0\\}\n";
}

TEST(CommandLine, WatchPrintsEachChangeOnceAndEndsWhenItsReaderGoes) {
    for (const bool json : {false, true}) {
        SCOPED_TRACE(json);
        StandIn box;
        Command watch(BinDir(), json ? L"watch --json" : L"watch");
        const auto lines = [&] { return watch.Read(), std::count(watch.out.begin(), watch.out.end(), '\n'); };
        ASSERT_TRUE(WaitFor([&] { return lines() == 1; })) << watch.out;
        box->onBus = 0;
        ASSERT_TRUE(WaitFor([&] { return lines() == 2; })) << watch.out;
        box->onBus = 1;
        ASSERT_TRUE(WaitFor([&] { return lines() == 3; })) << watch.out;
        ASSERT_TRUE(WaitFor([&, mark = box.Mark()] { return box.Mark() - mark >= 5; })) << "it goes on probing";
        EXPECT_TRUE(std::regex_match(
            watch.out,
            std::regex(WatchLine(json, "present", 0) + WatchLine(json, "absent", 1) + WatchLine(json, "present", 0))))
            << watch.out;
        watch.CloseOutput();
        EXPECT_EQ(watch.Finish(), 0u);
    }
}

// At logoff or shutdown Windows asks the command's hidden window, not its
// console handler once user32 is loaded: a watch ends then, between probes.
TEST(CommandLine, AWatchEndsBetweenProbesWhenTheSessionEnds) {
    StandIn box;
    Command watch(BinDir(), L"watch");
    ASSERT_TRUE(WaitFor([&] { return watch.Read(), !watch.out.empty(); })) << watch.out;
    HWND session = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        DWORD owner = 0;
        session = FindWindowW(cli::SESSION_WINDOW_CLASS, nullptr);
        return session && GetWindowThreadProcessId(session, &owner) && owner == watch.Id();
    }));
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(session, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &result));
    EXPECT_EQ(result, DWORD_PTR(TRUE)) << "the session may end";
    SendMessageTimeoutW(session, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &result);
    EXPECT_EQ(watch.Finish(10000), 0u);
}

// The window in the middle of its own slow press takes no request: the
// command says busy after two seconds and sends nothing, and the request the
// window comes to afterwards is not carried out, its asker having gone.
TEST(CommandLine, ABusyProgramIsNeverDrivenBesideNorLaterForAnAskerGone) {
    for (const wchar_t* args : {L"switch", L"status --json"}) {
        SCOPED_TRACE(args);
        StandIn box;
        box->switchOnCommand = 0;
        Program program(BinDir() + L"\\Varnosklen.exe", BinDir());
        ASSERT_TRUE(WaitFor([&] { return WindowText(program.Control(Form1::ID_TEXT1)) == texts::PRESENT; }));
        const LONG mark = box.Mark();
        const auto count = [&](standin::Op op) { return box.CountSince(mark, op); };
        box->delayMs = 800;  // the press's ten calls take eight seconds, a slow start of the command included
        PostMessageW(program.Control(Form1::ID_COMMAND1), BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitFor([&] { return count(standin::OP_GET_DATA_PORT_DIRECTION) > 0; }));
        Command command(BinDir(), args);
        EXPECT_EQ(command.Finish(), 4u);
        EXPECT_EQ(command.out,
                  wcscmp(args, L"switch") ? "{\"state\": \"busy\", \"status\": null, \"port\": null}\n" : "busy\n");
        EXPECT_NE(command.err.find("nothing was sent"), std::string::npos) << command.err;
        box->delayMs = 0;
        ASSERT_TRUE(WaitFor([&, at = box.Mark()] { return box.Mark() - at >= 5; })) << "the poll goes on";
        EXPECT_EQ(count(standin::OP_SET_OUT_DATA_PORT), 3) << "the button's sequence alone";
        for (const standin::CallRecord& call : box.CallsSince(mark)) EXPECT_EQ(call.processId, program.Id());
    }
}

// A front end's reply window, as a test plays it.
struct Asker {
    static inline bool take = false;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        return m == WM_COPYDATA ? take : DefWindowProcW(h, m, w, l);
    }
};

// A request is carried out only when it is whole and exactly ours, comes with
// a reply window, and its asker takes the answer: one that has given up
// refuses it, and the window then does nothing.
TEST(CommandLine, ARequestIsCarriedOutOnlyWholeWithAReplyWindowAndItsAnswerTaken) {
    StandIn box;
    box->switchOnCommand = 0;
    Program program(BinDir() + L"\\Varnosklen.exe", BinDir());
    ASSERT_TRUE(WaitFor([&] { return WindowText(program.Control(Form1::ID_TEXT1)) == texts::PRESENT; }));
    WNDCLASSEXW cls = {sizeof cls};
    cls.lpfnWndProc = &Asker::Proc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = remote::REPLY_CLASS;
    RegisterClassExW(&cls);
    HWND reply = CreateWindowExW(0, remote::REPLY_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HWND stranger = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const remote::Request whole = remote::MakeRequest(remote::Op::Switch, 7);
    const remote::Request otherMagic = {~remote::MAGIC, remote::VERSION, 2, 7},
                          unknownOp = {remote::MAGIC, remote::VERSION,
                                       static_cast<uint32_t>(remote::Op::PrintWatch) + 1, 7};
    struct Bytes {
        remote::Request request;
        uint32_t more;
    };
    const struct {
        const char* name;
        ULONG_PTR tag;
        DWORD size;
        remote::Request request;
        bool take, from_reply_window, carried_out;
    } rows[] = {
        {"taken", remote::REQUEST_TAG, sizeof whole, whole, true, true, true},
        {"refused by an asker gone", remote::REQUEST_TAG, sizeof whole, whole, false, true, false},
        {"short of its id", remote::REQUEST_TAG, sizeof whole - 4, whole, true, true, false},
        {"a word too long", remote::REQUEST_TAG, sizeof whole + 4, whole, true, true, false},
        {"another tag", remote::ANSWER_TAG, sizeof whole, whole, true, true, false},
        {"another magic", remote::REQUEST_TAG, sizeof whole, otherMagic, true, true, false},
        {"the first version", remote::REQUEST_TAG, sizeof whole, {remote::MAGIC, 1, 2, 7}, true, true, false},
        {"an unknown operation", remote::REQUEST_TAG, sizeof whole, unknownOp, true, true, false},
        {"no reply window", remote::REQUEST_TAG, sizeof whole, whole, true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Asker::take = row.take;
        const LONG mark = box.Mark();
        Bytes bytes = {row.request, 0};
        COPYDATASTRUCT data = {row.tag, row.size, &bytes};
        const HWND from = row.from_reply_window ? reply : stranger;
        EXPECT_EQ(SendMessageW(program.Window(), WM_COPYDATA, WPARAM(from), LPARAM(&data)), LRESULT(row.carried_out));
        EXPECT_EQ(box.CountSince(mark, standin::OP_SET_OUT_DATA_PORT), row.carried_out ? 3 : 0);
    }
    DestroyWindow(stranger);
    DestroyWindow(reply);
}

// Without the program, two commands at once: each sends its ten calls whole,
// one after the other.
TEST(CommandLine, TwoCommandsAtOnceNeverInterleaveTheirSequences) {
    StandIn box;
    box->switchOnCommand = 0;
    box->delayMs = 100;
    const LONG mark = box.Mark();
    Command first(BinDir(), L"switch"), second(BinDir(), L"switch");
    EXPECT_EQ(first.Finish(), 0u);
    EXPECT_EQ(second.Finish(), 0u);
    const std::vector<standin::CallRecord> calls = box.CallsSince(mark);
    ASSERT_EQ(calls.size(), 20u);
    int turns = 0;
    for (size_t i = 1; i < calls.size(); ++i) turns += calls[i].processId != calls[i - 1].processId;
    EXPECT_EQ(turns, 1) << "the sequences of the two processes are interleaved";
    EXPECT_EQ(box->direction, 0) << "two whole presses leave the box as it was";
}

// Windows judges a thread that has read no messages for five seconds hung,
// as the command's would be while it polls: a box leaving the bus only after
// six seconds is still seen to.
TEST(CommandLine, ASwitchWaitSeesTheBoxLeaveAfterSixSeconds) {
    StandIn box;
    box->switchOnCommand = 0;
    Program program(BinDir() + L"\\Varnosklen.exe", BinDir());
    ASSERT_TRUE(WaitFor([&] { return WindowText(program.Control(Form1::ID_TEXT1)) == texts::PRESENT; }));
    const ULONGLONG start = GetTickCount64();
    Command command(BinDir(), L"switch --wait 30");
    ASSERT_TRUE(WaitFor([&] { return GetTickCount64() - start >= 6000; }));
    box->onBus = 0;
    EXPECT_EQ(command.Finish(), 0u);
    EXPECT_EQ(command.out, "passed-through\n");
}

// A program of ours as a test plays it: it answers a request, then stays
// inside it, as the window does in the middle of a press.
struct Pressing {
    static inline HANDLE go = nullptr;
    static inline std::atomic<int> answered = 0;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        remote::Request request;
        if (m != WM_COPYDATA || !remote::ReadRequest(reinterpret_cast<COPYDATASTRUCT*>(l), request))
            return DefWindowProcW(h, m, w, l);
        answered += remote::OfferAnswer(HWND(w), h, remote::MakeAnswer(request, {device::DeviceState::Present, 0}, 0));
        WaitForSingleObject(go, 20000);
        return TRUE;
    }
};

// A status is done once its answer is taken: it never waits for the end of
// a press the program is in the middle of.
TEST(CommandLine, AStatusNeverWaitsForAPressToEnd) {
    Pressing::go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(remote::Published),
                                        remote::INSTANCE_NAME);
    auto* published =
        static_cast<remote::Published*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(remote::Published)));
    std::thread program([&] {
        WNDCLASSW cls = {};
        cls.lpfnWndProc = &Pressing::Proc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = remote::WINDOW_CLASS;
        RegisterClassW(&cls);
        HWND window = CreateWindowW(remote::WINDOW_CLASS, L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        *published = {static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)), static_cast<LONG>(GetCurrentProcessId())};
        while (WaitForSingleObject(Pressing::go, 0) == WAIT_TIMEOUT) PumpMessages(), Sleep(1);
        DestroyWindow(window);
    });
    ASSERT_TRUE(WaitFor([&] { return published->window != 0; }));
    Command status(BinDir(), L"status");
    EXPECT_EQ(status.Finish(10000), 0u) << "the program's finish waited for";
    EXPECT_EQ(status.out, "present\n");
    EXPECT_EQ(Pressing::answered, 1) << "asked through the program";
    SetEvent(Pressing::go);
    program.join();
    UnmapViewOfFile(published);
    CloseHandle(mapping);
    CloseHandle(Pressing::go);
}

// The program took the switch, then ended in the middle of its press: the
// command cannot say it switched.
TEST(CommandLine, ASwitchTakenByAProgramThatEndsMidwayIsUnconfirmed) {
    StandIn box;
    box->switchOnCommand = 0;
    Program program(BinDir() + L"\\Varnosklen.exe", BinDir());
    ASSERT_TRUE(WaitFor([&] { return WindowText(program.Control(Form1::ID_TEXT1)) == texts::PRESENT; }));
    box->delayMs = 300;
    const LONG mark = box.Mark();
    Command command(BinDir(), L"switch");
    ASSERT_TRUE(WaitFor([&] { return box.CountSince(mark, standin::OP_SET_DATA_PORT_DIRECTION) > 0; }));
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, program.Id());
    ASSERT_TRUE(process && TerminateProcess(process, 1));
    CloseHandle(process);
    EXPECT_EQ(command.Finish(), 6u);
    EXPECT_EQ(command.out, "unconfirmed\n");
    EXPECT_NE(command.err.find("may or may not have switched"), std::string::npos) << command.err;
}

// The lock's name taken by another kind of object: no sequence without it.
TEST(CommandLine, WithoutTheBoxsLockNothingIsSent) {
    StandIn box;
    HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, device::BOX_LOCK_NAME);
    ASSERT_TRUE(squatter);
    const LONG mark = box.Mark();
    for (const wchar_t* args : {L"switch", L"status"}) {
        Command command(BinDir(), args);
        EXPECT_EQ(command.Finish(), 4u) << Utf8(args);
        EXPECT_EQ(command.out, "busy\n");
    }
    EXPECT_EQ(box.Mark(), mark);
    CloseHandle(squatter);
}

// Another process may take and release the box's lock, never change it:
// only the system and its owner hold more. (Wine keeps no label to read.)
TEST(CommandLine, OthersMayOnlyTakeAndReleaseTheBoxsLock) {
    device::BoxLock lock(0);
    HANDLE mutex = OpenMutexW(READ_CONTROL, FALSE, device::BOX_LOCK_NAME);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    GetSecurityInfo(mutex, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &descriptor);
    ASSERT_TRUE(dacl) << "a null DACL gives everyone everything";
    constexpr DWORD TAKE_AND_RELEASE = SYNCHRONIZE | MUTEX_MODIFY_STATE;
    int takers = 0;
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        wchar_t* sid = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && ConvertSidToStringSidW(&ace->SidStart, &sid));
        const bool holder = !lstrcmpW(sid, L"S-1-5-18") || !lstrcmpW(sid, L"S-1-3-4");  // the system, the owner
        EXPECT_TRUE(holder || !(ace->Mask & ~TAKE_AND_RELEASE)) << Utf8(sid);
        takers += !holder && ace->Mask == TAKE_AND_RELEASE;
        LocalFree(sid);
    }
    EXPECT_GT(takers, 0);
    LocalFree(descriptor);
    CloseHandle(mutex);
}

// Who may have the program drive the box, as its token says.
TEST(CommandLine, OnlyTheUsersOwnProgramsAtMediumOrAboveMayAsk) {
    const struct {
        bool sameUser;
        DWORD integrity;
        bool may;
    } rows[] = {{true, SECURITY_MANDATORY_LOW_RID, false},
                {true, SECURITY_MANDATORY_MEDIUM_RID, true},
                {true, SECURITY_MANDATORY_SYSTEM_RID, true},
                {false, SECURITY_MANDATORY_HIGH_RID, false}};
    for (const auto& row : rows) EXPECT_EQ(remote::MayAsk(row.sameUser, row.integrity), row.may) << row.integrity;
    EXPECT_TRUE(remote::MayAsk(GetCurrentProcessId())) << "this test, as its user";
}

// Whose publication a command or a second start believes: the user's own
// program at the finder's level or above.
TEST(CommandLine, OnlyTheUsersOwnProgramAtTheFindersLevelOrAboveIsBelieved) {
    const struct {
        bool sameUser;
        DWORD theirs, mine;
        bool believed;
    } rows[] = {{true, SECURITY_MANDATORY_MEDIUM_RID, SECURITY_MANDATORY_MEDIUM_RID, true},
                {true, SECURITY_MANDATORY_HIGH_RID, SECURITY_MANDATORY_MEDIUM_RID, true},
                {true, SECURITY_MANDATORY_LOW_RID, SECURITY_MANDATORY_MEDIUM_RID, false},
                {true, SECURITY_MANDATORY_MEDIUM_RID, SECURITY_MANDATORY_HIGH_RID, false},
                {false, SECURITY_MANDATORY_SYSTEM_RID, SECURITY_MANDATORY_MEDIUM_RID, false},
                {true, 0, 0, false}};
    for (const auto& row : rows)
        EXPECT_EQ(remote::Trusts(row.sameUser, row.theirs, row.mine), row.believed) << row.theirs << " " << row.mine;
    EXPECT_TRUE(remote::Trusts(GetCurrentProcessId())) << "this test, as itself";

    // Published first by a process that is no program of ours: the program
    // starts all the same, and does its work.
    StandIn box;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(remote::Published),
                                        remote::INSTANCE_NAME);
    ASSERT_TRUE(mapping && GetLastError() != ERROR_ALREADY_EXISTS);
    auto* published =
        static_cast<remote::Published*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(remote::Published)));
    HWND impostor = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    *published = {static_cast<LONG>(reinterpret_cast<LONG_PTR>(impostor)), static_cast<LONG>(GetCurrentProcessId())};
    {
        Program program(BinDir() + L"\\Varnosklen.exe", BinDir());
        ASSERT_TRUE(program.Window()) << "the program ended at the sight of another's publication";
        EXPECT_TRUE(WaitFor([&] { return WindowText(program.Control(Form1::ID_TEXT1)) == texts::PRESENT; }));
    }
    DestroyWindow(impostor);
    UnmapViewOfFile(published);
    CloseHandle(mapping);
}

// The places of the search, what is in each, the one used and the box.
TEST(CommandLine, DoctorSaysWhereTheLibraryIsLookedForAndWhatIsThere) {
    StandIn box;
    TempDir program, notLibrary, otherWidth, incomplete, good;
    const auto dll = [](const TempDir& dir) { return dir.File(L"AVR309.dll"); };
    const std::wstring library = BinDir() + L"\\AVR309.dll";
    ASSERT_TRUE(
        CopyFileW((BinDir() + L"\\varnosklen-cli.exe").c_str(), program.File(L"varnosklen-cli.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((BinDir() + L"\\Varnosklen.exe").c_str(), dll(notLibrary).c_str(), FALSE));
    ASSERT_TRUE(CopyAsOtherArchitecture(library, dll(otherWidth)));
    ASSERT_TRUE(CopyWithoutExport(library, dll(incomplete), "DoSetOutDataPort"));
    ASSERT_TRUE(CopyFileW(library.c_str(), dll(good).c_str(), FALSE));
    const std::string other = sizeof(void*) == 4 ? "64-bit" : "32-bit", own = sizeof(void*) == 4 ? "32-bit" : "64-bit";
    const std::string cannot = other + " library, which a " + own + " program cannot load", whole = own + " library";
    struct Row {
        std::vector<const TempDir*> path;
        std::vector<std::string> said;  // of the PATH's places, after the program's, system and Windows folders
        std::string used, box;
        DWORD code = 0;
        const wchar_t* printer = L"";  // the print switch's setting
        std::string printSwitch = "off (no printer chosen)";
    };
    const std::string found = Utf8(dll(good)), lacks = "none: " + Utf8(dll(incomplete)) + " lacks a function";
    const Row rows[] = {
        {{&notLibrary, &otherWidth, &good}, {"present, but not a library", cannot, whole}, found, "present (status 0)"},
        {{&incomplete, &good},
         {own + " library without DoSetOutDataPort", whole},
         lacks,
         "library-incomplete",
         2,
         L"Laser",
         "to \"Laser\": ignored, no such printer"},
        {{&otherWidth}, {cannot}, "none: no place has a library this program can load", "library-" + other, 2},
    };
    for (const Row& row : rows) {
        std::wstring path = L"relative\\folder;\\\\server\\share";
        for (const TempDir* dir : row.path) path += L";" + dir->Path();
        SCOPED_TRACE(Utf8(path));
        printing::WriteChosenPrinter(row.printer);
        Command doctor(program.Path(), L"doctor", {L"PATH=" + path});
        EXPECT_EQ(doctor.Finish(), row.code);
        const std::vector<std::string> lines = Lines(doctor.out);
        printing::WriteChosenPrinter(L"");
        ASSERT_EQ(lines.size(), 1 + 3 + 2 + row.path.size() + 3) << doctor.out;
        EXPECT_EQ(lines[1], "  1. program's folder: " + Utf8(dll(program)) + ": absent");
        EXPECT_EQ(lines[4],
                  "  4. PATH: relative\\folder: not searched, not a full path (it would mean the current folder)");
        EXPECT_EQ(lines[5], "  5. PATH: \\\\server\\share: not searched, a network folder");
        for (size_t i = 0; i < row.path.size(); ++i)
            EXPECT_EQ(lines[6 + i],
                      "  " + std::to_string(6 + i) + ". PATH: " + Utf8(dll(*row.path[i])) + ": " + row.said[i]);
        EXPECT_EQ(lines[lines.size() - 3], "Used: " + row.used);
        EXPECT_EQ(lines[lines.size() - 2], "The switch: " + row.box);
        EXPECT_EQ(lines.back(), "Switch when printing: " + row.printSwitch);
    }
}

// The watch the running program keeps, not one of the command's own: Wine's
// spooler knows no such printer, and the program says it looks again.
TEST(CommandLine, DoctorReportsTheRunningProgramsOwnPrintWatch) {
    StandIn box;
    printing::WriteChosenPrinter(L"Laser");
    const std::string own = "Switch when printing: to \"Laser\": ignored, no such printer";
    const auto said = [] {
        Command doctor(BinDir(), L"doctor");
        doctor.Finish();
        return Lines(doctor.out).back();
    };
    EXPECT_EQ(said(), own);
    {
        Program program(BinDir() + L"\\Varnosklen.exe", BinDir());
        EXPECT_TRUE(
            WaitFor([&] { return said() == own + " (looked for again), as the running Varnosklen.exe watches it"; }));
    }
    printing::WriteChosenPrinter(L"");
}

}  // namespace
