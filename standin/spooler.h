// A stand-in for the spooler's calls the print switch makes, as Windows
// documents them: printers of this PC and connections to other computers'
// (named \\server\printer), matched without regard to case; each with a queue
// of jobs of this or another user, from this or another computer, owners
// given with a domain or not; a change notification per watch whose handle is
// a real event, telling only the fields it was asked for (a new job with its
// fields, a later change with its status alone); a notification that says it
// discarded what it could not hold (after which nothing more is told until a
// refresh is asked for); a FindNextPrinterChangeNotification that fails; a
// spooler that is down (every call fails), that restarts (every handle from
// before is refused and the old change handle is never signalled again), and
// whose opens take as long as a test holds them; a standard user's rights.
// One per process; the watch's worker and the test call it from two threads.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "printing/Spooler.h"

namespace standin {

class SpoolerModel {
public:
    // The table bound to this model.
    static const printing::Spooler* Table();
    // \\ and this computer's name, as the spooler names a job's machine.
    static std::wstring ThisMachine();

    // These printers, no jobs, the spooler up with notifications, opens not
    // held, no calls counted.
    void Reset(std::vector<std::wstring> printers);
    // A job comes into a printer's queue; told to each watch of it.
    DWORD AddJob(const std::wstring& printer, const std::wstring& user, const std::wstring& machine = ThisMachine());
    // A job's status changes: told with the status alone.
    void SetStatus(DWORD id, DWORD status);
    // The job ends (printed or cancelled by its owner); told as deleted.
    void EndJob(DWORD id);
    // The next notification of each watch says only that it discarded.
    void Discard();
    // Stopped (every call fails as with no spooler) or started.
    void SetUp(bool up);
    // Stopped and started again: every handle from before is refused.
    void Restart();
    // Opens wait until released (10 s at most); how many are waiting, and
    // how many have answered since the reset.
    void HoldOpens(bool hold);
    LONG OpensHeld() const { return opensHeld; }
    LONG OpensDone() const { return opensDone; }
    void SetAttributes(const std::wstring& printer, DWORD attributes);
    // Runs under the model's lock: for fields a running worker reads.
    void With(const std::function<void()>& change);

    // Read and set under With once a worker runs.
    bool notifications = true;      // false: FindFirstPrinterChangeNotification fails
    int failFindNext = 0;           // so many FindNextPrinterChangeNotification calls fail
    std::function<void()> onWatch;  // run once a watch began, before anything else is asked
    int calls = 0;                  // of every function of the table
    std::vector<DWORD> accessAsked;
    bool up = true;

    struct Printer {
        std::wstring name;
        DWORD attributes;
    };
    struct Job {
        std::wstring printer, user, machine;
        DWORD id;
        SYSTEMTIME submitted;
    };
    struct Entry {
        DWORD id;
        bool whole;  // with its owner and machine, or its status alone
        std::wstring user, machine;
        DWORD status;
    };
    struct Change {
        size_t printer;
        unsigned epoch;
        HANDLE event;
        std::vector<WORD> fields;
        std::vector<Entry> pending;
        bool discarded;
        bool silenced;  // told it discarded, and not yet asked for a refresh
    };
    std::vector<Printer> printers;
    std::vector<Job> jobs;
    std::vector<Change> changes;
    DWORD nextId = 1;
    unsigned epoch = 1;  // a restart begins another
    HANDLE openGate = nullptr;
    volatile LONG opensHeld = 0, opensDone = 0;
};

extern SpoolerModel spooler;

}  // namespace standin
