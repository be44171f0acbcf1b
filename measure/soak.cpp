// Drives the real program for a long while on a flapping box, pressing its
// button and sending it to the tray and back, and watches its handles and
// memory. Fails when the program dies, stops answering or ends badly.
//
//   soak.exe [JSON [SECONDS]]   SECONDS of driving (3600)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "measure/measure.h"
#include "tray/TrayIconRecord.h"
#include "window/Form1.h"

using namespace measure;

namespace {

constexpr double STEP_S = 0.1;     // the box flaps every step
constexpr long PRESS_EVERY = 20;   // steps
constexpr long CYCLE_EVERY = 100;  // steps: hidden at 50, shown again at 60
constexpr double WARM_UP_S = 10;
constexpr double SAMPLE_EVERY_S = 60;

struct Sample {
    double seconds;
    DWORD handles;
    Memory memory;
    double cpuMs;
    LONG calls;
    LONG switches;
};

std::string Json(const Sample& s) {
    return "{\"t_s\": " + Report::Number(s.seconds) + ", \"handles\": " + Report::Number(s.handles) +
           ", \"private_kb\": " + Report::Number(s.memory.privateKb) +
           ", \"working_set_kb\": " + Report::Number(s.memory.workingSetKb) +
           ", \"cpu_ms\": " + Report::Number(s.cpuMs) + ", \"library_calls\": " + Report::Number(s.calls) +
           ", \"switches\": " + Report::Number(s.switches) + "}";
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const char* json = argc > 1 ? argv[1] : "soak.json";
    const double duration = argc > 2 ? std::max(WARM_UP_S + 1, std::atof(argv[2])) : 3600;

    Box box(L"VarnosklenSoak");
    if (!box.Ok()) return std::fprintf(stderr, "soak: no stand-in channel\n"), 2;
    box.Reset();
    Process program(L"Varnosklen.exe");
    const HWND window = program.WaitVisible(PROGRAM_CAPTION);
    if (!window) return std::fprintf(stderr, "soak: the program showed no window\n"), 2;
    const HWND button = GetDlgItem(window, Form1::ID_COMMAND1);
    HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.Id());
    if (!query) return std::fprintf(stderr, "soak: cannot open the program's process\n"), 2;

    const double start = Now();
    auto elapsed = [&] { return Now() - start; };
    std::vector<Sample> samples;
    auto sample = [&] {
        const Sample s{elapsed(), HandleCount(query), MemoryOf(query), CpuMs(query), box->callCount, box->switchCount};
        samples.push_back(s);
        std::printf("  %8.0f %8lu %12.0f %12.0f %10.0f %9ld %9ld\n", s.seconds, s.handles, s.memory.privateKb,
                    s.memory.workingSetKb, s.cpuMs, s.calls, s.switches);
    };
    auto answers = [&] {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
    };

    std::printf(
        "Soak of Varnosklen.exe for %.0f s: box flapping every %.0f ms, a press every %.0f s, "
        "tray and back every %.0f s\n\n",
        duration, STEP_S * 1000, PRESS_EVERY * STEP_S, CYCLE_EVERY * STEP_S);
    std::printf("  %8s %8s %12s %12s %10s %9s %9s\n", "t (s)", "handles", "private KiB", "work.set KiB", "CPU ms",
                "lib.calls", "switches");

