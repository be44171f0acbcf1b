// The print switch's eyes on one printer's queue: a change notification from
// the spooler for its jobs, read when its handle is signalled, and a ledger
// of the jobs seen, which tells a new job of this user from the rest. It only
// reads: it never pauses, resumes, restarts, moves or deletes a job.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "printing/Spooler.h"

namespace printing {

// A printer's name, as the spooler gives it and the setting keeps it.
inline constexpr DWORD NAME_CHARS = MAX_PATH;
using PrinterName = wchar_t[NAME_CHARS];

// The fields the watch asks of each job: enough to tell whose it is, from
// which computer, and whether it is still waiting.
inline constexpr WORD JOB_FIELDS[] = {JOB_NOTIFY_FIELD_USER_NAME, JOB_NOTIFY_FIELD_MACHINE_NAME,
                                      JOB_NOTIFY_FIELD_STATUS};
// A job in one of these states is over: nothing of it is waiting to print.
inline constexpr DWORD JOB_ENDED = JOB_STATUS_DELETING | JOB_STATUS_DELETED | JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE;

// Memory for the spooler's answers, from the process heap: the program does
// without the C++ library's containers, which would bring its runtime in.
class Buffer {
public:
    Buffer() = default;
    ~Buffer() { Resize(0); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    BYTE* Data() const { return data_; }
    void Swap(Buffer& other);
    DWORD Size() const { return size_; }
    // Room for bytes; what was there is not kept. False when none could be had.
    bool Resize(DWORD bytes);

private:
    BYTE* data_ = nullptr;
    DWORD size_ = 0;
};

// What became of watching a printer.
enum class Watch { Off, On, PrinterGone, NoNotifications, NoSpooler };

// Whose jobs take the box: this process's user, on this computer.
struct Whose {
    PrinterName user;     // without a domain
    PrinterName machine;  // \\ and the computer's name, as the spooler names a job's machine
};
bool ThisUserHere(Whose& me);
// A job is this user's on this computer: the machine named and this one, the
// owner this user whatever DOMAIN\ or COMPUTER\ comes before the name.
bool IsOwnJob(const wchar_t* owner, const wchar_t* machine, const Whose& me);
// A printer of this PC (not a connection to another computer's), by what
// EnumPrinters says of it: a connection is named \\server\printer.
bool IsOwnPrinter(const PRINTER_INFO_4W& printer);
bool SameName(const wchar_t* a, const wchar_t* b);

// The jobs seen so far. A job is new once: when first told of with its owner.
// A queue longer than the ledger forgets its oldest jobs first.
class JobLedger {
public:
    static constexpr DWORD CAPACITY = 512;

    // One job as the spooler told of it; owner null when not told. True for a
    // new job of this user here that is still waiting; one that was queued
    // before the watch began (not fresh) is seen, never new.
    bool Note(DWORD id, const wchar_t* owner, const wchar_t* machine, DWORD status, const Whose& me, bool fresh = true);
    void Forget(DWORD id);
    void Clear() { count_ = 0; }

private:
    bool Knows(DWORD id) const;
    DWORD known_[CAPACITY] = {};
    DWORD count_ = 0;
};

// A notification's job entries: the new waiting jobs of the user in it.
int NewJobsInNotification(const PRINTER_NOTIFY_INFO& info, JobLedger& ledger, const Whose& me);
// EnumJobs' whole list in place of what the ledger knew: the new waiting jobs
// of the user in it, of those submitted since the watch began.
int NewJobsInList(const JOB_INFO_1W* jobs, DWORD count, JobLedger& ledger, const Whose& me, ULONGLONG since);

// EnumJobs (level 1) and EnumPrinters (level 4, this PC's) into a buffer of
// the size the spooler says it needs. False when the spooler refuses.
bool ListJobs(const Spooler& spooler, HANDLE printer, Buffer& buffer, DWORD& count);
bool ListPrinters(const Spooler& spooler, Buffer& buffer, DWORD& count);

// This process's user, as the spooler names a job's owner.
bool CurrentUser(PrinterName& user);
// Now, as a job's submission time compares with it (UTC, 100 ns).
ULONGLONG UtcNow();

class QueueWatcher {
public:
    QueueWatcher() = default;
    ~QueueWatcher() { Stop(); }
    QueueWatcher(const QueueWatcher&) = delete;
    QueueWatcher& operator=(const QueueWatcher&) = delete;

    // Forgets the jobs seen: those submitted before since (UtcNow) never count as new.
    void Begin(ULONGLONG since);
    // Watches the printer's queue; found: the new jobs of this user already
    // in it (the ledger is kept from a watch before, so a job queued while
    // the watch was down is new and one seen before is not).
    Watch Start(const Spooler* spooler, const wchar_t* printer, int* found = nullptr);
    void Stop();
    bool Running() const { return change_ != nullptr; }
    // Signalled when the queue changed; null while nothing is watched.
    HANDLE ChangeHandle() const { return change_; }
    // Once the handle is signalled: the new waiting jobs of this user since
    // the last call. A watch the spooler stops answering ends here.
    int TakeChanges();
    // The queue listed on the printer's handle: the new jobs in it, or -1
    // once the handle no longer answers (the spooler restarted): stopped.
    int Recheck();

private:
    int Refresh();

    const Spooler* spooler_ = nullptr;
    HANDLE printer_ = nullptr;
    HANDLE change_ = nullptr;
    Whose me_ = {};
    ULONGLONG since_ = 0;
    JobLedger ledger_;
    Buffer jobs_;
};

// Whether the spooler tells of the printer's jobs: a watch started and stopped.
Watch TryWatch(const Spooler* spooler, const wchar_t* printer);

}  // namespace printing
