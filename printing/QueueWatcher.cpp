#include "printing/QueueWatcher.h"

#include <lmcons.h>

namespace printing {

namespace {

// Calls an Enum* function until the buffer holds the whole answer: the list
// may grow between the call that sizes it and the one that fills it.
template <typename Call>
bool Sized(Buffer& buffer, DWORD& count, Call call) {
    constexpr int ATTEMPTS = 4;
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        DWORD needed = 0;
        count = 0;
        if (call(buffer.Data(), buffer.Size(), &needed, &count)) return true;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.Size() || !buffer.Resize(needed))
            return false;
    }
    return false;
}

PRINTER_NOTIFY_OPTIONS_TYPE JobFields() {
    return {JOB_NOTIFY_TYPE, 0, 0, 0, sizeof JOB_FIELDS / sizeof JOB_FIELDS[0], const_cast<WORD*>(JOB_FIELDS)};
}

// A name after its last backslash: DOMAIN\user and COMPUTER\user are user.
const wchar_t* WithoutPrefix(const wchar_t* name) {
    const wchar_t* after = name;
    for (const wchar_t* c = name; *c; ++c)
        if (*c == L'\\') after = c + 1;
    return after;
}

// A job's submission time as UtcNow counts; 0 when the spooler gave none.
ULONGLONG Submitted(const SYSTEMTIME& when) {
    FILETIME file;
    if (!when.wYear || !SystemTimeToFileTime(&when, &file)) return 0;
    return (ULONGLONG(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

}  // namespace

bool SameName(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

bool ThisUserHere(Whose& me) {
    if (!CurrentUser(me.user)) return false;
    DWORD chars = NAME_CHARS - 2;
    me.machine[0] = me.machine[1] = L'\\';
    return GetComputerNameW(me.machine + 2, &chars) != FALSE;
}

bool IsOwnJob(const wchar_t* owner, const wchar_t* machine, const Whose& me) {
    return owner && machine && SameName(machine, me.machine) && SameName(WithoutPrefix(owner), me.user);
}

bool IsOwnPrinter(const PRINTER_INFO_4W& printer) {
    const wchar_t* name = printer.pPrinterName;
    return name && *name && !(name[0] == L'\\' && name[1] == L'\\') &&
           !(printer.Attributes & PRINTER_ATTRIBUTE_NETWORK) && !(printer.pServerName && *printer.pServerName);
}

// In whole milliseconds, as the spooler stamps a job: one submitted in the
// same millisecond as the watch began is not taken for older.
ULONGLONG UtcNow() {
    constexpr ULONGLONG UNITS_PER_MS = 10000;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG units = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return units - units % UNITS_PER_MS;
}

void Buffer::Swap(Buffer& other) {
    BYTE* data = data_;
    const DWORD size = size_;
    data_ = other.data_, size_ = other.size_;
    other.data_ = data, other.size_ = size;
}

bool Buffer::Resize(DWORD bytes) {
    if (data_) HeapFree(GetProcessHeap(), 0, data_);
    data_ = bytes ? static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, bytes)) : nullptr;
    size_ = data_ ? bytes : 0;
    return data_ || !bytes;
}

bool JobLedger::Knows(DWORD id) const {
    for (DWORD i = 0; i < count_; ++i)
        if (known_[i] == id) return true;
    return false;
}

bool JobLedger::Note(DWORD id, const wchar_t* owner, const wchar_t* machine, DWORD status, const Whose& me,
                     bool fresh) {
    if (status & JOB_STATUS_DELETED) {
        Forget(id);  // its id may come back for another job
        return false;
    }
    if (!owner || Knows(id)) return false;
    if (count_ == CAPACITY) Forget(known_[0]);
    known_[count_++] = id;
    return fresh && !(status & JOB_ENDED) && IsOwnJob(owner, machine, me);
}

void JobLedger::Forget(DWORD id) {
    DWORD kept = 0;
    for (DWORD i = 0; i < count_; ++i)
        if (known_[i] != id) known_[kept++] = known_[i];
    count_ = kept;
}

// The entries of one job may come in any order and mixed with others': each
// job is noted once, with all the notification says of it.
int NewJobsInNotification(const PRINTER_NOTIFY_INFO& info, JobLedger& ledger, const Whose& me) {
    int found = 0;
    for (DWORD i = 0; i < info.Count; ++i) {
        const PRINTER_NOTIFY_INFO_DATA& first = info.aData[i];
        if (first.Type != JOB_NOTIFY_TYPE) continue;
        bool seenBefore = false;
        for (DWORD j = 0; j < i && !seenBefore; ++j)
            seenBefore = info.aData[j].Type == JOB_NOTIFY_TYPE && info.aData[j].Id == first.Id;
        if (seenBefore) continue;
        const wchar_t *owner = nullptr, *machine = nullptr;
        DWORD status = 0;
        for (DWORD j = i; j < info.Count; ++j) {
            const PRINTER_NOTIFY_INFO_DATA& entry = info.aData[j];
            if (entry.Type != JOB_NOTIFY_TYPE || entry.Id != first.Id) continue;
            if (entry.Field == JOB_NOTIFY_FIELD_USER_NAME && entry.NotifyData.Data.pBuf)
                owner = static_cast<const wchar_t*>(entry.NotifyData.Data.pBuf);
            if (entry.Field == JOB_NOTIFY_FIELD_MACHINE_NAME && entry.NotifyData.Data.pBuf)
                machine = static_cast<const wchar_t*>(entry.NotifyData.Data.pBuf);
            if (entry.Field == JOB_NOTIFY_FIELD_STATUS) status = entry.NotifyData.adwData[0];
        }
        found += ledger.Note(first.Id, owner, machine, status, me);
    }
    return found;
}

// A job gone from the list is forgotten; one the ledger knew is not new.
int NewJobsInList(const JOB_INFO_1W* jobs, DWORD count, JobLedger& ledger, const Whose& me, ULONGLONG since) {
    JobLedger listed;
    int found = 0;
    for (DWORD i = 0; i < count; ++i) {
        const JOB_INFO_1W& job = jobs[i];
        const bool fresh = Submitted(job.Submitted) >= since;
        found += ledger.Note(job.JobId, job.pUserName, job.pMachineName, job.Status, me, fresh);
        listed.Note(job.JobId, job.pUserName, job.pMachineName, job.Status, me);
    }
    ledger = listed;
    return found;
}

bool ListJobs(const Spooler& spooler, HANDLE printer, Buffer& buffer, DWORD& count) {
    constexpr DWORD ALL_JOBS = 0xFFFFFFFF;
    return Sized(buffer, count, [&](BYTE* data, DWORD bytes, DWORD* needed, DWORD* returned) {
        return spooler.enumJobs(printer, 0, ALL_JOBS, 1, data, bytes, needed, returned);
    });
}

bool ListPrinters(const Spooler& spooler, Buffer& buffer, DWORD& count) {
    return Sized(buffer, count, [&](BYTE* data, DWORD bytes, DWORD* needed, DWORD* returned) {
        return spooler.enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 4, data, bytes, needed, returned);
    });
}

