// Which printer's jobs take the box: a string under HKCU\Software\Varnosklen,
// the printer's name. Absent, empty or of another type: none, the switch off.
#pragma once

#include "printing/QueueWatcher.h"

namespace printing {

inline constexpr wchar_t PRINTER_VALUE[] = L"SwitchWhenPrintingTo";

// False (and an empty name) when none is chosen.
bool ReadChosenPrinter(PrinterName& name);
// An empty name removes the choice.
bool WriteChosenPrinter(const wchar_t* name);

}  // namespace printing
