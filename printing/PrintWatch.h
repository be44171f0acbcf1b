// The print switch's worker: a thread of its own that makes every call to
// the spooler, so that a slow or hung spooler never holds the window. It
// watches the chosen printer's queue, mends a watch the spooler dropped (a
// restart, a spooler not yet started), lists this PC's printers when asked,
// and posts what it learns to the window, which alone drives the box.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/Scoped.h"
#include "printing/QueueWatcher.h"

namespace printing {

// The watch as the window and the command line are told of it; numbered for
// the program's answer to the command line.
enum class Health : uint32_t {
    Off = 0,              // no printer chosen
    Starting = 1,         // the first attempt is under way
    On = 2,               // the spooler tells of the printer's jobs
    Retrying = 3,         // stopped (no spooler, or it restarted): tried again on the schedule
    PrinterGone = 4,      // no such printer of this PC: looked for again on the schedule
    Connection = 5,       // a connection to another computer's printer: ignored
    NoNotifications = 6,  // the spooler answers but tells nothing of jobs
};
inline constexpr uint32_t LAST_HEALTH = 6;

// What the worker posts: the message's wParam, its lParam as said.
enum class PrintEvent : WPARAM {
    Jobs = 1,    // new jobs of this user here; lParam 1 when the printer is set to use offline
    Health = 2,  // lParam the Health
    Listed = 3,  // a listing of the printers is ready (Printers)
};

class PrintWatch {
public:
    // How often a stopped watch is tried again and a running one checked for
    // a spooler that restarted: two calls or so a time, well under one per 10 s.
    static constexpr DWORD RETRY_MS = 30000;
    // Tests shorten it; read as each wait begins.
    static inline volatile DWORD retryMs = RETRY_MS;

    PrintWatch() = default;
    ~PrintWatch() { Stop(); }
    PrintWatch(const PrintWatch&) = delete;
    PrintWatch& operator=(const PrintWatch&) = delete;

    // The worker, posting message to window; printer empty for none.
    bool Start(HWND window, UINT message, const wchar_t* printer);
    // Another printer from now, or none (empty).
    void Choose(const wchar_t* printer);
    // A listing of this PC's printers, told by PrintEvent::Listed.
    void AskPrinters();
    // The last listing's names, one after another with a NUL after each, and
    // what watching the chosen printer (or the print server) gave. False
    // before the first listing.
    bool Printers(Buffer& names, Watch& watch) const;
    // The worker ends; one held in a hung call is left to end on its own.
    void Stop();

    struct Shared;

private:
    static DWORD WINAPI Run(void* shared);
    Shared* shared_ = nullptr;
    common::ScopedHandle thread_;
};

}  // namespace printing
