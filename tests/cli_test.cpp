// varnosklen-cli and "Varnosklen.exe /switch" run as a script would, with and without the program running.
#include <gtest/gtest.h>

#include <regex>

#include "support/TestSupport.h"
#include "window/Form1.h"
#include "window/Texts.h"

namespace {

using namespace support;

// A command with its output and errors through pipes; killed if still running at the end.
class Command {
public:
    Command(const std::wstring& dir, const std::wstring& args) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE writeEnds[2];
        for (int i : {0, 1}) {
            CreatePipe(&pipes_[i], &writeEnds[i], &inherit, 0);
            SetHandleInformation(pipes_[i], HANDLE_FLAG_INHERIT, 0);
        }
        STARTUPINFOW startup = {sizeof startup};
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnds[0];
        startup.hStdError = writeEnds[1];
        const std::wstring exe = dir + (args[0] == L'/' ? L"\\Varnosklen.exe" : L"\\varnosklen-cli.exe");
        std::wstring line = L"\"" + exe + L"\" " + args;
        EXPECT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                   dir.c_str(), &startup, &process));
        for (HANDLE h : writeEnds) CloseHandle(h);
    }
    ~Command() {
        if (!Read()) TerminateProcess(process.hProcess, 99);
        for (HANDLE h : {pipes_[0], pipes_[1], process.hProcess, process.hThread}) CloseHandle(h);
    }
    // Takes in what has been written; true once the process has ended.
    bool Read() {
        const bool ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        char chunk[4096];
        DWORD available = 0, got = 0;
        for (int i : {0, 1}) {
            while (pipes_[i] && PeekNamedPipe(pipes_[i], nullptr, 0, nullptr, &available, nullptr) && available &&
                   ReadFile(pipes_[i], chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr))
                (i ? err : out).append(chunk, got);
        }
        return ended;
    }
    DWORD Finish() {
        DWORD code = STILL_ACTIVE;
        WaitFor([&] { return Read() && GetExitCodeProcess(process.hProcess, &code); }, 30000);
        return code;
    }
    void CloseOutput() { CloseHandle(std::exchange(pipes_[0], nullptr)); }
    std::string out, err;
    PROCESS_INFORMATION process = {};

private:
    HANDLE pipes_[2] = {};  // output, errors
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
            fromCommand += call.processId == command.process.dwProcessId;
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

}  // namespace
