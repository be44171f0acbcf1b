// varnosklen-cli: the USB sharing switch from scripts, launchers and the task
// scheduler. Exit codes and output are in cli/Output.h and the usage below.
#include <windows.h>
#include <winver.h>

#include "cli/Arguments.h"
#include "cli/Doctor.h"
#include "cli/Output.h"
#include "cli/SessionEnd.h"
#include "device/BoxLock.h"
#include "device/LibrarySearch.h"
#include "remote/Operations.h"
#include "settings/Language.h"

namespace {

using device::DeviceState;

constexpr DWORD POLL_MS = 100;

constexpr wchar_t SHORT_USAGE[] =
    L"usage: varnosklen-cli status [--json] | switch [--wait SECONDS] | watch [--json] | doctor | --help | --version\n";

// The help in English everywhere; where the program speaks Greek, in Greek
// after it, as it has always been.
constexpr wchar_t USAGE[] =
    L"varnosklen-cli: the Varnosklen USB sharing switch from the command line.\n"
    L"\n"
    L"  varnosklen-cli status [--json]          is the switch on the bus?\n"
    L"  varnosklen-cli switch [--wait SECONDS]  connect the shared USB device to this PC;\n"
    L"                                          --wait: and wait until the switch has left the bus\n"
    L"  varnosklen-cli watch [--json]           a line each time the state changes, until Ctrl+C\n"
    L"  varnosklen-cli doctor                   where AVR309.dll is looked for, what is there, the switch\n"
    L"\n"
    L"Exit codes: 0 present, switched or passed through; 1 absent (nothing sent);\n"
    L"2 AVR309.dll missing, incomplete or 64-bit; 3 still on the bus when the wait ran out;\n"
    L"4 busy: the running Varnosklen.exe did not take the request in time, or another\n"
    L"program held the switch (nothing sent); 5 refused: the running Varnosklen.exe takes\n"
    L"requests only from its own user's programs at medium integrity or above (nothing\n"
    L"sent); 6 unconfirmed: it took the switch, then hung or ended before confirming it;\n"
    L"64 bad input; 130 ended by Ctrl+C.\n"
    L"With Varnosklen.exe running, status and switch go through it.\n";

constexpr wchar_t USAGE_GREEK[] =
    L"\n"
    L"varnosklen-cli: ο διακόπτης κοινής χρήσης USB Varnosklen από τη γραμμή εντολών.\n"
    L"\n"
    L"  varnosklen-cli status [--json]          είναι η συσκευή στον δίαυλο;\n"
    L"  varnosklen-cli switch [--wait ΔΕΥΤ]     σύνδεση με το κοινό περιφερειακό USB·\n"
    L"                                          --wait: και αναμονή έως ότου φύγει η συσκευή από τον δίαυλο\n"
    L"  varnosklen-cli watch [--json]           μία γραμμή σε κάθε αλλαγή, έως το Ctrl+C\n"
    L"  varnosklen-cli doctor                   πού αναζητείται το AVR309.dll, τι υπάρχει εκεί, η συσκευή\n"
    L"\n"
    L"Κωδικοί εξόδου: 0 βρέθηκε, στάλθηκε ή συνδέθηκε· 1 δεν βρέθηκε (δεν στάλθηκε τίποτα)·\n"
    L"2 το AVR309.dll λείπει, είναι ελλιπές ή 64 bit· 3 ακόμη στον δίαυλο όταν έληξε η αναμονή·\n"
    L"4 απασχολημένο: το Varnosklen.exe δεν δέχτηκε εγκαίρως το αίτημα ή άλλο πρόγραμμα\n"
    L"χειριζόταν τη συσκευή (δεν στάλθηκε τίποτα)· 5 απορρίφθηκε: το Varnosklen.exe δέχεται\n"
    L"αιτήματα μόνο από προγράμματα του ίδιου χρήστη με μεσαία ακεραιότητα ή υψηλότερη\n"
    L"(δεν στάλθηκε τίποτα)· 6 ανεπιβεβαίωτο: δέχτηκε τη σύνδεση, αλλά κόλλησε ή τερμάτισε\n"
    L"πριν την επιβεβαιώσει· 64 λάθος ορίσματα· 130 διακοπή με Ctrl+C.\n"
    L"Όταν τρέχει το Varnosklen.exe, τα status και switch περνούν από αυτό.\n";

HANDLE out;
HANDLE err;
int exitWhenInterrupted = cli::EXIT_INTERRUPTED;

// To a console as text; to a pipe or a file as UTF-8. False when it could not
// be written, as to a pipe nobody reads any more.
bool Write(HANDLE handle, const wchar_t* text) {
    const int length = lstrlenW(text);
    DWORD written = 0, mode = 0;
    if (GetConsoleMode(handle, &mode))
        return WriteConsoleW(handle, text, static_cast<DWORD>(length), &written, nullptr) &&
               written == static_cast<DWORD>(length);
    char bytes[8192];
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, sizeof bytes, nullptr, nullptr);
    return WriteFile(handle, bytes, static_cast<DWORD>(size), &written, nullptr) && written == static_cast<DWORD>(size);
}

