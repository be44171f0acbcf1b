#include "settings/Settings.h"

namespace settings {

namespace {

// A string value, whole and NUL-terminated, or false.
template <DWORD N>
bool ReadString(const wchar_t* key, const wchar_t* value, wchar_t (&text)[N]) {
    DWORD bytes = sizeof text;
    return RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, text, &bytes) ==
           ERROR_SUCCESS;
}

bool DisabledInTaskManager() {
    BYTE mark[64] = {};
    DWORD bytes = sizeof mark;
    return RegGetValueW(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, RUN_VALUE, RRF_RT_REG_BINARY, nullptr, mark, &bytes) ==
               ERROR_SUCCESS &&
           bytes > 0 && (mark[0] & 1);
}

}  // namespace

Hotkey ReadHotkey() {
    HotkeyText text = {};
    Hotkey hotkey = NO_HOTKEY;
    if (!ReadString(SETTINGS_KEY, HOTKEY_VALUE, text) || !ParseHotkey(text, hotkey)) return DEFAULT_HOTKEY;
    return hotkey;
}

namespace {

bool WriteSetting(const wchar_t* value, DWORD type, const void* data, DWORD bytes) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, value, type, data, bytes) == ERROR_SUCCESS;
}

}  // namespace

bool WriteHotkey(const Hotkey& hotkey) {
    HotkeyText text;
    FormatHotkey(hotkey, text);
    const DWORD bytes = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t));
    return WriteSetting(HOTKEY_VALUE, REG_SZ, text, bytes);
}

bool ReadNotifications() {
    DWORD on = 1, bytes = sizeof on;
    const LSTATUS read =
        RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, NOTIFICATIONS_VALUE, RRF_RT_REG_DWORD, nullptr, &on, &bytes);
    if (read != ERROR_SUCCESS) return true;
    return on != 0;  // only 0 turns them off
}

bool WriteNotifications(bool on) {
    const DWORD value = on ? 1 : 0;
    return WriteSetting(NOTIFICATIONS_VALUE, REG_DWORD, &value, sizeof value);
}

bool MakeCommand(const wchar_t* program, const wchar_t* options, Command& command) {
    const int length = lstrlenW(program) + lstrlenW(options) + 3;  // two quotes and a blank
    if (length >= static_cast<int>(COMMAND_CHARS)) return false;
    command[0] = L'\0';
    const wchar_t* const parts[] = {L"\"", program, L"\" ", options};
    for (const wchar_t* part : parts) lstrcatW(command, part);
    return true;
}

bool StartsWithWindows(const Command& command) {
    Command written = {};
    return ReadString(RUN_KEY, RUN_VALUE, written) &&
           CompareStringOrdinal(written, -1, command, -1, TRUE) == CSTR_EQUAL && !DisabledInTaskManager();
}

bool SetStartWithWindows(const Command* command) {
    // Without a mark, Windows starts the value: the user's choice here is the latest.
    const LSTATUS unmarked = RegDeleteKeyValueW(HKEY_CURRENT_USER, STARTUP_APPROVED_KEY, RUN_VALUE);
    if (unmarked != ERROR_SUCCESS && unmarked != ERROR_FILE_NOT_FOUND && unmarked != ERROR_PATH_NOT_FOUND) return false;
    if (!command) return RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_KEY, RUN_VALUE) == ERROR_SUCCESS;
    const DWORD bytes = static_cast<DWORD>((lstrlenW(*command) + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(HKEY_CURRENT_USER, RUN_KEY, RUN_VALUE, REG_SZ, *command, bytes) == ERROR_SUCCESS;
}

}  // namespace settings
