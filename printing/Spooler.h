// The spooler's calls the print switch makes, as one table: bound from
// winspool.drv in the program, from a stand-in in tests. Nothing in it can
// pause, resume, restart, move or delete a job.
#pragma once

#include <windows.h>
#include <winspool.h>

namespace printing {

struct Spooler {
    BOOL(WINAPI* openPrinter)(LPWSTR name, HANDLE* printer, PRINTER_DEFAULTSW* defaults);
    BOOL(WINAPI* closePrinter)(HANDLE printer);
    BOOL(WINAPI* enumPrinters)
    (DWORD flags, LPWSTR name, DWORD level, BYTE* buffer, DWORD bytes, DWORD* needed, DWORD* returned);
    BOOL(WINAPI* enumJobs)
    (HANDLE printer, DWORD first, DWORD count, DWORD level, BYTE* buffer, DWORD bytes, DWORD* needed, DWORD* returned);
    HANDLE(WINAPI* findFirstChange)(HANDLE printer, DWORD flags, DWORD options, void* notify_options);
    BOOL(WINAPI* findNextChange)(HANDLE change, DWORD* what, void* notify_options, void** info);
    BOOL(WINAPI* freeNotifyInfo)(PRINTER_NOTIFY_INFO* info);
    BOOL(WINAPI* findCloseChange)(HANDLE change);
};

// winspool.drv from the system folder, loaded at the first use and kept;
// null when it cannot be had whole.
const Spooler* SystemSpooler();

// The table in use: the system's unless a test put its stand-in here.
const Spooler* ActiveSpooler();
void UseSpooler(const Spooler* spooler);  // null: the system's again

}  // namespace printing
