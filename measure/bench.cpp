// What the program costs: idle CPU against a bare timer, the time of a tick
// and of a press in-process, start-up, size and memory, the command line
// against a bare console program, and the print switch's idle cost. Figures only: nothing here judges them.
//
//   bench.exe [JSON [SECONDS [RUNS [WHICH]]]]
//   SECONDS per idle figure (60), RUNS per median (3), WHICH letters from "abcdefgh" (all)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/Scoped.h"
#include "device/LibrarySearch.h"
#include "device/SwitchCommand.h"
#include "measure/measure.h"
#include "printing/PrinterSetting.h"
#include "printing/Spooler.h"
#include "standin/spooler.h"
#include "window/Form1.h"
#include "window/MessageLoop.h"
#include "window/Texts.h"

using namespace measure;

namespace {

constexpr int TICKS = 100000;
constexpr int PRESSES = 1000;
constexpr int PATH_ENTRIES = 2000;
constexpr int SEARCHES = 20;
constexpr int MISSING_TICKS = 60;  // six seconds of ticks: three or four searches
constexpr char MISSING_LIBRARY_RUN[] = "--missing-library";

// The stand-in's operations, called directly to take the library's own time out.
struct Library {
    using ReadOp = int32_t(__stdcall*)(uint8_t*);
    using WriteOp = int32_t(__stdcall*)(uint8_t);
    ReadOp getOut = nullptr, getDir = nullptr;
    WriteOp setDir = nullptr, setOut = nullptr;

