// A stand-in for the spooler's calls the print switch makes, as Windows
// documents them: printers, each with a queue of jobs of this or another
// user, a change notification per watch whose handle is a real event, a
// notification that says it discarded what it could not hold (after which
// nothing more is told until a refresh is asked for), a job that
// ends before it is read, an unknown printer, a standard user's rights, and
// a spooler with no notifications at all. One per process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "printing/Spooler.h"

namespace standin {

class SpoolerModel {
public:
    // The table bound to this model.
    static const printing::Spooler* Table();

    // No printers, no jobs, notifications working, no calls counted.
    void Reset(std::vector<std::wstring> printers);
    // A job comes into a printer's queue; told to each watch of it.
    DWORD AddJob(const std::wstring& printer, const std::wstring& user);
    // The job ends (printed or cancelled by its owner); told as deleted.
    void EndJob(DWORD id);
    // The next notification of each watch says only that it discarded.
    void Discard();

    bool notifications = true;  // false: FindFirstPrinterChangeNotification fails
    int calls = 0;              // of every function of the table
    std::vector<DWORD> accessAsked;

    struct Job {
        std::wstring printer, user;
        DWORD id;
    };
    struct Entry {
        DWORD id;
        std::wstring user;
        DWORD status;
    };
    struct Change {
        size_t printer;
        HANDLE event;
        std::vector<Entry> pending;
        bool discarded;
        bool silenced;  // told it discarded, and not yet asked for a refresh
    };
    std::vector<std::wstring> printers;
    std::vector<Job> jobs;
    std::vector<Change> changes;
    DWORD nextId = 1;
};

extern SpoolerModel spooler;

}  // namespace standin
