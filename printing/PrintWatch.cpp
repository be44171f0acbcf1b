#include "printing/PrintWatch.h"

#include <new>
#include <utility>

#include "common/Scoped.h"

namespace printing {

namespace {

// How long closing the program waits for a worker held in a spooler's call.
constexpr DWORD STOP_WAIT_MS = 1000;

// Where the chosen printer stands in this PC's list; offline when it is set
// to "Use Printer Offline", which keeps its jobs queued whatever is plugged in.
Health Locate(const Spooler& spooler, const wchar_t* printer, Buffer& buffer, bool& offline) {
    offline = false;
    DWORD count = 0;
    if (!ListPrinters(spooler, buffer, count)) return Health::Retrying;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.Data());
    for (DWORD i = 0; i < count; ++i) {
        if (!printers[i].pPrinterName || !SameName(printers[i].pPrinterName, printer)) continue;
        if (!IsOwnPrinter(printers[i])) return Health::Connection;
        offline = printers[i].Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE;
        return Health::On;
    }
    return printer[0] == L'\\' && printer[1] == L'\\' ? Health::Connection : Health::PrinterGone;
}

// Names one after another, a NUL after each.
bool OwnPrinterNames(const PRINTER_INFO_4W* printers, DWORD count, Buffer& names) {
    DWORD chars = 1;
    for (DWORD i = 0; i < count; ++i)
        if (IsOwnPrinter(printers[i])) chars += lstrlenW(printers[i].pPrinterName) + 1;
    if (!names.Resize(chars * sizeof(wchar_t))) return false;
    auto* at = reinterpret_cast<wchar_t*>(names.Data());
    for (DWORD i = 0; i < count; ++i) {
        if (!IsOwnPrinter(printers[i])) continue;
        lstrcpyW(at, printers[i].pPrinterName);
        at += lstrlenW(at) + 1;
    }
    *at = L'\0';
    return true;
}

}  // namespace

// Held by the window and the worker; the last to let go frees it, so that a
// worker held in a hung call outlives the window safely.
struct PrintWatch::Shared {
    LONG refs = 2;
    CRITICAL_SECTION lock;
    HWND window;
    UINT message;
    common::ScopedHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    common::ScopedHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    // Asked by the window, under the lock.
    PrinterName printer = {};
    bool chosen = true;
    bool listAsked = false;
    // Told by the worker, under the lock.
    Buffer names;
    Watch listWatch = Watch::Off;
    bool listed = false;

    Shared(HWND w, UINT m) : window(w), message(m) { InitializeCriticalSection(&lock); }
    ~Shared() { DeleteCriticalSection(&lock); }
    void Release() {
        if (InterlockedDecrement(&refs)) return;
        this->~Shared();
        HeapFree(GetProcessHeap(), 0, this);
    }
};

namespace {

class Lock {
public:
    explicit Lock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
    ~Lock() { LeaveCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

}  // namespace

// The worker's own state: only its thread touches it.
class Worker {
public:
    explicit Worker(PrintWatch::Shared& shared) : shared_(shared) {}
    void Run();

private:
    void Post(PrintEvent event, LPARAM value);
    void Tell(Health health);
    void Attempt();
    void Found(int jobs);
    void TakeAsked();
    void List();
    ULONGLONG RetryMs() const { return PrintWatch::retryMs; }

