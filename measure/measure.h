// Shared by bench and soak: the stand-in box, started programs and their
// windows, process CPU time and memory, medians, and a report that prints a
// table and builds JSON at once.
#pragma once

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "standin/channel.h"

namespace measure {

inline constexpr wchar_t PROGRAM_CAPTION[] = L"Varnosklen v1.0 ";
inline constexpr wchar_t BARE_CAPTION[] = L"bare_timer";

inline std::wstring BinDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L"\\/"));
}

inline double Now() {  // seconds
    static const double period = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * period;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs this thread's messages, so windows of our own get painted.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Polls every millisecond or so until the condition holds; false on timeout.
template <typename Condition>
bool PollUntil(Condition condition, DWORD timeout_ms) {
    const double deadline = Now() + timeout_ms / 1000.0;
    while (!condition()) {
        if (Now() > deadline) return false;
        Sleep(1);
    }
    return true;
}

// A stand-in box of this process's own: named before anything loads the
// library, and inherited by every program it starts.
class Box {
public:
    explicit Box(const wchar_t* prefix) {
        const std::wstring name = prefix + std::to_wstring(GetCurrentProcessId());
        SetEnvironmentVariableW(L"AVR309_STANDIN", name.c_str());
        channel_ = standin::openChannel(&mapping_);
    }
    ~Box() { standin::closeChannel(channel_, mapping_); }
    Box(const Box&) = delete;
    Box& operator=(const Box&) = delete;

    bool Ok() const { return channel_ != nullptr; }
    standin::Channel* operator->() const { return channel_; }
    void Reset() {
        standin::resetBox(channel_);
        channel_->callCount = 0;
    }
    void BackOnBus() {
        channel_->onBus = 1;
        channel_->passedThrough = 0;
    }

private:
    HANDLE mapping_ = nullptr;
    standin::Channel* channel_ = nullptr;
};

inline double Ms(const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
}

// CPU time (kernel + user) of a process, in milliseconds. Wine gives no
// process times for other processes, but does give thread times: so the
// larger of the process's figure and the sum over its live threads.
inline double CpuMs(HANDLE process) {
    FILETIME created, ended, kernel, user;
    double own = 0;
    if (GetProcessTimes(process, &created, &ended, &kernel, &user)) own = Ms(kernel) + Ms(user);
    double threads = 0;
    const DWORD pid = GetProcessId(process);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return own;
    THREADENTRY32 entry = {sizeof entry};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        if (HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID)) {
            if (GetThreadTimes(thread, &created, &ended, &kernel, &user)) threads += Ms(kernel) + Ms(user);
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
    return std::max(own, threads);
}

struct Memory {
    double privateKb = 0;
    double workingSetKb = 0;
};

// Wine leaves PrivateUsage at 0; its PagefileUsage is the anonymous resident
// memory, and on Windows PagefileUsage is the same commit charge as PrivateUsage.
inline Memory MemoryOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) return {};
    const SIZE_T priv = pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
    return {priv / 1024.0, pmc.WorkingSetSize / 1024.0};
}

