#include "printing/Spooler.h"

namespace printing {

namespace {

const Spooler* chosen = nullptr;

template <typename Function>
bool Bind(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(GetProcAddress(module, name));
    return function != nullptr;
}

}  // namespace

// Loaded only when a printer is chosen or asked about: a program with the
// switch off never maps the spooler's client.
const Spooler* SystemSpooler() {
    static Spooler table = {};
    static bool tried = false, bound = false;
    if (tried) return bound ? &table : nullptr;
    tried = true;
    // By its full path in the system folder, never by a search.
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (!length || length + 14 > MAX_PATH) return nullptr;
    lstrcatW(path, L"\\winspool.drv");
    HMODULE module = LoadLibraryW(path);
    if (!module) return nullptr;  // kept for the process's life once loaded
    bound = Bind(module, "OpenPrinterW", table.openPrinter) && Bind(module, "ClosePrinter", table.closePrinter) &&
            Bind(module, "EnumPrintersW", table.enumPrinters) && Bind(module, "EnumJobsW", table.enumJobs) &&
            Bind(module, "FindFirstPrinterChangeNotification", table.findFirstChange) &&
            Bind(module, "FindNextPrinterChangeNotification", table.findNextChange) &&
            Bind(module, "FreePrinterNotifyInfo", table.freeNotifyInfo) &&
            Bind(module, "FindClosePrinterChangeNotification", table.findCloseChange);
    return bound ? &table : nullptr;
}

const Spooler* ActiveSpooler() { return chosen ? chosen : SystemSpooler(); }

void UseSpooler(const Spooler* spooler) { chosen = spooler; }

}  // namespace printing
