#include "standin/spooler.h"

#include <cstdlib>
#include <cstring>

namespace standin {

SpoolerModel spooler;

namespace {

// A handle is its epoch and 1 + the printer's index; the print server's index is this.
constexpr size_t SERVER = 0xFFE;

CRITICAL_SECTION* Section() {
    static CRITICAL_SECTION section;
    static const bool made = (InitializeCriticalSection(&section), true);
    (void)made;
    return &section;
}

class Lock {
public:
    Lock() { EnterCriticalSection(Section()); }
    ~Lock() { LeaveCriticalSection(Section()); }
};

bool Same(const std::wstring& a, const wchar_t* b) {
    return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

HANDLE MakeHandle(size_t index) { return reinterpret_cast<HANDLE>(spooler.epoch * 0x1000 + index + 1); }

// The printer's index for a handle of this epoch; false (and the error set) otherwise.
bool Index(HANDLE handle, size_t& index) {
    const size_t value = reinterpret_cast<size_t>(handle);
    if (!handle || value / 0x1000 != spooler.epoch) return SetLastError(ERROR_INVALID_HANDLE), false;
    index = value % 0x1000 - 1;
    return true;
}

// Counted, and refused while the spooler is down.
bool Call() {
    ++spooler.calls;
    if (!spooler.up) SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return spooler.up;
}

BOOL WINAPI OpenPrinter(LPWSTR name, HANDLE* printer, PRINTER_DEFAULTSW* defaults) {
    // A slow driver, a hung print provider: seconds, then it answers.
    constexpr DWORD LONGEST_HOLD_MS = 10000;
    InterlockedIncrement(&spooler.opensHeld);
    WaitForSingleObject(spooler.openGate, LONGEST_HOLD_MS);
    InterlockedDecrement(&spooler.opensHeld);
    InterlockedIncrement(&spooler.opensDone);
    Lock lock;
    if (!Call()) return FALSE;
    const DWORD access = defaults ? defaults->DesiredAccess : PRINTER_ACCESS_USE;
    spooler.accessAsked.push_back(access);
    // A standard user may use a printer, never administer it or its jobs.
    if (access & (PRINTER_ACCESS_ADMINISTER | JOB_ACCESS_ADMINISTER | WRITE_DAC | WRITE_OWNER | DELETE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!name) return *printer = MakeHandle(SERVER), TRUE;
    for (size_t i = 0; i < spooler.printers.size(); ++i)
        if (Same(spooler.printers[i].name, name)) return *printer = MakeHandle(i), TRUE;
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
}

BOOL WINAPI ClosePrinter(HANDLE printer) {
    Lock lock;
    size_t index = 0;
    return Call() && Index(printer, index);
}

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

// Connections among this PC's printers too, as level 4 may list them: the
// caller tells them apart by their attributes and names.
BOOL WINAPI EnumPrinters(DWORD, LPWSTR, DWORD level, BYTE* buffer, DWORD bytes, DWORD* needed, DWORD* returned) {
    Lock lock;
    if (!Call()) return FALSE;
    if (level != 4) return SetLastError(ERROR_INVALID_LEVEL), FALSE;
    size_t chars = 0;
    for (const auto& printer : spooler.printers) chars += printer.name.size() + 1;
    return Answer<PRINTER_INFO_4W>(spooler.printers.size(), chars, buffer, bytes, needed, returned,
                                   [&](PRINTER_INFO_4W& r, size_t i, auto copy) {
                                       r = {copy(spooler.printers[i].name), nullptr, spooler.printers[i].attributes};
                                   });
}

BOOL WINAPI EnumJobs(HANDLE printer, DWORD, DWORD, DWORD level, BYTE* buffer, DWORD bytes, DWORD* needed,
                     DWORD* returned) {
    Lock lock;
    size_t index = 0;
    if (!Call() || !Index(printer, index)) return FALSE;
    if (level != 1 || index == SERVER) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    std::vector<const SpoolerModel::Job*> queue;
    size_t chars = 0;
    for (const auto& job : spooler.jobs)
        if (Same(spooler.printers[index].name, job.printer.c_str()))
            queue.push_back(&job), chars += job.user.size() + job.machine.size() + 2;
    return Answer<JOB_INFO_1W>(queue.size(), chars, buffer, bytes, needed, returned,
                               [&](JOB_INFO_1W& r, size_t i, auto copy) {
                                   r = {};
                                   r.JobId = queue[i]->id;
                                   r.pUserName = copy(queue[i]->user);
                                   r.pMachineName = copy(queue[i]->machine);
                                   r.Submitted = queue[i]->submitted;
                               });
}

HANDLE WINAPI FindFirst(HANDLE printer, DWORD, DWORD, void* options) {
    std::function<void()> then;
    HANDLE event = INVALID_HANDLE_VALUE;
    {
        Lock lock;
        size_t index = 0;
        if (!Call() || !Index(printer, index)) return INVALID_HANDLE_VALUE;
        if (!spooler.notifications) return INVALID_HANDLE_VALUE;
        std::vector<WORD> fields;
        if (const auto* asked = static_cast<PRINTER_NOTIFY_OPTIONS*>(options))
            for (DWORD t = 0; t < asked->Count; ++t)
                if (asked->pTypes[t].Type == JOB_NOTIFY_TYPE)
                    fields.assign(asked->pTypes[t].pFields, asked->pTypes[t].pFields + asked->pTypes[t].Count);
        event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        spooler.changes.push_back({index, spooler.epoch, event, fields, {}, false, false});
        then.swap(spooler.onWatch);
    }
    if (then) then();
    return event;
}

SpoolerModel::Change* ChangeOf(HANDLE event) {
    for (auto& change : spooler.changes)
        if (change.event == event) return &change;
    return nullptr;
}

bool Asked(const SpoolerModel::Change& change, WORD field) {
    for (WORD f : change.fields)
        if (f == field) return true;
    return false;
}

// One block, as the spooler's own: the header, the entries, then the names,
// only the fields asked for. A refresh answers with every job of the queue,
// and lets the watch be told again.
BOOL WINAPI FindNext(HANDLE event, DWORD* what, void* options, void** info) {
    Lock lock;
    if (!Call()) return FALSE;
    SpoolerModel::Change* change = ChangeOf(event);
    if (!change || change->epoch != spooler.epoch) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    if (spooler.failFindNext > 0) return --spooler.failFindNext, SetLastError(ERROR_NOT_ENOUGH_MEMORY), FALSE;
    ResetEvent(event);
    const bool refresh = options && change->printer < spooler.printers.size() &&
                         (static_cast<PRINTER_NOTIFY_OPTIONS*>(options)->Flags & PRINTER_NOTIFY_OPTIONS_REFRESH);
    if (refresh) {
        change->silenced = false;
        change->pending.clear();
        for (const auto& job : spooler.jobs)
            if (Same(spooler.printers[change->printer].name, job.printer.c_str()))
                change->pending.push_back({job.id, true, job.user, job.machine, 0});
    }
    struct Field {
        const SpoolerModel::Entry* entry;
        WORD field;
    };
    std::vector<Field> told;
    if (change->discarded) change->pending.clear();
    for (const auto& entry : change->pending) {
        for (WORD field : {WORD(JOB_NOTIFY_FIELD_USER_NAME), WORD(JOB_NOTIFY_FIELD_MACHINE_NAME)})
            if (entry.whole && Asked(*change, field)) told.push_back({&entry, field});
        if (Asked(*change, JOB_NOTIFY_FIELD_STATUS)) told.push_back({&entry, WORD(JOB_NOTIFY_FIELD_STATUS)});
    }
    constexpr size_t NAME_CHARS = 64;
    const size_t header = sizeof(PRINTER_NOTIFY_INFO) + told.size() * sizeof(PRINTER_NOTIFY_INFO_DATA);
    auto* block = static_cast<BYTE*>(std::calloc(1, header + told.size() * NAME_CHARS * sizeof(wchar_t)));
    auto* notify = reinterpret_cast<PRINTER_NOTIFY_INFO*>(block);
    notify->Version = 2;
    notify->Flags = change->discarded ? PRINTER_NOTIFY_INFO_DISCARDED : 0;
    notify->Count = static_cast<DWORD>(told.size());
    auto* names = reinterpret_cast<wchar_t*>(block + header);
    for (size_t i = 0; i < told.size(); ++i) {
        const SpoolerModel::Entry& e = *told[i].entry;
        PRINTER_NOTIFY_INFO_DATA& data = notify->aData[i];
        data = {JOB_NOTIFY_TYPE, told[i].field, 0, e.id, {}};
        if (told[i].field == JOB_NOTIFY_FIELD_STATUS) {
            data.NotifyData.adwData[0] = e.status;
            continue;
        }
        const std::wstring& text = told[i].field == JOB_NOTIFY_FIELD_USER_NAME ? e.user : e.machine;
        lstrcpynW(names + NAME_CHARS * i, text.c_str(), NAME_CHARS);
        data.NotifyData.Data = {static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), names + NAME_CHARS * i};
    }
    change->pending.clear();
    change->silenced = change->discarded;
    change->discarded = false;
    *what = PRINTER_CHANGE_ADD_JOB;
    *info = notify;
    return TRUE;
}

BOOL WINAPI FreeInfo(PRINTER_NOTIFY_INFO* info) {
    Lock lock;
    ++spooler.calls;
    return std::free(info), TRUE;
}

// Let go of whatever the spooler's state: the event is this process's own.
BOOL WINAPI FindClose(HANDLE event) {
    Lock lock;
    ++spooler.calls;
    for (size_t i = 0; i < spooler.changes.size(); ++i)
        if (spooler.changes[i].event == event) spooler.changes.erase(spooler.changes.begin() + static_cast<long>(i));
    return CloseHandle(event);
}

// To every live watch of the printer; a restarted spooler never signals the old ones.
void Tell(const std::wstring& printer, const SpoolerModel::Entry& entry) {
    for (auto& change : spooler.changes) {
        if (change.silenced || change.epoch != spooler.epoch || change.printer >= spooler.printers.size() ||
            !Same(spooler.printers[change.printer].name, printer.c_str()))
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

std::wstring SpoolerModel::ThisMachine() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD chars = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &chars);
    return L"\\\\" + std::wstring(name);
}

void SpoolerModel::Reset(std::vector<std::wstring> names) {
    Lock lock;
    printers.clear();
    for (auto& name : names) {
        const bool connection = name.compare(0, 2, L"\\\\") == 0;
        printers.push_back({name, connection ? DWORD(PRINTER_ATTRIBUTE_NETWORK) : DWORD(PRINTER_ATTRIBUTE_LOCAL)});
    }
    jobs.clear();
    notifications = up = true;
    failFindNext = 0;
    onWatch = nullptr;
    calls = 0;
    accessAsked.clear();
    opensDone = 0;
    if (!openGate) openGate = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    SetEvent(openGate);
}

DWORD SpoolerModel::AddJob(const std::wstring& printer, const std::wstring& user, const std::wstring& machine) {
    Lock lock;
    SYSTEMTIME now;
    GetSystemTime(&now);
    jobs.push_back({printer, user, machine, nextId, now});
    Tell(printer, {nextId, true, user, machine, 0});
    return nextId++;
}

void SpoolerModel::SetStatus(DWORD id, DWORD status) {
    Lock lock;
    for (const auto& job : jobs)
        if (job.id == id) Tell(job.printer, {id, false, {}, {}, status});
}

void SpoolerModel::EndJob(DWORD id) {
    Lock lock;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (jobs[i].id != id) continue;
        Tell(jobs[i].printer, {id, false, {}, {}, JOB_STATUS_DELETED});
        jobs.erase(jobs.begin() + static_cast<long>(i));
        return;
    }
}

void SpoolerModel::Discard() {
    Lock lock;
    for (auto& change : changes) {
        change.pending.clear();
        change.discarded = true;
        SetEvent(change.event);
    }
}

void SpoolerModel::SetUp(bool running) {
    With([&] { up = running; });
}

void SpoolerModel::Restart() {
    With([&] { ++epoch; });
}

void SpoolerModel::HoldOpens(bool hold) { hold ? ResetEvent(openGate) : SetEvent(openGate); }

void SpoolerModel::SetAttributes(const std::wstring& printer, DWORD attributes) {
    With([&] {
        for (auto& p : printers)
            if (Same(p.name, printer.c_str())) p.attributes = attributes;
    });
}

void SpoolerModel::With(const std::function<void()>& change) {
    Lock lock;
    change();
}

}  // namespace standin