// Kernel handles of a process. Wine answers GetProcessHandleCount with 0, so
// then the system's handle list is counted instead.
inline DWORD HandleCount(HANDLE process) {
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count) return count;
    struct Entry {
        ULONG pid;
        BYTE type, flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    using Query = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const auto query =
        reinterpret_cast<Query>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation"));
    constexpr ULONG SYSTEM_HANDLE_INFORMATION = 16;
    if (!query) return 0;
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    LONG status;
    while ((status = query(SYSTEM_HANDLE_INFORMATION, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<LONG>(0xC0000004))  // STATUS_INFO_LENGTH_MISMATCH
        buffer.resize(buffer.size() * 2);
    if (status != 0) return 0;
    const ULONG total = *reinterpret_cast<ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    const DWORD pid = GetProcessId(process);
    for (ULONG i = 0; i < total && (i + 1) * sizeof(Entry) + sizeof(ULONG_PTR) <= buffer.size(); ++i)
        count += entries[i].pid == pid;
    return count;
}

// Under Wine on Linux the host's /proc shows through drive Z:. Its run time
// per task (schedstat, in ns) is far finer than the 10 ms steps of the times
// Wine reports, and it shows the wineserver's share too. Empty or -1 elsewhere.
namespace host {

inline std::string Read(const std::wstring& path) {
    HANDLE f =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(f, chunk, sizeof chunk, &got, nullptr) && got) text.append(chunk, got);
    CloseHandle(f);
    return text;
}

inline std::vector<std::wstring> List(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (data.cFileName[0] >= L'0' && data.cFileName[0] <= L'9') names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

// Host processes whose name starts so and that belong to this Wine prefix.
inline std::vector<std::wstring> Pids(const char* name) {
    char prefix[1024] = {};
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    const std::string mine = std::string("WINEPREFIX=") + prefix + '\0';
    std::vector<std::wstring> pids;
    for (const std::wstring& pid : List(L"Z:\\proc")) {
        if (Read(L"Z:\\proc\\" + pid + L"\\comm").rfind(name, 0) != 0) continue;
        if (prefix[0] && Read(L"Z:\\proc\\" + pid + L"\\environ").find(mine) == std::string::npos) continue;
        pids.push_back(pid);
    }
    return pids;
}

// The one new process of that name since `before`, or empty.
inline std::wstring NewPid(const char* name, const std::vector<std::wstring>& before) {
    std::wstring found;
    for (const std::wstring& pid : Pids(name)) {
        if (std::find(before.begin(), before.end(), pid) != before.end()) continue;
        if (!found.empty()) return {};
        found = pid;
    }
    return found;
}

// Run time of all the process's tasks, in ms; -1 when it cannot be read.
inline double CpuMs(const std::wstring& pid) {
    if (pid.empty()) return -1;
    const std::wstring tasks = L"Z:\\proc\\" + pid + L"\\task";
    double ns = 0;
    bool any = false;
    for (const std::wstring& task : List(tasks)) {
        const std::string stat = Read(tasks + L"\\" + task + L"\\schedstat");
        if (stat.empty()) continue;
        ns += std::strtod(stat.c_str(), nullptr);
        any = true;
    }
    return any ? ns / 1e6 : -1;
}

}  // namespace host

inline double FileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<double>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

// A program started from the bin folder; asked to close (then killed if it
// will not go) when dropped.
class Process {
public:
    explicit Process(const wchar_t* exe_name) {
        const std::wstring dir = BinDir();
        const std::wstring exe = dir + L"\\" + exe_name;
        std::wstring command = L"\"" + exe + L"\"";
        STARTUPINFOW startup = {sizeof startup};
        started_ = Now();
        if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                            &info_)) {
            std::fwprintf(stderr, L"cannot start %ls (error %lu)\n", exe.c_str(), GetLastError());
            info_ = {};
        }
    }
    ~Process() {
        if (Alive() && Close(5000) == STILL_ACTIVE) TerminateProcess(info_.hProcess, 99);
        if (info_.hThread) CloseHandle(info_.hThread);
        if (info_.hProcess) CloseHandle(info_.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    HANDLE Handle() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }
    double Started() const { return started_; }
    bool Alive() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

    // Its top-level window with this caption, or null.
    HWND Window(const wchar_t* caption) const {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, caption));) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == info_.dwProcessId) return w;
        }
        return nullptr;
    }
    HWND WaitVisible(const wchar_t* caption, DWORD timeout_ms = 20000) const {
        HWND w = nullptr;
        PollUntil([&] { return (w = Window(caption)) && IsWindowVisible(w); }, timeout_ms);
        return w && IsWindowVisible(w) ? w : nullptr;
    }

    // Sends WM_CLOSE to its windows and waits; its exit code, or STILL_ACTIVE.
    DWORD Close(DWORD timeout_ms) {
        EnumWindows(CloseWindowOf, static_cast<LPARAM>(info_.dwProcessId));
        WaitForSingleObject(info_.hProcess, timeout_ms);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    static BOOL CALLBACK CloseWindowOf(HWND w, LPARAM pid) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == static_cast<DWORD>(pid) && !GetWindow(w, GW_OWNER)) PostMessageW(w, WM_CLOSE, 0, 0);
        return TRUE;
    }

    PROCESS_INFORMATION info_ = {};
    double started_ = 0;
};

// Prints each figure as a table row and keeps it for the JSON file.
class Report {
public:
    void Section(const char* key, const char* title) {
        CloseSection();
        std::printf("\n%s\n", title);
        json_ += std::string(json_.size() > 1 ? ",\n" : "\n") + "  \"" + key + "\": {";
        open_ = true;
        first_ = true;
    }
    void Figure(const char* key, const char* label, double value, const char* unit, int decimals = 1) {
        std::printf("  %-52s %12.*f %s\n", label, decimals, value, unit);
        Raw(key, Number(value));
    }
    void Text(const char* key, const std::string& value) {
        std::string quoted = "\"";
        for (char c : value) {
            if (c == '"' || c == '\\') quoted += '\\';
            if (static_cast<unsigned char>(c) >= 0x20) quoted += c;
        }
        Raw(key, quoted + "\"");
    }
    void Raw(const char* key, const std::string& json) {
        json_ += std::string(first_ ? "" : ",") + (open_ ? "\n    \"" : "\n  \"") + key + "\": " + json;
        first_ = false;
    }
    static std::string Number(double v) {
        char text[40];
        std::snprintf(text, sizeof text, "%.6g", v);
        return text;
    }
    bool Write(const char* path) {
        CloseSection();
        FILE* f = std::fopen(path, "wb");
        if (!f) return false;
        std::fprintf(f, "%s\n}\n", json_.c_str());
        return std::fclose(f) == 0;
    }

private:
    void CloseSection() {
        if (open_) json_ += "\n  }";
        open_ = false;
        first_ = false;
    }
    std::string json_ = "{";
    bool open_ = false;
    bool first_ = true;
};

}  // namespace measure