    PrintWatch::Shared& shared_;
    const Spooler* spooler_ = nullptr;
    QueueWatcher watcher_;
    PrinterName printer_ = {};
    Health health_ = Health::Off;
    bool told_ = false;
    Buffer printers_;
};

void Worker::Post(PrintEvent event, LPARAM value) {
    Lock lock(shared_.lock);
    if (shared_.window) PostMessageW(shared_.window, shared_.message, static_cast<WPARAM>(event), value);
}

void Worker::Tell(Health health) {
    if (told_ && health == health_) return;
    health_ = health, told_ = true;
    Post(PrintEvent::Health, static_cast<LPARAM>(health));
}

// Looked for among this PC's printers before it is opened: a connection's
// open waits on another computer, and a gone printer costs one call a time.
void Worker::Attempt() {
    if (!printer_[0]) return Tell(Health::Off);
    if (!spooler_) return Tell(Health::NoNotifications);
    bool offline = false;
    const Health found = Locate(*spooler_, printer_, printers_, offline);
    if (found != Health::On) return Tell(found);
    int jobs = 0;
    switch (watcher_.Start(spooler_, printer_, &jobs)) {
    case Watch::On: Tell(Health::On); break;
    case Watch::NoNotifications: return Tell(Health::NoNotifications);
    case Watch::Off:
    case Watch::PrinterGone:
    case Watch::NoSpooler: return Tell(Health::Retrying);
    }
    if (jobs > 0) Post(PrintEvent::Jobs, offline);
}

void Worker::Found(int jobs) {
    if (jobs <= 0) return;
    bool offline = false;
    Locate(*spooler_, printer_, printers_, offline);
    Post(PrintEvent::Jobs, offline);
}

void Worker::List() {
    Buffer names;
    DWORD count = 0;
    Watch watch = Watch::NoSpooler;
    if (spooler_ && ListPrinters(*spooler_, printers_, count)) {
        OwnPrinterNames(reinterpret_cast<const PRINTER_INFO_4W*>(printers_.Data()), count, names);
        // Asked of the chosen printer's watch, or of the print server: never
        // of a printer the user did not choose.
        watch = health_ == Health::On                ? Watch::On
                : health_ == Health::NoNotifications ? Watch::NoNotifications
                                                     : TryWatch(spooler_, nullptr);
    } else if (spooler_) {
        watch = TryWatch(spooler_, nullptr);
    }
    {
        Lock lock(shared_.lock);
        shared_.names.Swap(names);
        shared_.listWatch = watch;
        shared_.listed = true;
    }
    Post(PrintEvent::Listed, 0);
}

void Worker::TakeAsked() {
    bool chosen = false, list = false;
    {
        Lock lock(shared_.lock);
        chosen = shared_.chosen, list = shared_.listAsked;
        if (chosen) lstrcpynW(printer_, shared_.printer, NAME_CHARS);
        shared_.chosen = shared_.listAsked = false;
    }
    if (chosen) {
        watcher_.Begin(UtcNow());
        if (printer_[0]) Tell(Health::Starting);
        Attempt();
    }
    if (list) List();
}

// The queue's handle comes first: a change and a request waiting together
// are taken in that order, so what the window hears keeps the spooler's order.
void Worker::Run() {
    spooler_ = ActiveSpooler();
    ULONGLONG due = GetTickCount64() + RetryMs();
    for (;;) {
        HANDLE waits[3];
        DWORD count = 0;
        const HANDLE change = watcher_.ChangeHandle();
        if (change) waits[count++] = change;
        waits[count++] = shared_.stop.get();
        waits[count++] = shared_.wake.get();
        const bool scheduled = health_ != Health::Off && health_ != Health::NoNotifications;
        const ULONGLONG now = GetTickCount64();
        const DWORD wait = !scheduled ? INFINITE : due > now ? static_cast<DWORD>(due - now) : 0;
        const DWORD woke = WaitForMultipleObjects(count, waits, FALSE, wait);
        if (change && woke == WAIT_OBJECT_0) {
            Found(watcher_.TakeChanges());
            if (!watcher_.Running()) Tell(Health::Retrying), due = GetTickCount64() + RetryMs();
            continue;
        }
        const HANDLE which = woke == WAIT_TIMEOUT ? nullptr : waits[woke - WAIT_OBJECT_0];
        if (which == shared_.stop.get() || woke == WAIT_FAILED) break;
        if (which == shared_.wake.get()) {
            TakeAsked();
        } else if (watcher_.Running()) {
            // A handle from before a restart of the spooler is refused: made again at once.
            const int jobs = watcher_.Recheck();
            if (jobs < 0)
                Attempt();
            else
                Found(jobs);
        } else {
            Attempt();
        }
        if (which != shared_.wake.get() || !scheduled) due = GetTickCount64() + RetryMs();
    }
    watcher_.Stop();
}

DWORD WINAPI PrintWatch::Run(void* context) {
    auto* shared = static_cast<Shared*>(context);
    {
        Worker worker(*shared);
        worker.Run();
    }
    shared->Release();
    return 0;
}

bool PrintWatch::Start(HWND window, UINT message, const wchar_t* printer) {
    Stop();
    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(Shared));
    if (!memory) return false;
    auto* shared = new (memory) Shared(window, message);
    lstrcpynW(shared->printer, printer, NAME_CHARS);
    common::ScopedHandle thread(
        shared->stop && shared->wake ? CreateThread(nullptr, 0, &PrintWatch::Run, shared, 0, nullptr) : nullptr);
    if (!thread) {
        shared->refs = 1;
        shared->Release();
        return false;
    }
    SetEvent(shared->wake.get());
    shared_ = shared;
    thread_ = std::move(thread);
    return true;
}

void PrintWatch::Choose(const wchar_t* printer) {
    if (!shared_) return;
    {
        Lock lock(shared_->lock);
        lstrcpynW(shared_->printer, printer, NAME_CHARS);
        shared_->chosen = true;
    }
    SetEvent(shared_->wake.get());
}

void PrintWatch::AskPrinters() {
    if (!shared_) return;
    {
        Lock lock(shared_->lock);
        shared_->listAsked = true;
    }
    SetEvent(shared_->wake.get());
}

bool PrintWatch::Printers(Buffer& names, Watch& watch) const {
    if (!shared_) return false;
    Lock lock(shared_->lock);
    if (!shared_->listed) return false;
    if (!names.Resize(shared_->names.Size())) return false;
    CopyMemory(names.Data(), shared_->names.Data(), names.Size());
    watch = shared_->listWatch;
    return true;
}

void PrintWatch::Stop() {
    if (!shared_) return;
    SetEvent(shared_->stop.get());
    WaitForSingleObject(thread_.get(), STOP_WAIT_MS);
    thread_.reset();
    {
        Lock lock(shared_->lock);
        shared_->window = nullptr;  // a worker still in a call posts nothing more
    }
    shared_->Release();
    shared_ = nullptr;
}

}  // namespace printing