bool WriteLine(const wchar_t* text) { return Write(out, text) && Write(out, L"\n"); }

// Ctrl+C, Ctrl+Break and closing the console end a wait at once, but a
// sequence of calls under way is sent whole first. A logoff is let be: a
// command run by a task or a service hears of every user's logoff, not only
// its own session's, whose end ends it anyway. Once user32 is loaded,
// logoff and shutdown come no more here but to cli::SessionEnd's window.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event == CTRL_LOGOFF_EVENT) return TRUE;
    device::BoxLock::ExitBetweenSequences(static_cast<UINT>(exitWhenInterrupted));
}

bool IsBusy(const remote::Outcome& outcome) { return outcome.route == remote::Route::Busy; }

// Why nothing was sent, or what is not known, for the person reading.
void Explain(const remote::Outcome& outcome) {
    switch (outcome.route) {
    case remote::Route::Busy:
        Write(err,
              L"varnosklen-cli: the running Varnosklen.exe did not take the request in time, or another program "
              L"held the switch; nothing was sent\n");
        break;
    case remote::Route::Refused:
        Write(err,
              L"varnosklen-cli: the running Varnosklen.exe takes requests only from its own user's programs at "
              L"medium integrity or above; nothing was sent\n");
        break;
    case remote::Route::Unconfirmed:
        Write(err,
              L"varnosklen-cli: the running Varnosklen.exe took the switch, then hung or ended before confirming "
              L"it; the switch may or may not have switched\n");
        break;
    case remote::Route::Program:
    case remote::Route::Here: break;
    }
}

int Status(const cli::Command& command) {
    const remote::Outcome outcome = remote::QueryStatus();
    Explain(outcome);
    WriteLine(command.json ? cli::Json(outcome).text : cli::StateWord(outcome));
    return remote::ExitCode(outcome);
}

int Switch(const cli::Command& command) {
    const remote::Outcome outcome = remote::Switch();
    // Taken but not confirmed, the switch may have gone out: --wait asks the box.
    const bool sent = !remote::NothingDone(outcome) && outcome.state == DeviceState::Present;
    Explain(outcome);
    if (!sent || !command.wait) {
        WriteLine(sent && outcome.route != remote::Route::Unconfirmed ? L"switched" : cli::StateWord(outcome));
        return remote::ExitCode(outcome);
    }
    // A busy answer on the way is no answer: asked again until the time runs out.
    const ULONGLONG deadline = GetTickCount64() + command.waitSeconds * 1000ull;
    cli::SessionEnd session(exitWhenInterrupted);
    for (;;) {
        const remote::Outcome now = remote::QueryStatus();
        if (!remote::NothingDone(now) && now.state == DeviceState::Absent) {
            WriteLine(L"passed-through");
            return 0;
        }
        if (GetTickCount64() >= deadline) break;
        session.Wait(POLL_MS);
    }
    WriteLine(L"still-on-bus");
    return cli::EXIT_NOT_WITHIN_TIME;
}

