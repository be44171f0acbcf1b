// The print switch: a new job of this user on the chosen printer, while the
// box is on the bus (the printer is on the other PC), presses as the button
// does. The job itself is left to Windows, which keeps it queued until the
// printer arrives. The spooler is asked only by the worker (PrintWatch); this
// decides, on the window's thread, what a job it tells of comes to.
#pragma once

#include <windows.h>

#include <optional>

#include "device/SwitchCommand.h"
#include "printing/PrintWatch.h"
#include "window/Notifier.h"

class PrintSwitch {
public:
    // What the worker posts to the window.
    static constexpr UINT MESSAGE = WM_APP + 2;

    // The chosen printer from the settings, watched from now.
    void Start(HWND window);
    // Another printer from now, or none (empty).
    void Change(const wchar_t* name);
    void Stop() { watch_.Stop(); }
    const wchar_t* Printer() const { return printer_; }
    printing::PrintWatch& Watch() { return watch_; }

    // The worker's word on its watch, and on its listings.
    void NoteHealth(LPARAM health) { health_ = static_cast<printing::Health>(health); }
    void NoteListed() { ++listings_; }
    printing::Health Health() const { return health_; }
    int Listings() const { return listings_; }

    // Whether a job is to press now: the last probe decides, as it decides
    // whether the button is on, and a press of these last moments (a burst's
    // first job, or the user's own) counts for it.
    bool Wants(device::DeviceState state, ULONGLONG now_ms, ULONGLONG passes_sent_at) const;
    // What the press came to: sent, or queued behind device work in progress
    // (told once that is done, by Settle). The notice to show, if any.
    std::optional<Notice> Pressed(bool sent, bool queued, ULONGLONG passes_sent_before, bool offline);
    // On each tick: a queued press, once no device work is left.
    std::optional<Notice> Settle(ULONGLONG passes_sent_at, bool device_idle);

private:
    std::optional<Notice> Outcome(bool sent, bool offline);

    printing::PrintWatch watch_;
    printing::PrinterName printer_ = {};  // whose jobs take the box; empty for none
    printing::Health health_ = printing::Health::Off;
    int listings_ = 0;
    bool failureSaid_ = false;  // a job's press that could not be made, told once
    bool queued_ = false;       // a job's press waits behind device work
    bool queuedOffline_ = false;
    ULONGLONG queuedFrom_ = 0;  // the passes' time before it
};