    bool Load() {
        HMODULE m = LoadLibraryW((BinDir() + L"\\AVR309.dll").c_str());
        if (!m) return false;
        getOut = reinterpret_cast<ReadOp>(GetProcAddress(m, "DoGetOutDataPort"));
        getDir = reinterpret_cast<ReadOp>(GetProcAddress(m, "DoGetDataPortDirection"));
        setDir = reinterpret_cast<WriteOp>(GetProcAddress(m, "DoSetDataPortDirection"));
        setOut = reinterpret_cast<WriteOp>(GetProcAddress(m, "DoSetOutDataPort"));
        return getOut && getDir && setDir && setOut;
    }
};

// A Form1 in this process, shown, with its own timer stopped so that only
// the calls made here tick it.
struct LocalForm {
    Form1 form{GetModuleHandleW(nullptr), Form1::WhenDestroyed::KeepRunning};
    bool ok;
    LocalForm() : ok(form.Create()) {
        if (!ok) return;
        form.Show(SW_SHOWNORMAL);
        KillTimer(form.Handle(), Form1::TIMER1_ID);
        Pump();
    }
    Form1* operator->() { return &form; }
    // Whether anything of the window is waiting to be repainted.
    bool Dirty() const {
        for (HWND w : {form.Handle(), form.Text1, form.Command1})
            if (GetUpdateRect(w, nullptr, FALSE)) return true;
        return false;
    }
};

void Fail(const char* what) {
    std::fprintf(stderr, "bench: %s\n", what);
    std::exit(2);
}

// (a) CPU of the program and of the bare timer side by side, shown then hidden.
void Idle(Report& report, Box& box, int seconds, int runs) {
    struct Phase {
        std::vector<double> program, bare, ratio, hostProgram, hostBare, hostRatio, server, ticks;
    } shown, hidden;
    auto ratio = [](double a, double b) { return a >= 0 && b > 0 ? a / b : -1; };
    for (int run = 1; run <= runs; ++run) {
        box.Reset();
        const auto programsBefore = host::Pids("Varnosklen.exe"), baresBefore = host::Pids("bare_timer.exe");
        Process program(L"Varnosklen.exe"), bare(L"bare_timer.exe");
        HWND pw = program.WaitVisible(PROGRAM_CAPTION), bw = bare.WaitVisible(BARE_CAPTION);
        if (!pw || !bw) Fail("the program or bare_timer showed no window");
        const std::wstring programPid = host::NewPid("Varnosklen.exe", programsBefore);
        const std::wstring barePid = host::NewPid("bare_timer.exe", baresBefore);
        const auto servers = host::Pids("wineserver");
        const std::wstring serverPid = servers.size() == 1 ? servers[0] : L"";
        Sleep(2000);  // start-up work is not idle cost

        auto measure = [&](Phase& phase, const char* name) {
            const double p0 = CpuMs(program.Handle()), b0 = CpuMs(bare.Handle()), t0 = Now();
            const double hp0 = host::CpuMs(programPid), hb0 = host::CpuMs(barePid), s0 = host::CpuMs(serverPid);
            const LONG c0 = box->callCount;
            Sleep(static_cast<DWORD>(seconds) * 1000);
            const double p = CpuMs(program.Handle()) - p0, b = CpuMs(bare.Handle()) - b0;
            const double hp = hp0 < 0 ? -1 : host::CpuMs(programPid) - hp0;
            const double hb = hb0 < 0 ? -1 : host::CpuMs(barePid) - hb0;
            const double server = s0 < 0 ? -1 : host::CpuMs(serverPid) - s0;
            const double ticks = (box->callCount - c0) / (Now() - t0);
            phase.program.push_back(p);
            phase.bare.push_back(b);
            phase.ratio.push_back(ratio(p, b));
            phase.hostProgram.push_back(hp);
            phase.hostBare.push_back(hb);
            phase.hostRatio.push_back(ratio(hp, hb));
            phase.server.push_back(server);
            phase.ticks.push_back(ticks);
            std::fprintf(stderr,
                         "  idle run %d/%d %-6s: program %.0f ms (host %.1f), bare %.0f ms (host %.1f), "
                         "wineserver %.1f ms, %.2f ticks/s\n",
                         run, runs, name, p, hp, b, hb, server, ticks);
        };
        measure(shown, "shown");
        PostMessageW(pw, WM_SYSCOMMAND, SC_MINIMIZE, 0);  // the program hides itself to the tray
        ShowWindowAsync(bw, SW_HIDE);
        if (!PollUntil([&] { return !IsWindowVisible(pw) && !IsWindowVisible(bw); }, 5000))
            Fail("the windows did not hide");
        Sleep(1000);
        measure(hidden, "hidden");
    }
    report.Section("idle", "(a) Idle cost: CPU over the same seconds, median of runs (-1: not available)");
    report.Figure("seconds", "seconds per figure", seconds, "s", 0);
    report.Figure("runs", "runs", runs, "", 0);
    for (auto [key, phase] : {std::pair{"shown", &shown}, std::pair{"hidden", &hidden}}) {
        const std::string k = key, label = std::string("window ") + key + ": ";
        auto row = [&](const char* name, const char* text, const std::vector<double>& values, const char* unit,
                       int decimals) {
            report.Figure((k + "_" + name).c_str(), (label + text).c_str(), Median(values), unit, decimals);
        };
        row("program_cpu_ms", "Varnosklen, GetProcessTimes", phase->program, "ms", 0);
        row("bare_cpu_ms", "bare_timer, GetProcessTimes", phase->bare, "ms", 0);
        row("ratio", "ratio Varnosklen/bare, GetProcessTimes", phase->ratio, "x", 2);
        row("program_host_cpu_ms", "Varnosklen, host run time", phase->hostProgram, "ms", 1);
        row("bare_host_cpu_ms", "bare_timer, host run time", phase->hostBare, "ms", 1);
        row("host_ratio", "ratio Varnosklen/bare, host run time", phase->hostRatio, "x", 2);
        row("wineserver_host_cpu_ms", "wineserver (serves both), host run time", phase->server, "ms", 1);
        row("ticks_per_s", "probes seen by the stand-in", phase->ticks, "/s", 2);
    }
}

// (b) One tick, steady and flapping, and one call of the library alone.
void Ticks(Report& report, Box& box, const Library& library) {
    box.Reset();
    LocalForm form;
    if (!form.ok) Fail("Form1 could not be created");
    form->Timer1_Timer();  // from "searching" to the steady state
    Pump();

    struct Cost {
        double tickUs, pumpUs, dirtyPercent;
    };
    auto run = [&](bool flap) {
        double tick = 0, pump = 0;
        int dirty = 0;
        for (int i = 0; i < TICKS; ++i) {
            if (flap) box->onBus = !box->onBus;
            const double t0 = Now();
            form->Timer1_Timer();
            const double t1 = Now();
            dirty += form.Dirty();
            const double t2 = Now();
            Pump();
            pump += Now() - t2;
            tick += t1 - t0;
        }
        return Cost{tick / TICKS * 1e6, pump / TICKS * 1e6, 100.0 * dirty / TICKS};
    };
    box.BackOnBus();
    const Cost steady = run(false);
    const Cost flapping = run(true);

    box.BackOnBus();
    uint8_t byte = 0;
    const double t0 = Now();
    for (int i = 0; i < TICKS; ++i) library.getOut(&byte);
    const double libraryUs = (Now() - t0) / TICKS * 1e6;

    // Where a flapping tick's time goes: the two controls it changes, alone.
    auto alone = [&](auto change) {
        const double start = Now();
        for (int i = 0; i < 1000; ++i) change(i % 2 == 0);
        const double us = (Now() - start) / 1000 * 1e6;
        Pump();
        return us;
    };
    const double textUs =
        alone([&](bool absent) { SetWindowTextW(form->Text1, absent ? texts::ABSENT : texts::PRESENT); });
    const double enableUs = alone([&](bool absent) { EnableWindow(form->Command1, !absent); });

    report.Section("tick", "(b) Per tick in-process (Timer1_Timer, 100000 calls each)");
    report.Figure("library_call_us", "stand-in DoGetOutDataPort alone", libraryUs, "us", 3);
    report.Figure("steady_tick_us", "steady: Timer1_Timer", steady.tickUs, "us", 3);
    report.Figure("steady_own_us", "steady: the program's own share", steady.tickUs - libraryUs, "us", 3);
    report.Figure("steady_dirty_percent", "steady: ticks leaving something to repaint", steady.dirtyPercent, "%", 1);
    report.Figure("steady_pump_us", "steady: message pump after the tick", steady.pumpUs, "us", 3);
    report.Figure("flapping_tick_us", "flapping: Timer1_Timer", flapping.tickUs, "us", 3);
    report.Figure("flapping_own_us", "flapping: the program's own share", flapping.tickUs - libraryUs, "us", 3);
    report.Figure("flapping_text_us", "  the status box's SetWindowTextW alone", textUs, "us", 3);
    report.Figure("flapping_enable_us", "  the button's EnableWindow alone", enableUs, "us", 3);
    report.Figure("flapping_dirty_percent", "flapping: ticks leaving something to repaint", flapping.dirtyPercent, "%",
                  1);
    report.Figure("flapping_pump_us", "flapping: message pump (repaint) after the tick", flapping.pumpUs, "us", 3);
}

// (c) From CreateProcess to the window shown and to the first probe.
void Startup(Report& report, Box& box, int runs) {
    std::vector<double> created, visible, probe, bareVisible;
    for (int run = 0; run < runs; ++run) {
        box.Reset();
        {
            Process program(L"Varnosklen.exe");
            double c = -1, v = -1, p = -1;
            PollUntil(
                [&] {
                    const double t = (Now() - program.Started()) * 1000;
                    HWND w = program.Window(PROGRAM_CAPTION);
                    if (w && c < 0) c = t;
                    if (w && v < 0 && IsWindowVisible(w)) v = t;
                    if (p < 0 && box->callCount > 0) p = t;
                    return v >= 0 && p >= 0;
                },
                20000);
            if (v < 0 || p < 0) Fail("the program did not show its window or probe");
            created.push_back(c);
            visible.push_back(v);
            probe.push_back(p);
        }
        Process bare(L"bare_timer.exe");
        if (!bare.WaitVisible(BARE_CAPTION)) Fail("bare_timer showed no window");
        bareVisible.push_back((Now() - bare.Started()) * 1000);
    }
    report.Section("startup", "(c) Start-up from CreateProcess, median of runs");
    report.Figure("runs", "runs", runs, "", 0);
    report.Figure("program_window_created_ms", "Varnosklen: window exists", Median(created), "ms");
    report.Figure("program_window_visible_ms", "Varnosklen: window visible", Median(visible), "ms");
    report.Figure("program_first_probe_ms", "Varnosklen: first probe (stand-in callCount > 0)", Median(probe), "ms");
    report.Figure("bare_window_visible_ms", "bare_timer: window visible", Median(bareVisible), "ms");
}

// (d) One press of the button, less the library's time for the same ten calls.
void Press(Report& report, Box& box, const Library& library) {
    box.Reset();
    LocalForm form;
    if (!form.ok) Fail("Form1 could not be created");

    auto presses = [&](bool tick_first) {
        std::vector<double> t;
        const LONG switches = box->switchCount;
        for (int i = 0; i < PRESSES; ++i) {
            box.BackOnBus();
            if (tick_first) form->Timer1_Timer();  // the status turns to present, as the poll would show it
            Pump();
            const double t0 = Now();
            form->Command1_Click();
            t.push_back((Now() - t0) * 1e6);
        }
        Pump();
        if (box->switchCount - switches != PRESSES) Fail("a press did not switch the stand-in");
        return Median(t);
    };
    const double unchanged = presses(false);
    const double afterTick = presses(true);

    std::vector<double> direct;
    for (int i = 0; i < PRESSES; ++i) {
        box.BackOnBus();
        uint8_t byte = 0;
        const double t0 = Now();
        library.getOut(&byte);
        for (const uint8_t mask : device::SWITCH_PASS_MASKS) {
            library.getDir(&byte);
            byte ^= mask;
            library.setDir(byte);
            library.setOut(byte);
        }
        direct.push_back((Now() - t0) * 1e6);
    }
    const double libraryUs = Median(direct);

    report.Section("press", "(d) Command1_Click in-process, median of 1000 presses");
    report.Figure("press_us", "press (status text already shown)", unchanged, "us", 2);
    report.Figure("press_after_tick_us", "press after a tick (status text changes, repaint)", afterTick, "us", 2);
    report.Figure("library_ten_calls_us", "the same ten library calls made directly", libraryUs, "us", 2);
    report.Figure("press_own_us", "press: the program's own share", unchanged - libraryUs, "us", 2);
    report.Figure("press_after_tick_own_us", "press after a tick: the program's own share", afterTick - libraryUs, "us",
                  2);
}

// Pumps the program's loop until the watch is in this state; false after 10 s.
bool WatchHealth(Form1& form, printing::Health health) {
    const double end = Now() + 10;
    int code = 0;
    while (form.PrintSwitchState().Health() != health && Now() < end) messageloop::HandleNext(form, code, 50);
    return form.PrintSwitchState().Health() == health;
}

// Spooler calls per check of a watch checked every second for seconds, the
// spooler up (an idle queue) or down (the watch retried).
double SpoolerCallsPerCheck(Box& box, int seconds, bool up) {
    constexpr DWORD CHECK_MS = 1000;
    printing::UseSpooler(standin::SpoolerModel::Table());
    printing::PrintWatch::retryMs = CHECK_MS;
    box.Reset();
    standin::spooler.Reset({L"Laser"});
    Form1 form(GetModuleHandleW(nullptr), Form1::WhenDestroyed::KeepRunning);
    if (!form.Create()) Fail("Form1 could not be created");
    form.ChangePrinter(L"Laser");
    if (!WatchHealth(form, printing::Health::On)) Fail("the stand-in printer is not watched");
    if (!up) standin::spooler.SetUp(false);
    if (!up && !WatchHealth(form, printing::Health::Retrying)) Fail("the watch did not stop");
    const int calls0 = standin::spooler.calls;
    const double end = Now() + seconds;
    int code = 0;
    for (double left; (left = end - Now()) > 0;)
        messageloop::HandleNext(form, code, static_cast<DWORD>(left * 1000) + 1);
    const double perCheck = double(standin::spooler.calls - calls0) / (seconds * 1000.0 / CHECK_MS);
    printing::PrintWatch::retryMs = printing::PrintWatch::RETRY_MS;
    return perCheck;
}

// (h) The print switch's idle cost: a window in this process, its timer
// running, in the program's own loop for the same seconds with the switch
// off and on (the stand-in spooler's queue watched, no job coming).
void PrintSwitchIdle(Report& report, Box& box, int seconds, int runs) {
    printing::UseSpooler(standin::SpoolerModel::Table());
    std::vector<double> off, on, asked;
    for (int run = 1; run <= runs; ++run) {
        for (const bool watching : {false, true}) {
            box.Reset();
            standin::spooler.Reset({L"Laser"});
            Form1 form(GetModuleHandleW(nullptr), Form1::WhenDestroyed::KeepRunning);
            if (!form.Create()) Fail("Form1 could not be created");
            form.Show(SW_SHOWNORMAL);
            form.ChangePrinter(watching ? L"Laser" : L"");
            if (watching && !WatchHealth(form, printing::Health::On)) Fail("the stand-in printer is not watched");
            const int calls0 = standin::spooler.calls;
            const double cpu0 = CpuMs(GetCurrentProcess()), end = Now() + seconds;
            int code = 0;
            for (double left; (left = end - Now()) > 0;)
                messageloop::HandleNext(form, code, static_cast<DWORD>(left * 1000) + 1);
            (watching ? on : off).push_back(CpuMs(GetCurrentProcess()) - cpu0);
            if (watching) asked.push_back(standin::spooler.calls - calls0);
            std::fprintf(stderr, "  print switch run %d/%d %-3s: %.0f ms CPU\n", run, runs, watching ? "on" : "off",
                         (watching ? on : off).back());
        }
    }
    printing::UseSpooler(nullptr);
    report.Section("print_switch", "(h) Idle in the program's loop, the window shown, median of runs");
    report.Figure("seconds", "seconds per figure", seconds, "s", 0);
    report.Figure("off_cpu_ms", "print switch off: CPU", Median(off), "ms", 0);
    report.Figure("on_cpu_ms", "print switch on, queue watched: CPU", Median(on), "ms", 0);
    report.Figure("on_spooler_calls", "print switch on: calls to the spooler", Median(asked), "", 0);

    // The calls of the watch's schedule, counted over checks made every
    // second, then said for the schedule as built.
    const double perCheckUp = SpoolerCallsPerCheck(box, seconds, true);
    const double perCheckDown = SpoolerCallsPerCheck(box, seconds, false);
    const double tens = 10000.0 / printing::PrintWatch::RETRY_MS;
    report.Figure("retry_s", "the watch's check and retry schedule", printing::PrintWatch::RETRY_MS / 1000.0, "s", 0);
    report.Figure("idle_calls_per_10s", "queue idle, watch on: spooler calls per 10 s", perCheckUp * tens, "", 2);
    report.Figure("down_calls_per_10s", "spooler down, watch retried: spooler calls per 10 s", perCheckDown * tens, "",
                  2);

    // The window with a spooler that holds its opens (a slow driver).
    standin::spooler.Reset({L"Laser"});
    standin::spooler.HoldOpens(true);
    printing::WriteChosenPrinter(L"Laser");
    const double t0 = Now();
    {
        Form1 form(GetModuleHandleW(nullptr), Form1::WhenDestroyed::KeepRunning);
        if (!form.Create()) Fail("Form1 could not be created");
        form.Show(SW_SHOWNORMAL);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(form.Handle(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
        report.Figure("shown_while_open_held_ms", "window shown and answering, the open held", (Now() - t0) * 1000,
                      "ms", 1);
        standin::spooler.HoldOpens(false);
    }
    printing::WriteChosenPrinter(L"");
    printing::UseSpooler(nullptr);
}

// (e) The executable's size, and this process's memory while a Form1 ticks.
void SizeAndMemory(Report& report, Box& box) {
    report.Section("size_memory", "(e) Size, and memory of an in-process Form1 (flapping ticks, pumped)");
    report.Figure("program_exe_bytes", "Varnosklen.exe size", FileBytes(BinDir() + L"\\Varnosklen.exe"), "bytes", 0);
    report.Figure("bare_exe_bytes", "bare_timer.exe size", FileBytes(BinDir() + L"\\bare_timer.exe"), "bytes", 0);

    box.Reset();
    LocalForm form;
    if (!form.ok) Fail("Form1 could not be created");
    struct Sample {
        Memory memory;
        DWORD handles;
        long owned;
    } at10k{}, at100k{};
    auto sample = [] {
        return Sample{MemoryOf(GetCurrentProcess()), HandleCount(GetCurrentProcess()), common::LiveHandles()};
    };
    for (int i = 1; i <= TICKS; ++i) {
        box->onBus = !box->onBus;
        form->Timer1_Timer();
        Pump();
        if (i == TICKS / 10) at10k = sample();
    }
    at100k = sample();

    report.Figure("private_kb_10k", "private bytes after 10000 ticks", at10k.memory.privateKb, "KiB", 0);
    report.Figure("private_kb_100k", "private bytes after 100000 ticks", at100k.memory.privateKb, "KiB", 0);
    report.Figure("private_growth_kb", "private bytes growth", at100k.memory.privateKb - at10k.memory.privateKb, "KiB",
                  0);
    report.Figure("working_set_kb_10k", "working set after 10000 ticks", at10k.memory.workingSetKb, "KiB", 0);
    report.Figure("working_set_kb_100k", "working set after 100000 ticks", at100k.memory.workingSetKb, "KiB", 0);
    report.Figure("working_set_growth_kb", "working set growth", at100k.memory.workingSetKb - at10k.memory.workingSetKb,
                  "KiB", 0);
    report.Figure("kernel_handles_growth", "kernel handles growth", double(at100k.handles) - at10k.handles, "", 0);
    report.Figure("owned_handles_growth", "handles held by the program's owners, growth",
                  double(at100k.owned) - at10k.owned, "", 0);
}

// PATH_ENTRIES folders that do not exist, ahead of the real PATH.
std::wstring LongPath() {
    std::wstring path;
    for (int i = 0; i < PATH_ENTRIES; ++i) path += L"C:\\p\\" + std::to_wstring(i) + L";";
    wchar_t real[8192] = {};
    GetEnvironmentVariableW(L"PATH", real, 8192);
    return path + real;
}

// Run in a copy of this program in a folder without the library: a Form1
// ticked at the timer's pace, each tick timed. Writes the median, mean and
// slowest tick in microseconds to the file.
int MissingLibraryTicks(const char* out) {
    LocalForm form;
    if (!form.ok) return 2;
    std::vector<double> ticks;
    for (int i = 0; i < MISSING_TICKS; ++i) {
        const double t0 = Now();
        form->Timer1_Timer();
        ticks.push_back((Now() - t0) * 1e6);
        Pump();
        Sleep(Form1::TIMER1_INTERVAL_MS);
    }
    wchar_t shown[256] = {};
    GetWindowTextW(form->Text1, shown, 256);
    if (lstrcmpW(shown, texts::LIBRARY_MISSING) != 0) return 3;
    double total = 0;
    for (double t : ticks) total += t;
    FILE* f = std::fopen(out, "w");
    if (!f) return 4;
    std::fprintf(f, "%f %f %f\n", Median(ticks), total / MISSING_TICKS, *std::max_element(ticks.begin(), ticks.end()));
    return std::fclose(f) == 0 ? 0 : 4;
}

// (f) AVR309.dll missing, with PATH_ENTRIES more folders on PATH: one whole
// search in this process, and a Form1's ticks in a copy of this program.
void MissingLibrary(Report& report) {
    SetEnvironmentVariableW(L"PATH", LongPath().c_str());  // the copy inherits it
    std::vector<double> searches;
    for (int i = 0; i < SEARCHES; ++i) {
        const double t0 = Now();
        if (device::LoadFromSearchPath(L"AVR309-nowhere.dll").module) Fail("a library that does not exist was found");
        searches.push_back((Now() - t0) * 1e3);
    }

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = temp + std::wstring(L"varnosklen-bench-") + std::to_wstring(GetCurrentProcessId());
    const std::wstring exe = dir + L"\\bench.exe", out = dir + L"\\ticks.txt";
    CreateDirectoryW(dir.c_str(), nullptr);
    if (!CopyFileW((BinDir() + L"\\bench.exe").c_str(), exe.c_str(), FALSE)) Fail("cannot copy bench.exe");
    const std::wstring run(MISSING_LIBRARY_RUN, MISSING_LIBRARY_RUN + std::strlen(MISSING_LIBRARY_RUN));
    std::wstring command = L"\"" + exe + L"\" " + run + L" \"" + out + L"\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION copy = {};
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup, &copy))
        Fail("cannot start the copy of bench.exe");
    WaitForSingleObject(copy.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(copy.hProcess, &code);
    CloseHandle(copy.hThread);
    CloseHandle(copy.hProcess);
    double median = -1, mean = -1, slowest = -1;
    if (FILE* f = _wfopen(out.c_str(), L"r")) {
        if (std::fscanf(f, "%lf %lf %lf", &median, &mean, &slowest) != 3) code = 5;
        std::fclose(f);
    }
    DeleteFileW(out.c_str());
    DeleteFileW(exe.c_str());
    RemoveDirectoryW(dir.c_str());
    if (code != 0) Fail("the copy of bench.exe could not tick a Form1 without the library");

    report.Section("missing_library", "(f) AVR309.dll missing, 2000 folders more on PATH");
    report.Figure("search_ms", "one whole search (before: every tick)", Median(searches), "ms", 2);
    report.Figure("tick_between_searches_us", "Timer1_Timer between searches, median", median, "us", 2);
    report.Figure("tick_searching_ms", "Timer1_Timer that searches (every 2 s), slowest", slowest / 1000, "ms", 2);
    report.Figure("tick_mean_us", "Timer1_Timer, mean of 60 ticks 100 ms apart", mean, "us", 1);
}

// One run of a console program from CreateProcess to its end, its output
// thrown away; the milliseconds, or -1 when it failed.
double RunToEnd(const wchar_t* exe_name, const wchar_t* args) {
    const std::wstring exe = BinDir() + L"\\" + exe_name;
    std::wstring command = L"\"" + exe + L"\" " + args;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION info = {};
    const double t0 = Now();
    DWORD code = 1;
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, BinDir().c_str(),
                       &startup, &info)) {
        WaitForSingleObject(info.hProcess, INFINITE);
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    const double ms = (Now() - t0) * 1000;
    CloseHandle(nul);
    return code == 0 ? ms : -1;
}

// (g) varnosklen-cli status, the program not running, against a console
// program that does nothing, run by turns so both see the same load.
void CommandLine(Report& report, Box& box, int runs) {
    box.Reset();
    std::vector<double> cli, bare;
    RunToEnd(L"varnosklen-cli.exe", L"status");  // the first start of each reads the files from disk
    RunToEnd(L"bare_console.exe", L"");
    for (int i = 0; i < runs * 10; ++i) {
        cli.push_back(RunToEnd(L"varnosklen-cli.exe", L"status"));
        bare.push_back(RunToEnd(L"bare_console.exe", L""));
        if (cli.back() < 0 || bare.back() < 0) Fail("varnosklen-cli status or bare_console failed");
    }
    report.Section("command_line", "(g) From CreateProcess to the end, median of 10 x RUNS by turns");
    report.Figure("runs", "runs of each", runs * 10.0, "", 0);
    report.Figure("cli_status_ms", "varnosklen-cli status (box present)", Median(cli), "ms");
    report.Figure("bare_console_ms", "bare_console (does nothing)", Median(bare), "ms");
    report.Figure("ratio", "ratio varnosklen-cli/bare", Median(cli) / Median(bare), "x", 2);
    report.Figure("cli_exe_bytes", "varnosklen-cli.exe size", FileBytes(BinDir() + L"\\varnosklen-cli.exe"), "bytes",
                  0);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc > 2 && std::strcmp(argv[1], MISSING_LIBRARY_RUN) == 0) return MissingLibraryTicks(argv[2]);
    const char* json = argc > 1 ? argv[1] : "bench.json";
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const std::string which = argc > 4 ? argv[4] : "abcdefgh";
    auto wanted = [&](char letter) { return which.find(letter) != std::string::npos; };

    Box box(L"VarnosklenBench");  // before the library is loaded here or in a started program
    if (!box.Ok()) Fail("no stand-in channel");
    Report report;
    if (const char* machine = std::getenv("VARNOSKLEN_MACHINE")) report.Text("machine", machine);

    Library library;
    if (!library.Load()) Fail("the stand-in AVR309.dll cannot be called directly");
    if (wanted('a')) Idle(report, box, seconds, runs);
    if (wanted('b')) Ticks(report, box, library);
    if (wanted('c')) Startup(report, box, std::max(runs, 5));
    if (wanted('d')) Press(report, box, library);
    if (wanted('e')) SizeAndMemory(report, box);
    if (wanted('f')) MissingLibrary(report);
    if (wanted('g')) CommandLine(report, box, runs);
    if (wanted('h')) PrintSwitchIdle(report, box, seconds, runs);

    if (!report.Write(json)) Fail("cannot write the JSON file");
    std::printf("\nJSON written to %s\n", json);
    return 0;
}
