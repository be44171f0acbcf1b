// Helpers for tests that drive real windows under Wine: waiting on a
// condition with a deadline, windows, processes, files, the registry and the
// stand-in box.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "standin/channel.h"

namespace support {

// Under Wine, whose ntdll exports its version; Windows' does not.
bool UnderWine();

// Handles this thread's messages until the condition holds or the deadline
// passes; true when it held.
bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms = 10000);
void PumpMessages();

std::wstring WindowText(HWND hwnd);
// The first top-level window of the class (null for any) that passes the test.
HWND FindWindowWhere(const wchar_t* cls, const std::function<bool(HWND)>& which);
DWORD ProcessOf(HWND hwnd);
// A key pressed and let go, posted to the window.
void Key(HWND target, UINT key);
// Whether the notification area holds the icon of the window.
bool IconExists(HWND hwnd);

// The folder of the running test executable, where the program and the
// stand-in library are built.
std::wstring BinDir();
std::string ReadBytes(const std::wstring& path);  // empty when unreadable
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string Utf8(const std::wstring& text);
std::vector<std::string> Lines(const std::string& text);

// Values under HKEY_CURRENT_USER. Read as text: a string as it is, a number
// in decimal, other data as ""; none when absent. Written as text of the type
// given, or as a number.
std::optional<std::wstring> RegValue(const wchar_t* key, const wchar_t* name);
void SetRegValue(const wchar_t* key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ);
void SetRegValue(const wchar_t* key, const wchar_t* name, DWORD number);
bool RegKeyExists(const wchar_t* key);

// Copies of a library that no process of ours can use: one marked as built
// for the other width than this process's, and one whose export of the
// function is renamed away. Both keep their name, AVR309.dll, where written.
bool CopyAsOtherArchitecture(const std::wstring& from, const std::wstring& to);
bool CopyWithoutExport(const std::wstring& from, const std::wstring& to, const char* function);

// The stand-in box of this test (named by AVR309_STANDIN).
class StandIn {
public:
    StandIn();
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    standin::Channel* operator->() const { return channel_; }
    standin::Channel* Get() const { return channel_; }
    void Reset();  // the box on the bus, no faults, no calls recorded
    LONG Mark() const { return channel_->callCount; }
    std::vector<standin::CallRecord> CallsSince(LONG mark) const;
    int CountSince(LONG mark, uint32_t op) const;  // the calls of one operation

private:
    HANDLE mapping_ = nullptr;
    standin::Channel* channel_ = nullptr;
};

// Waits for a process to end; its exit code, or STILL_ACTIVE.
DWORD WaitForExit(HANDLE process, DWORD timeout_ms = 10000);

// A process of the real program or its command line, ended (if still
// running) on destruction.
class Program {
public:
    // Starts exe in working_dir with the environment of this test plus extra
    // (entries "NAME=value") and the arguments; waits for its window unless
    // told not to. With output: no console, and its output and errors taken
    // through pipes into out and err.
    Program(const std::wstring& exe, const std::wstring& working_dir, const std::vector<std::wstring>& extra_env = {},
            bool wait_for_window = true, const std::wstring& arguments = L"", bool output = false);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    HWND Window() const { return window_; }
    DWORD Id() const { return process_.dwProcessId; }
    HWND Control(UINT id) const { return GetDlgItem(window_, static_cast<int>(id)); }
    DWORD WaitForExit(DWORD timeout_ms = 10000) { return support::WaitForExit(process_.hProcess, timeout_ms); }
    // Takes in what has been written; true once the process has ended.
    bool Read();
    // Reads to the end; the exit code, or STILL_ACTIVE.
    DWORD Finish(DWORD timeout_ms = 30000);
    void CloseOutput() { CloseHandle(std::exchange(pipes_[0], nullptr)); }
    std::string out, err;

private:
    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
    HANDLE pipes_[2] = {};  // output, errors
};

// Runs an action once, inside whatever modal loop this thread is in by then
// (a popup menu's, a message box's), as soon as find() gives a window. One
// at a time.
class WhenShown {
public:
    WhenShown(std::function<HWND()> find, std::function<void(HWND)> action);
    ~WhenShown();
    WhenShown(const WhenShown&) = delete;
    WhenShown& operator=(const WhenShown&) = delete;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    UINT_PTR timer_;
};

// A folder of its own under the temporary folder, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::wstring& Path() const { return path_; }
    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

}  // namespace support
