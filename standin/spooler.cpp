#include "standin/spooler.h"

#include <cstdlib>
#include <cstring>

namespace standin {

SpoolerModel spooler;

namespace {

// Printer handles are 1 + the printer's index; the print server's is this.
const HANDLE SERVER = reinterpret_cast<HANDLE>(0x7FFF);

SpoolerModel& M() {
    ++spooler.calls;
    return spooler;
}

BOOL WINAPI OpenPrinter(LPWSTR name, HANDLE* printer, PRINTER_DEFAULTSW* defaults) {
    SpoolerModel& m = M();
    const DWORD access = defaults ? defaults->DesiredAccess : PRINTER_ACCESS_USE;
    m.accessAsked.push_back(access);
    // A standard user may use a printer, never administer it or its jobs.
    if (access & (PRINTER_ACCESS_ADMINISTER | JOB_ACCESS_ADMINISTER | WRITE_DAC | WRITE_OWNER | DELETE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!name) return *printer = SERVER, TRUE;
    for (size_t i = 0; i < m.printers.size(); ++i)
        if (m.printers[i] == name) return *printer = reinterpret_cast<HANDLE>(i + 1), TRUE;
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
}

BOOL WINAPI ClosePrinter(HANDLE) { return M(), TRUE; }

// Fills a level's records and their strings after them, or says how much it needs.
template <typename Record, typename Fill>
BOOL Answer(size_t count, size_t string_chars, BYTE* buffer, DWORD bytes, DWORD* needed, DWORD* returned, Fill fill) {
    *needed = static_cast<DWORD>(count * sizeof(Record) + string_chars * sizeof(wchar_t));
    *returned = 0;
    if (bytes < *needed) {
        if (!count) return TRUE;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* records = reinterpret_cast<Record*>(buffer);
    auto* strings = reinterpret_cast<wchar_t*>(records + count);
    auto copy = [&](const std::wstring& text) {
        wchar_t* at = strings;
        std::memcpy(at, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        strings += text.size() + 1;
        return at;
    };
    for (size_t i = 0; i < count; ++i) fill(records[i], i, copy);
    *returned = static_cast<DWORD>(count);
    return TRUE;
}

BOOL WINAPI EnumPrinters(DWORD, LPWSTR, DWORD level, BYTE* buffer, DWORD bytes, DWORD* needed, DWORD* returned) {
    SpoolerModel& m = M();
    if (level != 4) return SetLastError(ERROR_INVALID_LEVEL), FALSE;
    size_t chars = 0;
    for (const auto& name : m.printers) chars += name.size() + 1;
    return Answer<PRINTER_INFO_4W>(m.printers.size(), chars, buffer, bytes, needed, returned,
                                   [&](PRINTER_INFO_4W& r, size_t i, auto copy) {
                                       r = {copy(m.printers[i]), nullptr, PRINTER_ATTRIBUTE_LOCAL};
                                   });
}

BOOL WINAPI EnumJobs(HANDLE printer, DWORD, DWORD, DWORD level, BYTE* buffer, DWORD bytes, DWORD* needed,
                     DWORD* returned) {
    SpoolerModel& m = M();
    if (level != 1 || printer == SERVER) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    std::vector<const SpoolerModel::Job*> queue;
    size_t chars = 0;
    for (const auto& job : m.jobs)
        if (job.printer == m.printers[reinterpret_cast<size_t>(printer) - 1])
            queue.push_back(&job), chars += job.user.size() + 1;
    return Answer<JOB_INFO_1W>(queue.size(), chars, buffer, bytes, needed, returned,
                               [&](JOB_INFO_1W& r, size_t i, auto copy) {
                                   r = {};
                                   r.JobId = queue[i]->id;
                                   r.pUserName = copy(queue[i]->user);
                               });
}

HANDLE WINAPI FindFirst(HANDLE printer, DWORD, DWORD, void*) {
    SpoolerModel& m = M();
    if (!m.notifications) return INVALID_HANDLE_VALUE;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m.changes.push_back({reinterpret_cast<size_t>(printer) - 1, event, {}, false, false});
    return event;
}

SpoolerModel::Change* ChangeOf(HANDLE event) {
    for (auto& change : spooler.changes)
        if (change.event == event) return &change;
    return nullptr;
}

// One block, as the spooler's own: the header, the entries, then the names.
// A refresh answers with every job of the queue, and lets the watch be told again.
BOOL WINAPI FindNext(HANDLE event, DWORD* what, void* options, void** info) {
    SpoolerModel& m = M();
    SpoolerModel::Change* change = ChangeOf(event);
    if (!change) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    ResetEvent(event);
    if (options && (static_cast<PRINTER_NOTIFY_OPTIONS*>(options)->Flags & PRINTER_NOTIFY_OPTIONS_REFRESH)) {
        change->silenced = false;
        change->pending.clear();
        for (const auto& job : m.jobs)
            if (job.printer == m.printers[change->printer]) change->pending.push_back({job.id, job.user, 0});
    }
    const size_t entries = change->discarded ? 0 : change->pending.size() * 2;
    const size_t header = sizeof(PRINTER_NOTIFY_INFO) + entries * sizeof(PRINTER_NOTIFY_INFO_DATA);
    auto* block = static_cast<BYTE*>(std::calloc(1, header + entries * 64 * sizeof(wchar_t)));
    auto* notify = reinterpret_cast<PRINTER_NOTIFY_INFO*>(block);
    notify->Version = 2;
    notify->Flags = change->discarded ? PRINTER_NOTIFY_INFO_DISCARDED : 0;
    notify->Count = static_cast<DWORD>(entries);
    auto* names = reinterpret_cast<wchar_t*>(block + header);
    for (size_t i = 0; i < entries / 2; ++i) {
        const SpoolerModel::Entry& e = change->pending[i];
        PRINTER_NOTIFY_INFO_DATA& user = notify->aData[2 * i];
        PRINTER_NOTIFY_INFO_DATA& status = notify->aData[2 * i + 1];
        user = {JOB_NOTIFY_TYPE, JOB_NOTIFY_FIELD_USER_NAME, 0, e.id, {}};
        lstrcpynW(names + 64 * i, e.user.c_str(), 64);
        user.NotifyData.Data = {static_cast<DWORD>((e.user.size() + 1) * sizeof(wchar_t)), names + 64 * i};
        status = {JOB_NOTIFY_TYPE, JOB_NOTIFY_FIELD_STATUS, 0, e.id, {}};
        status.NotifyData.adwData[0] = e.status;
    }
    change->pending.clear();
    change->silenced = change->discarded;
    change->discarded = false;
    *what = PRINTER_CHANGE_ADD_JOB;
    *info = notify;
    return TRUE;
}

BOOL WINAPI FreeInfo(PRINTER_NOTIFY_INFO* info) { return M(), std::free(info), TRUE; }

BOOL WINAPI FindClose(HANDLE event) {
    SpoolerModel& m = M();
    for (size_t i = 0; i < m.changes.size(); ++i)
        if (m.changes[i].event == event) m.changes.erase(m.changes.begin() + static_cast<long>(i));
    return CloseHandle(event);
}

void Tell(const std::wstring& printer, const SpoolerModel::Entry& entry) {
    for (auto& change : spooler.changes) {
        if (change.silenced || change.printer >= spooler.printers.size() || spooler.printers[change.printer] != printer)
            continue;
        change.pending.push_back(entry);
        SetEvent(change.event);
    }
}

}  // namespace

const printing::Spooler* SpoolerModel::Table() {
    static const printing::Spooler table = {OpenPrinter, ClosePrinter, EnumPrinters, EnumJobs,
                                            FindFirst,   FindNext,     FreeInfo,     FindClose};
    return &table;
}

void SpoolerModel::Reset(std::vector<std::wstring> names) {
    printers = std::move(names);
    jobs.clear();
    notifications = true;
    calls = 0;
    accessAsked.clear();
}

DWORD SpoolerModel::AddJob(const std::wstring& printer, const std::wstring& user) {
    jobs.push_back({printer, user, nextId});
    Tell(printer, {nextId, user, 0});
    return nextId++;
}

void SpoolerModel::EndJob(DWORD id) {
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (jobs[i].id != id) continue;
        Tell(jobs[i].printer, {id, jobs[i].user, JOB_STATUS_DELETED});
        jobs.erase(jobs.begin() + static_cast<long>(i));
        return;
    }
}

void SpoolerModel::Discard() {
    for (auto& change : changes) {
        change.pending.clear();
        change.discarded = true;
        SetEvent(change.event);
    }
}

}  // namespace standin
