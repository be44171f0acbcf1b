// A stand-in web browser for the tests: appends its first argument (the
// address it was asked to open) as one line to the file named by
// VARNOSKLEN_URL_LOG, followed by a tab and the show command it was given
// (-1 for none).
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t logPath[MAX_PATH] = {};
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!GetEnvironmentVariableW(L"VARNOSKLEN_URL_LOG", logPath, MAX_PATH) || argc < 2) return 2;
    STARTUPINFOW startup = {sizeof startup};
    GetStartupInfoW(&startup);
    wchar_t entry[1100] = {};
    wsprintfW(entry, L"%s\t%d\n", argv[1], (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1);
    char line[4096] = {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, entry, -1, line, sizeof line, nullptr, nullptr) - 1;
    // Several loggers may run at once: wait while another one holds the file.
    for (int attempt = 0; attempt < 500; ++attempt, Sleep(10)) {
        HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (log == INVALID_HANDLE_VALUE) continue;
        DWORD written = 0;
        WriteFile(log, line, DWORD(length), &written, nullptr);
        CloseHandle(log);
        return 0;
    }
    return 3;
}