cli::Line Now() {
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    FILETIME u, l;
    SystemTimeToFileTime(&utc, &u);
    SystemTimeToFileTime(&local, &l);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<LONGLONG>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    const LONGLONG minute = 600000000;  // in 100 ns
    return cli::IsoTime(local, static_cast<int>((ticks(l) - ticks(u)) / minute));
}

// A pipe whose reader has gone refuses even an empty write.
bool ReaderGone() {
    DWORD written = 0;
    return GetFileType(out) == FILE_TYPE_PIPE && !WriteFile(out, "", 0, &written, nullptr);
}

// Probes on its own even with the program running: a probe changes nothing.
// A probe the box is too busy for is skipped. Ctrl+C is its normal end.
int Watch(const cli::Command& command) {
    exitWhenInterrupted = 0;
    cli::SessionEnd session(exitWhenInterrupted);
    bool first = true;
    DeviceState last = DeviceState::Absent;
    for (ULONGLONG next = GetTickCount64();;) {
        const remote::Outcome outcome = remote::ProbeHere(POLL_MS);
        if (!IsBusy(outcome) && (first || outcome.state != last)) {
            const cli::Line time = Now();
            const cli::Line line = command.json ? cli::Json(outcome, time.text)
                                                : cli::Line() << time.text << L" " << cli::StateWord(outcome);
            if (!WriteLine(line.text)) break;
            first = false;
            last = outcome.state;
        } else if (ReaderGone()) {
            break;
        }
        // Every 100 ms from the last probe's start; after a slow call, from now.
        next += POLL_MS;
        const ULONGLONG now = GetTickCount64();
        if (next > now) {
            session.Wait(static_cast<DWORD>(next - now));
        } else {
            next = now;
        }
    }
    return 0;
}

int Version() {
    cli::Line line;
    line << L"varnosklen-cli";
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, resource)));
    const DWORD size = resource ? SizeofResource(nullptr, resource) : 0;
    for (DWORD at = 0; data && at + sizeof(VS_FIXEDFILEINFO) <= size; at += sizeof(DWORD)) {
        const auto* info = reinterpret_cast<const VS_FIXEDFILEINFO*>(data + at);
        if (info->dwSignature != VS_FFI_SIGNATURE) continue;
        line << L" " << static_cast<long long>(HIWORD(info->dwFileVersionMS)) << L"."
             << static_cast<long long>(LOWORD(info->dwFileVersionMS));
        break;
    }
    WriteLine(line.text);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Nothing is loaded from the current folder: neither the device library
    // (its search leaves that folder out) nor anything the library needs.
    device::KeepCurrentFolderOutOfDllSearch();
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    err = GetStdHandle(STD_ERROR_HANDLE);
    const cli::Parsed parsed = cli::Parse(argc - 1, argv + 1);
    if (!parsed.ok) {
        cli::Line message;
        message << L"varnosklen-cli: " << parsed.error;
        if (parsed.culprit) message << L": " << parsed.culprit;
        Write(err, message.text);
        Write(err, L"\n");
        Write(err, SHORT_USAGE);
        return cli::EXIT_USAGE;
    }
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    switch (parsed.command.kind) {
    case cli::CommandKind::Help:
        Write(out, USAGE);
        if (settings::LanguageInEffect() == settings::Language::Greek) Write(out, USAGE_GREEK);
        return 0;
    case cli::CommandKind::Version: return Version();
    case cli::CommandKind::Status: return Status(parsed.command);
    case cli::CommandKind::Switch: return Switch(parsed.command);
    case cli::CommandKind::Watch: return Watch(parsed.command);
    case cli::CommandKind::Doctor: return cli::Doctor(WriteLine);
    }
    return 0;
}
