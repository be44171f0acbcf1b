// A stand-in web browser for the tests: appends the address it was asked to
// open (its command line after its own name) as one line to the file named
// by VARNOSKLEN_URL_LOG, followed by a tab and the show command it was given
// (-1 for none).
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t logPath[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"VARNOSKLEN_URL_LOG", logPath, MAX_PATH)) return 2;

    const wchar_t* args = GetCommandLineW();
    const bool quoted = *args == L'"';
    for (++args; *args && (quoted ? *args != L'"' : *args != L' '); ++args) {}
    if (*args == L'"') ++args;
    while (*args == L' ') ++args;

    // The handler's command quotes the address ("%1"): log it bare.
    wchar_t bare[1024] = {};
    lstrcpynW(bare, args, 1024);
    int n = lstrlenW(bare);
    if (n >= 2 && bare[0] == L'"' && bare[n - 1] == L'"') {
        bare[n - 1] = L'\0';
        MoveMemory(bare, bare + 1, static_cast<SIZE_T>(n) * sizeof(wchar_t));
    }

    STARTUPINFOW startup = {sizeof startup};
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    wchar_t entry[1100] = {};
    wsprintfW(entry, L"%s\t%d\n", bare, show);

    char line[4096] = {};
    int length = WideCharToMultiByte(CP_UTF8, 0, entry, -1, line, sizeof line, nullptr, nullptr);
    if (length <= 1) return 3;
    --length;  // without the terminating NUL

    // Several loggers may run at once: retry while another one holds the file.
    for (int attempt = 0; attempt < 500; ++attempt) {
        HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(log, line, static_cast<DWORD>(length), &written, nullptr);
            CloseHandle(log);
            return 0;
        }
        Sleep(10);
    }
    return 4;
}
