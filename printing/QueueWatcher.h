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

// The fields the watch asks of each job: enough to tell whose it is and
// whether it is still waiting.
inline constexpr WORD JOB_FIELDS[] = {JOB_NOTIFY_FIELD_USER_NAME, JOB_NOTIFY_FIELD_STATUS};
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
    DWORD Size() const { return size_; }
    // Room for bytes; what was there is not kept. False when none could be had.
    bool Resize(DWORD bytes);

private:
    BYTE* data_ = nullptr;
    DWORD size_ = 0;
};

// What became of watching a printer.
enum class Watch { Off, On, PrinterGone, NoNotifications, NoSpooler };

// The jobs seen so far. A job is new once: when first told of with its owner.
// A queue longer than the ledger forgets its oldest jobs first.
class JobLedger {
public:
    static constexpr DWORD CAPACITY = 512;

    // One job as the spooler told of it; owner null when not told. True for a
    // new job of the user that is still waiting.
    bool Note(DWORD id, const wchar_t* owner, DWORD status, const wchar_t* user);
    void Forget(DWORD id);
    void Clear() { count_ = 0; }

private:
    bool Knows(DWORD id) const;
    DWORD known_[CAPACITY] = {};
    DWORD count_ = 0;
};

// A notification's job entries: the new waiting jobs of the user in it.
int NewJobsInNotification(const PRINTER_NOTIFY_INFO& info, JobLedger& ledger, const wchar_t* user);
// EnumJobs' whole list in place of what the ledger knew: the new waiting jobs
// of the user in it.
int NewJobsInList(const JOB_INFO_1W* jobs, DWORD count, JobLedger& ledger, const wchar_t* user);

// EnumJobs (level 1) and EnumPrinters (level 4, this PC's and its
// connections) into a buffer of the size the spooler says it needs. False
// when the spooler refuses.
bool ListJobs(const Spooler& spooler, HANDLE printer, Buffer& buffer, DWORD& count);
bool ListPrinters(const Spooler& spooler, Buffer& buffer, DWORD& count);

// This process's user, as the spooler names a job's owner.
bool CurrentUser(PrinterName& user);

class QueueWatcher {
public:
    QueueWatcher() = default;
    ~QueueWatcher() { Stop(); }
    QueueWatcher(const QueueWatcher&) = delete;
    QueueWatcher& operator=(const QueueWatcher&) = delete;

    // Watches the printer's queue from now: the jobs in it already count as seen.
    Watch Start(const Spooler* spooler, const wchar_t* printer);
    void Stop();
    // Signalled when the queue changed; null while nothing is watched.
    HANDLE ChangeHandle() const { return change_; }
    // Once the handle is signalled: the new waiting jobs of this user since
    // the last call. A watch the spooler stops answering ends here.
    int TakeChanges();

private:
    int Refresh();

    const Spooler* spooler_ = nullptr;
    HANDLE printer_ = nullptr;
    HANDLE change_ = nullptr;
    PrinterName user_ = {};
    JobLedger ledger_;
    Buffer jobs_;
};

// Whether the spooler tells of the printer's jobs: a watch started and stopped.
Watch TryWatch(const Spooler* spooler, const wchar_t* printer);

}  // namespace printing