    int presses = 0, switches = 0, hides = 0, restores = 0;
    bool died = false, hung = false;
    double nextSample = WARM_UP_S;
    for (long step = 1; step * STEP_S < duration; ++step) {
        const double wait = step * STEP_S - elapsed();
        if (wait > 0) Sleep(static_cast<DWORD>(wait * 1000));
        if (!program.Alive()) {
            died = true;
            break;
        }
        if (step % 10 == 0 && !answers()) {
            hung = true;
            break;
        }

        if (step % CYCLE_EVERY == 50) {
            PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            hides += PollUntil([&] { return !IsWindowVisible(window); }, 2000);
        } else if (step % CYCLE_EVERY == 60) {
            PostMessageW(window, tray::TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONUP);
            restores += PollUntil([&] { return IsWindowVisible(window) != FALSE; }, 2000);
        }
        if (step % PRESS_EVERY == 0) {
            // Back on the bus; the press goes once the poll has enabled the button.
            box.BackOnBus();
            if (PollUntil([&] { return IsWindowEnabled(button) != FALSE; }, 1000)) {
                const LONG before = box->switchCount;
                PostMessageW(button, BM_CLICK, 0, 0);
                ++presses;
                switches += PollUntil([&] { return box->switchCount != before; }, 1000);
            }
        } else {
            box->onBus = !box->onBus;
            box->passedThrough = 0;
        }
        if (elapsed() >= nextSample) {
            sample();
            nextSample += SAMPLE_EVERY_S;
        }
    }
    if (!died && !hung) {
        if (!answers()) hung = true;
        sample();
    }

    const double driven = elapsed();
    DWORD code = STILL_ACTIVE;
    if (died)
        GetExitCodeProcess(program.Handle(), &code);
    else
        code = program.Close(10000);
    const bool ok = !died && !hung && code == 0 && samples.size() >= 2;

    Report report;
    if (const char* machine = std::getenv("VARNOSKLEN_MACHINE")) report.Text("machine", machine);
    report.Section("soak", "Outcome");
    report.Figure("seconds", "seconds driven", driven, "s", 0);
    report.Figure("presses", "presses (BM_CLICK)", presses, "", 0);
    report.Figure("presses_that_switched", "presses that switched the box", switches, "", 0);
    report.Figure("hides", "minimised to the tray", hides, "", 0);
    report.Figure("restores", "restored from the tray icon", restores, "", 0);
    if (samples.size() >= 2) {
        const Sample& a = samples.front();
        const Sample& b = samples.back();
        const double span = b.seconds - a.seconds;
        report.Figure("handles_growth", "kernel handles, end - start", double(b.handles) - a.handles, "", 0);
        report.Figure("private_growth_kb", "private bytes, end - start", b.memory.privateKb - a.memory.privateKb, "KiB",
                      0);
        report.Figure("working_set_growth_kb", "working set, end - start",
                      b.memory.workingSetKb - a.memory.workingSetKb, "KiB", 0);
        // The stand-in's call log is shared memory the program fills as it
        // calls: its working set grows with it until the log wraps.
        const auto full = std::find_if(samples.begin(), samples.end(),
                                       [](const Sample& s) { return s.calls >= LONG(standin::CALL_LOG_SIZE); });
        if (full != samples.end() && full != samples.end() - 1)
            report.Figure("working_set_growth_after_log_full_kb", "working set, end - once the call log is full",
                          b.memory.workingSetKb - full->memory.workingSetKb, "KiB", 0);
        report.Figure("cpu_ms_per_s", "CPU from start sample to end", span > 0 ? (b.cpuMs - a.cpuMs) / span : 0, "ms/s",
                      2);
        report.Figure("library_calls_per_s", "library calls per second (probes and presses)",
                      span > 0 ? (b.calls - a.calls) / span : 0, "/s", 2);
    }
    report.Text("died", died ? "yes" : "no");
    report.Text("stopped_answering", hung ? "yes" : "no");
    report.Figure("exit_code", "exit code after WM_CLOSE (259: still running)", code, "", 0);
    std::string list = "[";
    for (const Sample& s : samples) list += (list.size() > 1 ? ",\n      " : "\n      ") + Json(s);
    report.Raw("samples", list + "\n    ]");
    report.Text("result", ok ? "pass" : "fail");
    std::printf("\n  died: %s, stopped answering: %s -> %s\n", died ? "yes" : "no", hung ? "yes" : "no",
                ok ? "PASS" : "FAIL");
    if (!report.Write(json)) std::fprintf(stderr, "soak: cannot write %s\n", json);
    CloseHandle(query);
    return ok ? 0 : 1;
}