bool CurrentUser(PrinterName& user) {
    static_assert(NAME_CHARS > UNLEN);
    DWORD chars = NAME_CHARS;
    return GetUserNameW(user, &chars) != FALSE;
}

void QueueWatcher::Begin(ULONGLONG since) {
    Stop();
    ledger_.Clear();
    since_ = since;
}

Watch QueueWatcher::Start(const Spooler* spooler, const wchar_t* printer, int* found) {
    Stop();
    if (!spooler) return Watch::NoSpooler;
    if (!printer || !*printer) return Watch::Off;
    if (!ThisUserHere(me_)) return Watch::NoSpooler;
    spooler_ = spooler;
    // Reading the queue is all it asks: the right every user has.
    PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ACCESS_USE};
    PrinterName name;
    lstrcpynW(name, printer, NAME_CHARS);
    if (!spooler_->openPrinter(name, &printer_, &access)) {
        printer_ = nullptr;
        return Watch::PrinterGone;
    }
    PRINTER_NOTIFY_OPTIONS_TYPE type = JobFields();
    PRINTER_NOTIFY_OPTIONS options = {2, 0, 1, &type};
    HANDLE change = spooler_->findFirstChange(printer_, PRINTER_CHANGE_ADD_JOB, 0, &options);
    if (change == INVALID_HANDLE_VALUE || !change) {
        Stop();
        return Watch::NoNotifications;
    }
    change_ = change;
    // Listed after the notifications began: a job that came in between is
    // in the list, and new there, as one told later would be.
    const int listed = Refresh();
    if (found) *found = listed;
    return Watch::On;
}

