#include "printing/PrinterSetting.h"

#include "settings/Settings.h"

namespace printing {

bool ReadChosenPrinter(PrinterName& name) {
    DWORD bytes = sizeof name;
    if (RegGetValueW(HKEY_CURRENT_USER, settings::SETTINGS_KEY, PRINTER_VALUE, RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr,
                     name, &bytes) != ERROR_SUCCESS)
        name[0] = L'\0';
    return name[0] != L'\0';
}

bool WriteChosenPrinter(const wchar_t* name) {
    if (!*name) {
        const LSTATUS removed = RegDeleteKeyValueW(HKEY_CURRENT_USER, settings::SETTINGS_KEY, PRINTER_VALUE);
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
    }
    const DWORD bytes = static_cast<DWORD>((lstrlenW(name) + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(HKEY_CURRENT_USER, settings::SETTINGS_KEY, PRINTER_VALUE, REG_SZ, name, bytes) ==
           ERROR_SUCCESS;
}

}  // namespace printing
