#include "support/TestSupport.h"

#include <commctrl.h>
#include <shellapi.h>

#include <stdexcept>

namespace support {

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        PumpMessages();
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::wstring WindowText(HWND hwnd) {
    // WM_GETTEXT rather than GetWindowText: it also reads controls of other processes.
    wchar_t buffer[1024] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
}

int Dpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

RECT ClientRect(HWND hwnd) {
    RECT r = {};
    GetClientRect(hwnd, &r);
    return r;
}

namespace {

// The dark pixels a control paints inside its frame: its text.
int Ink(HWND control) {
    const RECT r = ClientRect(control);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    int ink = 0;
    for (int y = 4; y < r.bottom - 4; ++y) {
        for (int x = 4; x < r.right - 4; ++x) ink += GetGValue(GetPixel(dc, x, y)) < 128;
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
}

}  // namespace

bool TextFits(HWND control) {
    const RECT client = ClientRect(control);
    wchar_t cls[32] = {}, text[1024] = {};
    GetClassNameW(control, cls, 32);
    GetWindowTextW(control, text, 1024);
    const bool button = lstrcmpiW(cls, L"Button") == 0;
    const bool checkBox = button && (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    if (button && !checkBox) {
        // As much of the caption shows as when the button is far taller.
        const int shown = Ink(control);
        SetWindowPos(control, nullptr, 0, 0, client.right, client.bottom * 3, SWP_NOMOVE | SWP_NOZORDER);
        const int whole = Ink(control);
        SetWindowPos(control, nullptr, 0, 0, client.right, client.bottom, SWP_NOMOVE | SWP_NOZORDER);
        return shown > 0 && shown == whole;
    }
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SIZE line = {};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &line);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    if (lstrcmpiW(cls, L"Edit") == 0) {
        RECT format = {};
        SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        return SendMessageW(control, EM_GETLINECOUNT, 0, 0) * metrics.tmHeight <= format.bottom - format.top;
    }
    // A check box's text follows its box and a small gap.
    const int box = checkBox ? GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(6, Dpi(), 96) : 0;
    return line.cx + box <= client.right && line.cy <= client.bottom;
}

namespace {

std::string ReadAll(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr);
    CloseHandle(file);
    return bytes;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    const bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes.data(), DWORD(bytes.size()), &wrote, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok && wrote == bytes.size();
}

}  // namespace

bool CopyAsOtherArchitecture(const std::wstring& from, const std::wstring& to) {
    std::string bytes = ReadAll(from);
    if (bytes.size() < 0x40) return false;
    const uint32_t pe = *reinterpret_cast<const uint32_t*>(&bytes[0x3C]);
    if (pe + 26 > bytes.size()) return false;
    const bool x86 = sizeof(void*) == 4;
    const uint16_t machine = x86 ? 0x8664 : 0x014C, magic = x86 ? 0x20B : 0x10B;
    memcpy(&bytes[pe + 4], &machine, 2);
    memcpy(&bytes[pe + 24], &magic, 2);
    return WriteAll(to, bytes);
}

bool CopyWithoutExport(const std::wstring& from, const std::wstring& to, const char* function) {
    std::string bytes = ReadAll(from);
    const std::string name = std::string(function) + '\0';
    int renamed = 0;
    for (size_t at = 0; (at = bytes.find(name, at)) != std::string::npos; at += name.size(), ++renamed)
        bytes[at + name.size() - 2] = '_';
    return renamed > 0 && WriteAll(to, bytes);
}

std::wstring NetworkDrive() {
    if (GetDriveTypeW(L"N:\\") != DRIVE_REMOTE) return {};
    return L"N:\\";
}

std::wstring BinDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L"\\/"));
}

COLORREF BackColour(HWND parent, HWND control) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetBkColor(dc, RGB(1, 2, 3));
    SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    COLORREF colour = GetBkColor(dc);
    DeleteDC(dc);
    return colour;
}

COLORREF ScreenColour(HWND control) {
    POINT corner = {2, 2};
    ClientToScreen(control, &corner);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, corner.x, corner.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

StandIn::StandIn() {
    channel_ = standin::openChannel(&mapping_);
    if (!channel_) throw std::runtime_error("stand-in channel not available");
    Reset();
}

StandIn::~StandIn() { standin::closeChannel(channel_, mapping_); }

void StandIn::Reset() {
    standin::resetBox(channel_);
    channel_->callCount = 0;
}

std::vector<standin::CallRecord> StandIn::CallsSince(LONG mark) const {
    std::vector<standin::CallRecord> calls;
    const LONG count = channel_->callCount;
    for (LONG i = mark; i < count; ++i)
        calls.push_back(channel_->calls[static_cast<uint32_t>(i) % standin::CALL_LOG_SIZE]);
    return calls;
}

namespace {

struct FindData {
    DWORD processId;
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND hwnd, LPARAM lParam) {
    auto* data = reinterpret_cast<FindData*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == data->processId && GetWindow(hwnd, GW_OWNER) == nullptr && WindowText(hwnd) == data->caption) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::wstring EnvironmentBlock(const std::vector<std::wstring>& extra) {
    std::wstring block;
    wchar_t* env = GetEnvironmentStringsW();
    for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        bool replaced = false;
        for (const auto& e : extra) {
            const auto name = e.substr(0, e.find(L'=') + 1);
            if (_wcsnicmp(entry.c_str(), name.c_str(), name.size()) == 0) replaced = true;
        }
        if (!replaced) block += entry + L'\0';
    }
    FreeEnvironmentStringsW(env);
    for (const auto& e : extra) block += e + L'\0';
    block += L'\0';
    return block;
}

HWND FindProcessWindow(DWORD process_id, const wchar_t* caption) {
    FindData data = {process_id, caption, nullptr};
    EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

Program::Program(const std::wstring& exe, const std::wstring& working_dir, const std::vector<std::wstring>& extra_env,
                 bool wait_for_window, const std::wstring& arguments) {
    STARTUPINFOW startup = {sizeof startup};
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    std::wstring env = EnvironmentBlock(extra_env);
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, env.data(),
                        working_dir.c_str(), &startup, &process_)) {
        throw std::runtime_error("cannot start the program");
    }
    if (!wait_for_window) return;
    WaitFor(
        [&] {
            window_ = FindProcessWindow(process_.dwProcessId, L"Varnosklen v1.0 ");
            return window_ != nullptr;
        },
        20000);
}

Program::~Program() {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForExit(5000) == STILL_ACTIVE) TerminateProcess(process_.hProcess, 99);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

DWORD Program::WaitForExit(DWORD timeout_ms) {
    WaitFor([&] { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }, timeout_ms);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

namespace {
std::function<HWND()> shownFind;
std::function<void(HWND)> shownAction;
}  // namespace

WhenShown::WhenShown(std::function<HWND()> find, std::function<void(HWND)> action) {
    shownFind = std::move(find);
    shownAction = std::move(action);
    timer_ = SetTimer(nullptr, 0, 20, &WhenShown::Tick);
}

WhenShown::~WhenShown() { KillTimer(nullptr, timer_); }

void CALLBACK WhenShown::Tick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND shown = shownFind ? shownFind() : nullptr;
    if (!shown) return;
    KillTimer(nullptr, id);
    shownFind = nullptr;
    shownAction(shown);
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    path_ = std::wstring(base) + L"varnosklen-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(InterlockedIncrement(&counter));
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
    std::wstring from = path_ + L'\0';
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

}  // namespace support