// A handle from before a restart of the spooler may be refused: let go of all the same.
void QueueWatcher::Stop() {
    if (change_) spooler_->findCloseChange(change_);
    if (printer_) spooler_->closePrinter(printer_);
    change_ = printer_ = nullptr;
}

int QueueWatcher::Refresh() {
    DWORD count = 0;
    if (!ListJobs(*spooler_, printer_, jobs_, count)) return 0;
    return NewJobsInList(reinterpret_cast<const JOB_INFO_1W*>(jobs_.Data()), count, ledger_, me_, since_);
}

int QueueWatcher::Recheck() {
    if (!printer_) return -1;
    DWORD count = 0;
    if (!ListJobs(*spooler_, printer_, jobs_, count)) {
        Stop();
        return -1;
    }
    return NewJobsInList(reinterpret_cast<const JOB_INFO_1W*>(jobs_.Data()), count, ledger_, me_, since_);
}

int QueueWatcher::TakeChanges() {
    if (!change_) return 0;
    DWORD what = 0;
    void* data = nullptr;
    // Also what resets the handle: a watch that cannot be reset would wake
    // the program without end, so it ends.
    if (!spooler_->findNextChange(change_, &what, nullptr, &data)) {
        Stop();
        return 0;
    }
    auto* info = static_cast<PRINTER_NOTIFY_INFO*>(data);
    if (!info) return Refresh();
    const bool discarded = info->Flags & PRINTER_NOTIFY_INFO_DISCARDED;
    const int found = discarded ? 0 : NewJobsInNotification(*info, ledger_, me_);
    spooler_->freeNotifyInfo(info);
    if (!discarded) return found;
    // Too much changed for the spooler to tell, and it tells nothing more
    // until asked for a refresh: asked for, then the queue as it is now.
    PRINTER_NOTIFY_OPTIONS_TYPE type = JobFields();
    PRINTER_NOTIFY_OPTIONS refresh = {2, PRINTER_NOTIFY_OPTIONS_REFRESH, 1, &type};
    data = nullptr;
    if (!spooler_->findNextChange(change_, &what, &refresh, &data)) {
        Stop();
        return 0;
    }
    if (data) spooler_->freeNotifyInfo(static_cast<PRINTER_NOTIFY_INFO*>(data));
    return Refresh();
}

// Without a printer to ask about, the print server is asked for the changes
// of its printers, which every spooler with notifications gives for it.
Watch TryWatch(const Spooler* spooler, const wchar_t* printer) {
    if (printer && *printer) {
        QueueWatcher watcher;
        watcher.Begin(UtcNow());
        return watcher.Start(spooler, printer);
    }
    if (!spooler) return Watch::NoSpooler;
    PRINTER_DEFAULTSW access = {nullptr, nullptr, SERVER_ACCESS_ENUMERATE};
    HANDLE server = nullptr;
    if (!spooler->openPrinter(nullptr, &server, &access)) return Watch::NoSpooler;
    HANDLE change = spooler->findFirstChange(server, PRINTER_CHANGE_PRINTER, 0, nullptr);
    const bool told = change && change != INVALID_HANDLE_VALUE;
    if (told) spooler->findCloseChange(change);
    spooler->closePrinter(server);
    return told ? Watch::Off : Watch::NoNotifications;
}

}  // namespace printing
