#include "cli/Doctor.h"

#include <windows.h>

#include "cli/Output.h"
#include "device/LibrarySearch.h"
#include "device/module1.h"
#include "printing/PrintWatch.h"
#include "printing/PrinterSetting.h"
#include "remote/Operations.h"

namespace cli {

namespace {

using device::FileKind;
using device::PlaceKind;
using device::Skipped;

const wchar_t* KindName(PlaceKind kind) {
    switch (kind) {
    case PlaceKind::ProgramFolder: return L"program's folder";
    case PlaceKind::SystemFolder: return L"system folder";
    case PlaceKind::WindowsFolder: return L"Windows folder";
    case PlaceKind::Path: break;
    }
    return L"PATH";
}

const wchar_t* Bits(int bits) { return bits == 64 ? L"64-bit" : L"32-bit"; }

// What is in one place, said in a line.
Line Describe(const device::Place& place, int number) {
    Line line;
    line << L"  " << static_cast<long long>(number) << L". " << KindName(place.kind) << L": " << place.file << L": ";
    switch (place.skipped) {
    case Skipped::NotAbsolute: return line << L"not searched, not a full path (it would mean the current folder)";
    case Skipped::Network: return line << L"not searched, a network folder";
    case Skipped::TooLong: return line << L"not searched, too long a path";
    case Skipped::No: break;
    }
    const device::LibraryFile file =
        device::InspectLibraryFile(place.file, module1::OPERATION_NAMES, module1::OPERATION_COUNT);
    if (file.kind == FileKind::Absent) return line << L"absent";
    if (file.kind == FileKind::NotALibrary) return line << L"present, but not a library";
    line << Bits(file.bits) << L" library";
    if (file.bits != device::PROCESS_BITS)
        return line << L", which a " << Bits(device::PROCESS_BITS) << L" program cannot load";
    for (int op = 0, said = 0; op < module1::OPERATION_COUNT; ++op) {
        if (!(file.missingMask & (1u << op))) continue;
        line << (said++ ? L", " : L" without ");
        wchar_t name[32] = {};
        MultiByteToWideChar(CP_ACP, 0, module1::OPERATION_NAMES[op], -1, name, 32);
        line << name;
    }
    return line;
}

// The running program's watch, in words.
Line& DescribeHealth(Line& line, uint32_t health) {
    using printing::Health;
    switch (static_cast<Health>(health)) {
    case Health::Off: return line << L"off";
    case Health::Starting: return line << L"starting";
    case Health::On: return line << L"the spooler's notifications work for it";
    case Health::Retrying: return line << L"stopped, trying again (the spooler does not answer, or restarted)";
    case Health::PrinterGone: return line << L"ignored, no such printer (looked for again)";
    case Health::Connection: return line << L"ignored, a connection to another computer's printer";
    case Health::NoNotifications: break;
    }
    return line << L"off, the spooler gives no notifications for it";
}

// The print switch's setting, and its watch: the running program's, or when
// none runs, whether the spooler would tell of the chosen printer's jobs.
void DescribePrintSwitch(bool (*write_line)(const wchar_t*)) {
    printing::PrinterName printer;
    Line line;
    line << L"Switch when printing: ";
    if (!printing::ReadChosenPrinter(printer)) {
        write_line((line << L"off (no printer chosen)").text);
        return;
    }
    line << L"to \"" << printer << L"\": ";
    uint32_t health = 0;
    switch (remote::AskPrintWatch(health)) {
    case remote::Route::Program:
        if (health > printing::LAST_HEALTH) break;
        write_line((DescribeHealth(line, health) << L", as the running Varnosklen.exe watches it").text);
        return;
    case remote::Route::Here: break;
    case remote::Route::Busy:
    case remote::Route::Refused:
    case remote::Route::Unconfirmed: write_line((line << L"the running Varnosklen.exe did not say").text); return;
    }
    if (printer[0] == L'\\' && printer[1] == L'\\') {
        write_line((line << L"ignored, a connection to another computer's printer").text);
        return;
    }
    switch (printing::TryWatch(printing::ActiveSpooler(), printer)) {
    case printing::Watch::On: line << L"the spooler's notifications work for it"; break;
    case printing::Watch::PrinterGone: line << L"ignored, no such printer"; break;
    case printing::Watch::NoNotifications: line << L"off, the spooler gives no notifications for it"; break;
    case printing::Watch::NoSpooler:
    case printing::Watch::Off: line << L"off, the spooler cannot be used"; break;
    }
    write_line(line.text);
}

struct Listing {
    bool (*writeLine)(const wchar_t*);
    int number;
};

}  // namespace

int Doctor(bool (*write_line)(const wchar_t* line)) {
    write_line(L"AVR309.dll is looked for in this order, never in the current folder:");
    Listing listing = {write_line, 0};
    device::ForEachPlace(
        module1::LIBRARY_NAME,
        [](const device::Place& place, void* context) {
            auto& listing = *static_cast<Listing*>(context);
            listing.writeLine(Describe(place, ++listing.number).text);
            return false;
        },
        &listing);

    // The search the program makes, made here.
    const module1::LibraryState library = module1::CheckLibrary();
    Line used;
    used << L"Used: ";
    if (library == module1::LibraryState::Ready)
        used << module1::LibraryFile();
    else if (library == module1::LibraryState::OperationMissing)
        used << L"none: " << module1::LibraryFile() << L" lacks a function";
    else
        used << L"none: no place has a library this program can load";
    write_line(used.text);

    const remote::Outcome outcome = remote::QueryStatus();
    Line box;
    box << L"The switch: " << StateWord(outcome);
    if (!remote::NothingDone(outcome) && !device::IsLibraryProblem(outcome.state))
        box << L" (status " << static_cast<long long>(outcome.status) << L")";
    if (outcome.route == remote::Route::Program) box << L", as the running Varnosklen.exe sees it";
    write_line(box.text);
    DescribePrintSwitch(write_line);
    return remote::ExitCode(outcome);
}

}  // namespace cli
