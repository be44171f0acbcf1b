#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <sstream>
#include <stdexcept>

namespace support {

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

namespace {
// A CTest entry is made for a code page (VARNOSKLEN_EXPECT_ACP). Wine takes
// it from LC_ALL for each process; Windows has one for the whole PC, so there
// an entry made for another is skipped whole, with the reason.
class MadeForThisCodePage : public testing::Environment {
    void SetUp() override {
        const char* made_for = getenv("VARNOSKLEN_EXPECT_ACP");
        if (made_for && !UnderWine() && UINT(atoi(made_for)) != GetACP())
            GTEST_SKIP() << "Made for a Windows whose code page is " << made_for << "; this one's is " << GetACP();
    }
};
const testing::Environment* const madeForThisCodePage = testing::AddGlobalTestEnvironment(new MadeForThisCodePage);
}  // namespace

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

HWND FindWindowWhere(const wchar_t* cls, const std::function<bool(HWND)>& which) {
    HWND w = nullptr;
    while ((w = FindWindowExW(nullptr, w, cls, nullptr)) && !which(w)) {}
    return w;
}

DWORD ProcessOf(HWND hwnd) {
    DWORD id = 0;
    GetWindowThreadProcessId(hwnd, &id);
    return id;
}

void Key(HWND target, UINT key) {
    PostMessageW(target, WM_KEYDOWN, key, 0);
    PostMessageW(target, WM_KEYUP, key, 0xC0000000);
}

bool IconExists(HWND hwnd) {
    NOTIFYICONDATAW probe = {NOTIFYICONDATAW_V1_SIZE, hwnd};
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    const bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes.data(), DWORD(bytes.size()), &wrote, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok && wrote == bytes.size();
}

std::string Utf8(const std::wstring& text) {
    std::string bytes(text.size() * 3 + 1, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), int(bytes.size()), 0, 0) - 1);
    return bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::optional<std::wstring> RegValue(const wchar_t* key, const wchar_t* name) {
    BYTE data[2048] = {};
    DWORD type = 0, size = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, &type, data, &size)) return std::nullopt;
    if (type == REG_DWORD) return std::to_wstring(*reinterpret_cast<DWORD*>(data));
    return type == REG_SZ ? reinterpret_cast<wchar_t*>(data) : L"";
}

void SetRegValue(const wchar_t* key, const wchar_t* name, const std::wstring& text, DWORD type) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, type, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
}

void SetRegValue(const wchar_t* key, const wchar_t* name, DWORD number) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &number, sizeof number);
}

bool RegKeyExists(const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened)) return false;
    RegCloseKey(opened);
    return true;
}

bool CopyAsOtherArchitecture(const std::wstring& from, const std::wstring& to) {
    std::string bytes = ReadBytes(from);
    if (bytes.size() < 0x40) return false;
    const uint32_t pe = *reinterpret_cast<const uint32_t*>(&bytes[0x3C]);
    if (pe + 26 > bytes.size()) return false;
    const bool x86 = sizeof(void*) == 4;
    const uint16_t machine = x86 ? 0x8664 : 0x014C, magic = x86 ? 0x20B : 0x10B;
    memcpy(&bytes[pe + 4], &machine, 2);
    memcpy(&bytes[pe + 24], &magic, 2);
    return WriteBytes(to, bytes);
}

bool CopyWithoutExport(const std::wstring& from, const std::wstring& to, const char* function) {
    std::string bytes = ReadBytes(from);
    const std::string name = std::string(function) + '\0';
    int renamed = 0;
    for (size_t at = 0; (at = bytes.find(name, at)) != std::string::npos; at += name.size(), ++renamed)
        bytes[at + name.size() - 2] = '_';
    return renamed > 0 && WriteBytes(to, bytes);
}

std::wstring BinDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L"\\/"));
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

int StandIn::CountSince(LONG mark, uint32_t op) const {
    int n = 0;
    for (const auto& call : CallsSince(mark)) n += call.op == op;
    return n;
}

DWORD WaitForExit(HANDLE process, DWORD timeout_ms) {
    WaitFor([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, timeout_ms);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

// This process's environment with the entries ("NAME=value") put in or over
// it, as CreateProcessW takes it.
static std::wstring EnvironmentBlock(const std::vector<std::wstring>& extra) {
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

Program::Program(const std::wstring& exe, const std::wstring& working_dir, const std::vector<std::wstring>& extra_env,
                 bool wait_for_window, const std::wstring& arguments, bool output) {
    STARTUPINFOW startup = {sizeof startup};
    HANDLE writeEnds[2] = {};
    for (int i = 0; output && i < 2; ++i) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        CreatePipe(&pipes_[i], &writeEnds[i], &inherit, 0);
        SetHandleInformation(pipes_[i], HANDLE_FLAG_INHERIT, 0);
    }
    startup.dwFlags = output ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = writeEnds[0], startup.hStdError = writeEnds[1];
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    std::wstring env = EnvironmentBlock(extra_env);
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | (output ? CREATE_NO_WINDOW : 0);
    const bool started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, output, flags, env.data(),
                                        working_dir.c_str(), &startup, &process_);
    for (HANDLE h : writeEnds) CloseHandle(h);
    if (!started) throw std::runtime_error("cannot start the program");
    if (!wait_for_window) return;
    const auto mine = [&](HWND w) {
        return ProcessOf(w) == process_.dwProcessId && !GetWindow(w, GW_OWNER) && WindowText(w) == L"Varnosklen v1.0 ";
    };
    WaitFor([&] { return (window_ = FindWindowWhere(nullptr, mine)) != nullptr; }, 20000);
}

Program::~Program() {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForExit(5000) == STILL_ACTIVE) TerminateProcess(process_.hProcess, 99);
    }
    for (HANDLE h : {pipes_[0], pipes_[1], process_.hProcess, process_.hThread}) CloseHandle(h);
}

bool Program::Read() {
    const bool ended = WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
    char chunk[4096];
    DWORD available = 0, got = 0;
    for (int i : {0, 1}) {
        while (pipes_[i] && PeekNamedPipe(pipes_[i], nullptr, 0, nullptr, &available, nullptr) && available &&
               ReadFile(pipes_[i], chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr))
            (i ? err : out).append(chunk, got);
    }
    return ended;
}

DWORD Program::Finish(DWORD timeout_ms) {
    WaitFor([&] { return Read(); }, timeout_ms);
    return WaitForExit(0);
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
