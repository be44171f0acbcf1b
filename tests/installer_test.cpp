// The real setup program and uninstaller, run silently as an administrator's
// script would, and the real program started from where they put it.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <optional>

#include "remote/Protocol.h"
#include "settings/Language.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"
#include "window/Form1.h"
#include "window/Texts.h"

namespace {

using support::BinDir, support::Program, support::Utf8, support::ReadBytes, support::RegKeyExists, support::RegValue,
    support::SetRegValue, support::TempDir, support::WaitFor, support::WriteBytes;

constexpr wchar_t ENTRY_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Varnosklen";
constexpr DWORD FAILED = 2, LIBRARY_REFUSED = 3, WRONG_ACCOUNT = 4, FOLDER_UNUSABLE = 5, ANOTHER_SETUP = 6,
                NEWER_INSTALLED = 7, FILES_LEFT = 8;
constexpr wchar_t SETUP_MUTEX[] = L"Local\\Varnosklen.Setup";

bool IsFile(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Shortcut() {
    wchar_t programs[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    return std::wstring(programs) + L"\\Varnosklen.lnk";
}

std::wstring ShortcutTarget() {
    std::wstring target;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) return target;
    IPersistFile* file = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file)))) {
        if (SUCCEEDED(file->Load(Shortcut().c_str(), STGM_READ)) && link->GetPath(path, MAX_PATH, nullptr, 0) == S_OK)
            target = path;
        file->Release();
    }
    link->Release();
    return target;
}

// The window of the program running from this file.
HWND RunningFrom(const std::wstring& exe) {
    return support::FindWindowWhere(remote::WINDOW_CLASS, [&](HWND w) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, support::ProcessOf(w));
        wchar_t image[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        const bool same =
            process && QueryFullProcessImageNameW(process, 0, image, &size) && !_wcsicmp(image, exe.c_str());
        if (process) CloseHandle(process);
        return same;
    });
}

// The processes whose file's path begins with this, window or not: setup's
// own have all started by the time it has ended. Ended, when told, so that a
// failed case leaves none of this test's holding its output.
bool ProcessesFrom(const std::wstring& path, bool end = false) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {sizeof entry};
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        wchar_t image[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (process && QueryFullProcessImageNameW(process, 0, image, &size) &&
            !_wcsnicmp(image, path.c_str(), path.size())) {
            found = true;
            if (end) TerminateProcess(process, 1);
        }
        if (process) CloseHandle(process);
    }
    CloseHandle(snapshot);
    return found;
}
bool ProcessRunsFrom(const std::wstring& exe) { return ProcessesFrom(exe + L'\0'); }

// Windows' UAC switch, which Wine lacks: on, an elevated token is not the
// session's ordinary one.
void SetUac(DWORD on) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", L"EnableLUA",
                    REG_DWORD, &on, sizeof on);
}

// What NSIS programs leave in the temporary folder: their names begin "ns".
std::vector<std::wstring> NsisTemporaries() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((std::wstring(temp) + L"ns*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

// Each case installs into a folder of its own; what setup writes outside it
// is taken away before and after.
class Setup : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        Forget();
    }
    void TearDown() override {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        ProcessesFrom(std::wstring(base) + L"varnosklen-" + std::to_wstring(GetCurrentProcessId()) + L"-", true);
        Forget();
        CoUninitialize();
    }
    static void Forget() {
        RegDeleteKeyW(HKEY_CURRENT_USER, ENTRY_KEY);
        RegDeleteKeyW(HKEY_CURRENT_USER, settings::SETTINGS_KEY);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, settings::RUN_KEY, settings::RUN_VALUE);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, settings::STARTUP_APPROVED_KEY, settings::RUN_VALUE);
        DeleteFileW(Shortcut().c_str());
    }
    // /D= last, as NSIS takes the rest of the line; without it, into the
    // installed folder, as an upgrade is documented.
    DWORD Install(const std::wstring& switches = L"", const std::vector<std::wstring>& env = {}, bool folder = true,
                  const std::wstring& from = BinDir()) {
        Program setup(BinDir() + L"\\Varnosklen-1.0-setup.exe", from, env, false,
                      L"/S " + switches + (folder ? L" /D=" + dir : L""));
        return setup.WaitForExit(60000);
    }
    DWORD Upgrade(const std::wstring& switches = L"") { return Install(switches, {}, false); }
    // The entry's quiet uninstall command, as a deployment tool runs it: it
    // must end only with the work, and with its exit code.
    static DWORD Uninstall(std::wstring switches = L"") {
        const std::wstring command = RegValue(ENTRY_KEY, L"QuietUninstallString").value_or(L"\"\"");
        std::wstring arguments = command.substr(command.find(L'"', 1) + 1);
        arguments.insert(std::min(arguments.find(L"_?="), arguments.size()), L" " + switches + L" ");
        return Program(command.substr(1, command.find(L'"', 1) - 1), BinDir(), {}, false, arguments).WaitForExit(60000);
    }
    std::wstring File(const wchar_t* name) const { return dir + L"\\" + name; }
    std::wstring Exe() const { return File(L"Varnosklen.exe"); }
    std::wstring RunCommand() const { return L"\"" + Exe() + L"\" /tray"; }
    std::wstring Status(HWND window) const { return support::WindowText(GetDlgItem(window, Form1::ID_TEXT1)); }

    TempDir temp;
    std::wstring dir = temp.Path() + L"\\Varnosklen δοκιμή";
    const std::wstring library = BinDir() + L"\\AVR309.dll";
};

TEST_F(Setup, ASilentInstallPutsInPlaceWhatWasAskedAndTheProgramRunsFromThere) {
    TempDir onPath;
    ASSERT_TRUE(CopyFileW(library.c_str(), onPath.File(L"AVR309.dll").c_str(), FALSE));
    // N: is a network drive (scripts/lib.sh), which the program never searches.
    const std::wstring share = L"N:\\setup-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(share.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(library.c_str(), (share + L"\\AVR309.dll").c_str(), FALSE));
    // Setup runs in a folder that holds a library: "." on PATH must not find it.
    enum Library { None, Given, FoundOnPath };
    const struct {
        Library library;
        bool startWithWindows;
        std::wstring path;
    } cases[] = {
        {None, false, L"C:\\windows\\system32;."},
        {Given, true, L""},
        {FoundOnPath, false, L"C:\\windows\\system32;.;" + onPath.Path() + L"\\"},
        {None, false, L"C:\\windows\\system32;" + share},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "library " << c.library << ", start with Windows " << c.startWithWindows);
        Forget();
        TempDir where;
        dir = where.Path() + L"\\Varnosklen";
        std::wstring switches = c.startWithWindows ? L"/STARTWITHWINDOWS " : L"";
        if (c.library == Given) switches += L"/LIBRARY=\"" + library + L"\"";
        std::vector<std::wstring> env;
        if (!c.path.empty()) env.push_back(L"PATH=" + c.path);
        ASSERT_EQ(Install(switches, env), 0u);

        for (const wchar_t* name : {L"Varnosklen.exe", L"varnosklen-cli.exe"})
            EXPECT_EQ(ReadBytes(File(name)), ReadBytes(BinDir() + L"\\" + name)) << name;
        for (const wchar_t* name : {L"Uninstall.exe", L"DIAVASE-README.txt", L"LICENSE.txt", L"NOTICES.txt"})
            EXPECT_TRUE(IsFile(File(name))) << name;
        EXPECT_EQ(IsFile(File(L"AVR309.dll")), c.library != None);
        EXPECT_EQ(ShortcutTarget(), Exe());

        const std::wstring uninstaller = L"\"" + File(L"Uninstall.exe") + L"\"";
        const std::pair<const wchar_t*, std::wstring> entry[] = {
            {L"DisplayName", L"Varnosklen"},
            {L"DisplayVersion", L"1.0.0"},
            {L"Publisher", L"The Varnosklen developers"},
            {L"DisplayIcon", Exe()},
            {L"InstallLocation", dir},
            {L"UninstallString", uninstaller},
            {L"QuietUninstallString", uninstaller + L" /S _?=" + dir},
            {L"NoModify", L"1"},
            {L"NoRepair", L"1"},
        };
        for (const auto& [name, expected] : entry) EXPECT_EQ(RegValue(ENTRY_KEY, name), expected) << name;
        EXPECT_GE(std::stoul(RegValue(ENTRY_KEY, L"EstimatedSize").value_or(L"0")), ReadBytes(Exe()).size() / 1024);
        EXPECT_EQ(RegValue(settings::RUN_KEY, settings::RUN_VALUE),
                  c.startWithWindows ? std::optional(RunCommand()) : std::nullopt);

        Program program(Exe(), dir);
        ASSERT_TRUE(program.Window());
        EXPECT_TRUE(WaitFor(
            [&] { return Status(program.Window()) == (c.library == None ? texts::LIBRARY_MISSING : texts::PRESENT); }));
    }
    DeleteFileW((share + L"\\AVR309.dll").c_str());
    RemoveDirectoryW(share.c_str());
}

// Refused in a silent setup with its exit code, before anything is installed.
TEST_F(Setup, ALibraryIsRefusedUnlessItIsAWindowsLibraryForTheProgramsProcessor) {
    // A library's headers as far as setup reads them: MZ, the PE header's
    // place, the machine, the characteristics and the optional header's magic.
    const WORD ours = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    const auto headers = [](WORD machine, WORD characteristics, WORD magic = IMAGE_NT_OPTIONAL_HDR_MAGIC,
                            DWORD at = 0x40) {
        std::string bytes(0x200, '\0');
        bytes[0] = 'M', bytes[1] = 'Z';
        bytes.replace(0x3C, 4, reinterpret_cast<const char*>(&at), 4);
        bytes.replace(0x40, 4, "PE\0\0", 4);
        bytes[0x44] = char(machine), bytes[0x45] = char(machine >> 8);
        bytes[0x56] = char(characteristics), bytes[0x57] = char(characteristics >> 8);
        bytes[0x58] = char(magic), bytes[0x59] = char(magic >> 8);
        return bytes;
    };
    const WORD dll = IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE, otherMagic = IMAGE_NT_OPTIONAL_HDR_MAGIC ^ 0x300;
    const WORD otherBits = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
    const std::pair<const char*, std::string> cases[] = {
        {"a text file", "AVR309 library, honestly\r\n"},
        {"the program itself", ReadBytes(BinDir() + L"\\Varnosklen.exe")},
        {"a library of the other bitness", headers(otherBits, dll)},
        {"a library for ARM64", headers(0xAA64, dll)},
        {"our machine with the other optional header", headers(ours, dll, otherMagic)},
        {"its PE header placed before the file", headers(ours, dll, IMAGE_NT_OPTIONAL_HDR_MAGIC, 0xFFFFFFC0)},
        {"its headers cut short", headers(ours, dll).substr(0, 0x58)},
        {"no file", ""},
    };
    TempDir files;
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        const std::wstring file = files.File(L"AVR309.dll");
        DeleteFileW(file.c_str());
        if (!bytes.empty()) WriteBytes(file, bytes);
        EXPECT_EQ(Install(L"/LIBRARY=\"" + file + L"\""), LIBRARY_REFUSED);
        EXPECT_FALSE(IsFile(dir));
        EXPECT_FALSE(RegKeyExists(ENTRY_KEY));
    }
}

// Setup run again over the running program: it ends as its Exit ends it, is
// replaced, and comes back as it was, with its library, settings and start.
TEST_F(Setup, AnUpgradeEndsTheRunningProgramReplacesItAndStartsItAgainKeepingWhatItHad) {
    // Wine gives every process an elevated token; with UAC on, that setup is
    // elevated and must not start the program with its token.
    for (const auto& [inTheTray, uac] : {std::pair{false, false}, {true, false}, {true, true}}) {
        SCOPED_TRACE(testing::Message() << (inTheTray ? "in the tray" : "shown")
                                        << (uac ? ", elevated with UAC on" : ""));
        ASSERT_EQ(Install(L"/STARTWITHWINDOWS /LIBRARY=\"" + library + L"\""), 0u);
        SetRegValue(settings::SETTINGS_KEY, settings::HOTKEY_VALUE, L"Ctrl+Shift+F9");
        WriteBytes(File(L"varnosklen-cli.exe"), "an older command line");
        Program old(Exe(), dir, {}, true, inTheTray ? L"/tray" : L"");
        ASSERT_TRUE(WaitFor([&] { return Status(old.Window()) == texts::PRESENT; }));
        ASSERT_EQ(IsWindowVisible(old.Window()) != FALSE, !inTheTray);

        if (uac) SetUac(1);
        const DWORD code = Upgrade();
        if (uac) SetUac(0);
        ASSERT_EQ(code, 0u);
        EXPECT_EQ(old.WaitForExit(), 0u) << "ended through its window";
        EXPECT_EQ(ReadBytes(File(L"varnosklen-cli.exe")), ReadBytes(BinDir() + L"\\varnosklen-cli.exe"));
        EXPECT_EQ(RegValue(settings::RUN_KEY, settings::RUN_VALUE), RunCommand());
        if (uac) {
            EXPECT_FALSE(ProcessRunsFrom(Exe())) << "left for the next logon";
            continue;
        }
        HWND window = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (window = RunningFrom(Exe())) != nullptr; }));
        const DWORD id = support::ProcessOf(window);
        EXPECT_NE(id, old.Id());
        EXPECT_TRUE(WaitFor([&] { return Status(window) == texts::PRESENT; })) << "its library kept";
        EXPECT_EQ(IsWindowVisible(window) != FALSE, !inTheTray);
        EXPECT_EQ(RegValue(settings::SETTINGS_KEY, settings::HOTKEY_VALUE), L"Ctrl+Shift+F9");

        HANDLE again = OpenProcess(SYNCHRONIZE, FALSE, id);
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return WaitForSingleObject(again, 0) == WAIT_OBJECT_0; }));
        CloseHandle(again);
    }
}

// Whatever points at this copy goes; another copy's start, the user's own
// files and, unless asked, the settings stay.
TEST_F(Setup, TheUninstallerRemovesWhatIsThisCopysAndNothingElse) {
    enum Start { None, Ours, Another };
    // what, start, running, upgraded, a file of the user's, put there before setup (else after), settings removed
    const std::tuple<const char*, Start, bool, bool, const wchar_t*, bool, bool> cases[] = {
        {"a library of the same size and time in place of the one copied", None, false, false, L"AVR309.dll", false,
         false},
        {"started at logon and running", Ours, true, false, nullptr, false, false},
        {"another copy started at logon, after an upgrade", Another, false, true, nullptr, false, false},
        {"a file of the user's in the folder", None, false, false, L"notes.txt", false, false},
        {"the user's own library there before setup", None, false, false, L"AVR309.dll", true, false},
        {"the user's unusable library there before setup, another given", None, false, false, L"AVR309.dll.previous",
         true, false},
        {"the user's newer library in place of the one copied", None, false, false, L"AVR309.dll", false, false},
        {"the same, then an upgrade", None, false, true, L"AVR309.dll", false, false},
        {"the settings ticked for removal", None, false, false, nullptr, false, true},
    };
    const std::wstring another = L"\"C:\\Other\\Varnosklen\\Varnosklen.exe\" /tray";
    for (const auto& [what, start, running, upgraded, mine, before, removeSettings] : cases) {
        SCOPED_TRACE(what);
        CreateDirectoryW(dir.c_str(), nullptr);
        // An unusable library of the user's is set aside, never written over.
        const bool aside = mine && wcsstr(mine, L".previous");
        if (before && aside) WriteBytes(File(L"AVR309.dll"), "the user's library of the other bitness");
        if (before && !aside) {
            ASSERT_TRUE(CopyFileW(library.c_str(), File(mine).c_str(), FALSE));
        }
        ASSERT_EQ(Install((start == Ours ? L"/STARTWITHWINDOWS " : L"") +
                          (before && !aside ? L"" : L"/LIBRARY=\"" + library + L"\"")),
                  0u);
        // A library of the user's passes setup's check, so that an upgrade keeps it.
        if (mine && !before && !strcmp(what, "a library of the same size and time in place of the one copied")) {
            std::string bytes = ReadBytes(File(mine));
            FILETIME written = {};
            HANDLE file = CreateFileW(File(mine).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            GetFileTime(file, nullptr, nullptr, &written);
            CloseHandle(file);
            bytes.back() ^= 1;
            WriteBytes(File(mine), bytes);
            file = CreateFileW(File(mine).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            SetFileTime(file, nullptr, nullptr, &written);
            CloseHandle(file);
        } else if (mine && !before) {
            WriteBytes(File(mine), ReadBytes(library) + "mine");
        }
        if (upgraded) {
            ASSERT_EQ(Install(), 0u);
        }
        if (start == Another) SetRegValue(settings::RUN_KEY, settings::RUN_VALUE, another);
        const BYTE enabled[12] = {2};
        RegSetKeyValueW(HKEY_CURRENT_USER, settings::STARTUP_APPROVED_KEY, settings::RUN_VALUE, REG_BINARY, enabled,
                        sizeof enabled);
        SetRegValue(settings::SETTINGS_KEY, settings::HOTKEY_VALUE, L"Ctrl+Shift+F9");
        std::optional<Program> program;
        if (running) program.emplace(Exe(), dir);

        const auto temporaries = NsisTemporaries();
        ASSERT_EQ(Uninstall(removeSettings ? L"/REMOVESETTINGS" : L""), 0u);
        EXPECT_FALSE(RegKeyExists(ENTRY_KEY)) << "done when the command returns";
        EXPECT_EQ(program ? program->WaitForExit() : 0u, 0u) << "ended through its window";
        EXPECT_TRUE(WaitFor([&] { return !IsFile(File(L"Uninstall.exe")) && IsFile(dir) == (mine != nullptr); }))
            << "its own file and the folder, once it has ended";
        EXPECT_TRUE(WaitFor([&] { return NsisTemporaries() == temporaries; }))
            << "nothing left in the temporary folder";
        for (const wchar_t* name : {L"Varnosklen.exe", L"varnosklen-cli.exe", L"AVR309.dll", L"Uninstall.exe",
                                    L"DIAVASE-README.txt", L"LICENSE.txt", L"NOTICES.txt"})
            EXPECT_EQ(IsFile(File(name)), mine && !wcscmp(mine, name)) << name;
        EXPECT_FALSE(IsFile(Shortcut()));
        EXPECT_EQ(RegValue(settings::RUN_KEY, settings::RUN_VALUE),
                  start == Another ? std::optional(another) : std::nullopt);
        EXPECT_EQ(RegValue(settings::STARTUP_APPROVED_KEY, settings::RUN_VALUE).has_value(), start == Another)
            << "its Task Manager mark";
        EXPECT_EQ(RegKeyExists(settings::SETTINGS_KEY), !removeSettings);
        if (aside) {
            EXPECT_EQ(ReadBytes(File(mine)), "the user's library of the other bitness");
        }
        if (mine) DeleteFileW(File(mine).c_str());
        RemoveDirectoryW(dir.c_str());
        Forget();
    }
}

// A file setup cannot write ends it with code 2. A first install leaves
// nothing of its own; an upgrade leaves an installation that can be
// uninstalled; a move leaves the old one as it was; and the program it ended
// runs again.
TEST_F(Setup, AFileThatCannotBeWrittenLeavesNothingHalfDone) {
    enum Kind { First, Upgrade, Move };
    const std::pair<Kind, const wchar_t*> cases[] = {
        {First, L"Uninstall.exe"},        {First, L"varnosklen-cli.exe"}, {First, L"AVR309.dll"},
        {Upgrade, L"varnosklen-cli.exe"}, {Move, L"varnosklen-cli.exe"},
    };
    const wchar_t* ours[] = {L"Varnosklen.exe",     L"varnosklen-cli.exe", L"Uninstall.exe", L"AVR309.dll",
                             L"DIAVASE-README.txt", L"LICENSE.txt",        L"NOTICES.txt"};
    for (const auto& [kind, name] : cases) {
        SCOPED_TRACE(testing::Message() << kind << " with " << name << " held");
        TempDir other;
        const std::wstring installed = dir;
        std::optional<Program> old;
        if (kind != First) {
            ASSERT_EQ(Install(L"/STARTWITHWINDOWS /LIBRARY=\"" + library + L"\""), 0u);
            old.emplace(Exe(), dir);
        }
        if (kind == Move) dir = other.Path() + L"\\Νέος φάκελος";
        CreateDirectoryW(dir.c_str(), nullptr);
        const std::wstring held = File(name);
        HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(kind == Move ? Install() : Install(L"/LIBRARY=\"" + library + L"\""), FAILED);
        CloseHandle(file);
        if (kind == First || kind == Move) {
            for (const wchar_t* mine : ours) EXPECT_EQ(IsFile(File(mine)), !wcscmp(mine, name)) << mine;
        }
        if (kind == First) {
            EXPECT_FALSE(RegKeyExists(ENTRY_KEY));
            EXPECT_FALSE(IsFile(Shortcut()));
        } else {
            dir = installed;
            for (const wchar_t* mine : ours) EXPECT_TRUE(IsFile(File(mine))) << mine;
            EXPECT_EQ(RegValue(ENTRY_KEY, L"InstallLocation"), dir);
            EXPECT_EQ(RegValue(ENTRY_KEY, L"LibraryCopied"), L"1");
            EXPECT_EQ(RegValue(settings::RUN_KEY, settings::RUN_VALUE), RunCommand());
            EXPECT_EQ(ShortcutTarget(), Exe());
            EXPECT_EQ(old->WaitForExit(), 0u);
            EXPECT_TRUE(WaitFor([&] { return RunningFrom(Exe()) != nullptr; })) << "started again";
            EXPECT_EQ(Uninstall(), 0u);
            EXPECT_TRUE(WaitFor([&] { return !IsFile(dir); }));
        }
        DeleteFileW(held.c_str());
        RemoveDirectoryW(dir.c_str());
        Forget();
    }
}

// A folder that cannot be made or written is an error of its own, with
// nothing written: never another folder, and an installation stays as it was.
TEST_F(Setup, AFolderThatCannotBeUsedIsRefusedBeforeAnythingIsWritten) {
    TempDir bad;
    WriteBytes(bad.File(L"a file"), "in the way");
    const std::pair<const char*, std::wstring> cases[] = {
        {"a file of that name", bad.File(L"a file")},
        {"a file in place of its parent", bad.File(L"a file") + L"\\Varnosklen"},
        {"a drive that does not exist", L"K:\\Προγράμματα\\Varnosklen"},
    };
    wchar_t local[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
    const std::wstring fallback = std::wstring(local) + L"\\Programs\\Varnosklen";
    for (const bool installed : {false, true}) {
        const std::wstring good = temp.Path() + L"\\Varnos klen εγκατεστημένο";
        if (installed) {
            dir = good;
            ASSERT_EQ(Install(L"/LIBRARY=\"" + library + L"\""), 0u);
        }
        for (const auto& [what, folder] : cases) {
            SCOPED_TRACE(testing::Message() << what << (installed ? ", over an installation" : ""));
            dir = folder;
            EXPECT_EQ(Install(), FOLDER_UNUSABLE);
            EXPECT_FALSE(IsFile(fallback));
            EXPECT_EQ(ReadBytes(bad.File(L"a file")), "in the way");
            EXPECT_EQ(RegValue(ENTRY_KEY, L"InstallLocation"), installed ? std::optional(good) : std::nullopt);
            EXPECT_EQ(IsFile(Shortcut()), installed);
        }
        dir = good;
        if (installed) {
            SCOPED_TRACE("the installed folder on a drive that is gone, with no /D=");
            SetRegValue(ENTRY_KEY, L"InstallLocation", L"K:\\Varnosklen");
            EXPECT_EQ(Upgrade(), FOLDER_UNUSABLE);
            EXPECT_FALSE(IsFile(fallback));
            EXPECT_TRUE(IsFile(File(L"Uninstall.exe")));
            SetRegValue(ENTRY_KEY, L"InstallLocation", good);
            EXPECT_EQ(Uninstall(), 0u);
        }
    }
}

// A relative /LIBRARY= is the file of the folder setup was started from, as a
// deployment package passes one of its own.
TEST_F(Setup, ARelativeLibraryIsTheStartingFoldersFile) {
    TempDir package;
    CreateDirectoryW(package.File(L"οδηγοί USB").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(library.c_str(), package.File(L"AVR309.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(library.c_str(), package.File(L"οδηγοί USB\\AVR309.dll").c_str(), FALSE));
    for (const wchar_t* given : {L"AVR309.dll", L"\"οδηγοί USB\\AVR309.dll\"", L".\\AVR309.dll"}) {
        SCOPED_TRACE(testing::Message() << given);
        ASSERT_EQ(Install(std::wstring(L"/LIBRARY=") + given, {}, true, package.Path()), 0u);
        EXPECT_EQ(ReadBytes(File(L"AVR309.dll")), ReadBytes(library));
        ASSERT_EQ(Uninstall(), 0u);
        EXPECT_TRUE(WaitFor([&] { return !IsFile(dir); }));
    }
}

// A file the uninstaller cannot remove makes its exit code, and the entry
// and the uninstaller stay for a second try, which finishes.
TEST_F(Setup, AnUninstallThatLeavesAFileSaysSoAndCanBeRunAgain) {
    ASSERT_EQ(Install(L"/LIBRARY=\"" + library + L"\""), 0u);
    HANDLE file = CreateFileW(File(L"varnosklen-cli.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Uninstall(), FILES_LEFT);
    CloseHandle(file);
    EXPECT_EQ(RegValue(ENTRY_KEY, L"InstallLocation"), dir);
    EXPECT_TRUE(IsFile(File(L"Uninstall.exe")));
    EXPECT_TRUE(IsFile(File(L"varnosklen-cli.exe")));
    EXPECT_FALSE(IsFile(Exe()));
    const auto temporaries = NsisTemporaries();
    EXPECT_EQ(Uninstall(), 0u);
    EXPECT_FALSE(RegKeyExists(ENTRY_KEY));
    EXPECT_TRUE(WaitFor([&] { return !IsFile(dir); }));
    EXPECT_TRUE(WaitFor([&] { return NsisTemporaries() == temporaries; }));
}

// Setup stops with its own code, having written nothing, while another setup
// runs, before an installation of a newer version, and the uninstaller before
// a folder the account's entry does not name.
TEST_F(Setup, SetupAndTheUninstallerStopWhereTheyWouldWorkAgainstSomethingElse) {
    ASSERT_EQ(Install(), 0u);
    WriteBytes(File(L"varnosklen-cli.exe"), "as it was");
    HANDLE other = CreateMutexW(nullptr, TRUE, SETUP_MUTEX);
    EXPECT_EQ(Upgrade(), ANOTHER_SETUP);
    CloseHandle(other);
    SetRegValue(ENTRY_KEY, L"DisplayVersion", L"1.10.0");
    EXPECT_EQ(Upgrade(), NEWER_INSTALLED);
    EXPECT_EQ(RegValue(ENTRY_KEY, L"DisplayVersion"), L"1.10.0");
    EXPECT_EQ(ReadBytes(File(L"varnosklen-cli.exe")), "as it was");
    SetRegValue(ENTRY_KEY, L"DisplayVersion", L"1.0");
    EXPECT_EQ(Upgrade(), 0u) << "an earlier version's two parts";

    const std::wstring uninstaller = File(L"Uninstall.exe");
    for (const std::optional<std::wstring>& entry :
         {std::optional<std::wstring>(L"C:\\Elsewhere"), std::optional<std::wstring>()}) {
        SCOPED_TRACE(entry ? "another folder's entry" : "no entry");
        if (entry)
            SetRegValue(ENTRY_KEY, L"InstallLocation", *entry);
        else
            RegDeleteKeyW(HKEY_CURRENT_USER, ENTRY_KEY);
        EXPECT_EQ(Program(uninstaller, BinDir(), {}, false, L"/S _?=" + dir).WaitForExit(60000), WRONG_ACCOUNT);
        EXPECT_TRUE(IsFile(Exe()));
        EXPECT_TRUE(IsFile(Shortcut()));
    }
}

// The same folder by another spelling is no move: nothing just installed is
// removed; and a library of the user's elsewhere is never setup's copy.
TEST_F(Setup, AFolderIsKnownByItselfAndTheLibraryByItsContentAndFolder) {
    ASSERT_EQ(Install(L"/LIBRARY=\"" + library + L"\""), 0u);
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(dir.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortName), dir);
    const std::wstring installed = dir;
    dir = shortName;
    ASSERT_EQ(Install(), 0u);
    dir = installed;
    EXPECT_TRUE(IsFile(Exe()));
    EXPECT_EQ(RegValue(ENTRY_KEY, L"InstallLocation"), dir);
    EXPECT_EQ(ReadBytes(File(L"AVR309.dll")), ReadBytes(library));

    // The folder gone by hand; the user's own copy of the same library in
    // the next one.
    for (const wchar_t* name : {L"Varnosklen.exe", L"varnosklen-cli.exe", L"Uninstall.exe", L"AVR309.dll",
                                L"DIAVASE-README.txt", L"LICENSE.txt", L"NOTICES.txt"})
        DeleteFileW(File(name).c_str());
    ASSERT_TRUE(RemoveDirectoryW(dir.c_str()));
    TempDir next;
    dir = next.Path() + L"\\Varnosklen";
    CreateDirectoryW(dir.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(library.c_str(), File(L"AVR309.dll").c_str(), FALSE));
    ASSERT_EQ(Install(), 0u);
    ASSERT_EQ(Uninstall(), 0u);
    EXPECT_TRUE(WaitFor([&] { return !IsFile(Exe()); }));
    EXPECT_EQ(ReadBytes(File(L"AVR309.dll")), ReadBytes(library)) << "the user's";
}

// One installation at a time: setup into another folder moves it there, with
// its start at logon and the library it had copied; nothing is left behind.
TEST_F(Setup, InstallingElsewhereMovesTheInstallationWithWhatItHad) {
    ASSERT_EQ(Install(L"/STARTWITHWINDOWS /LIBRARY=\"" + library + L"\""), 0u);
    const std::wstring first = dir;
    TempDir elsewhere;
    dir = elsewhere.Path() + L"\\Άλλος φάκελος";
    ASSERT_EQ(Install(), 0u);
    EXPECT_FALSE(IsFile(first));
    EXPECT_EQ(ReadBytes(File(L"AVR309.dll")), ReadBytes(library));
    EXPECT_EQ(RegValue(settings::RUN_KEY, settings::RUN_VALUE), RunCommand());
    EXPECT_EQ(RegValue(ENTRY_KEY, L"InstallLocation"), dir);
    EXPECT_EQ(ShortcutTarget(), Exe());
    ASSERT_EQ(Uninstall(), 0u);
    EXPECT_TRUE(WaitFor([&] { return !IsFile(dir); })) << "the library it carried over was setup's to remove";
}

// Start with Windows follows Task Manager's mark, as the tray's item does:
// disabled there, it is unticked; ticked, the mark goes.
TEST_F(Setup, StartWithWindowsHonoursTaskManagersMark) {
    const BYTE disabled[12] = {3};
    for (const bool tick : {false, true}) {
        SCOPED_TRACE(tick ? "ticked" : "left as it shows");
        ASSERT_EQ(Install(L"/STARTWITHWINDOWS"), 0u);
        RegSetKeyValueW(HKEY_CURRENT_USER, settings::STARTUP_APPROVED_KEY, settings::RUN_VALUE, REG_BINARY, disabled,
                        sizeof disabled);
        ASSERT_EQ(Install(tick ? L"/STARTWITHWINDOWS" : L""), 0u);
        EXPECT_EQ(RegValue(settings::RUN_KEY, settings::RUN_VALUE), tick ? std::optional(RunCommand()) : std::nullopt);
        EXPECT_FALSE(RegValue(settings::STARTUP_APPROVED_KEY, settings::RUN_VALUE).has_value());
        ASSERT_EQ(Uninstall(), 0u);
    }
}

BOOL CALLBACK AddText(HWND child, LPARAM texts) {
    *reinterpret_cast<std::wstring*>(texts) += L"\n" + support::WindowText(child);
    return TRUE;
}

// The texts of a setup window and its controls, all in one.
std::wstring TextsOf(HWND window) {
    std::wstring all = support::WindowText(window);
    EnumChildWindows(window, AddText, reinterpret_cast<LPARAM>(&all));
    return all;
}

bool HasGreek(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x370 && c < 0x400; });
}

// Setup and the uninstaller speak the program's chosen language, else the
// display language. The uninstaller runs as a copy of itself in the
// temporary folder, so its window is found by its caption.
TEST_F(Setup, SetupAndTheUninstallerSpeakTheLanguageTheProgramSpeaks) {
    const bool systemGreek = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GREEK;
    const std::pair<const wchar_t*, bool> rows[] = {
        {nullptr, systemGreek}, {L"en", false}, {L"EN", false}, {L"El", true}, {L"fr", systemGreek}};
    ASSERT_EQ(Install(), 0u);
    for (const auto& [stored, greek] : rows) {
        SCOPED_TRACE(stored ? testing::Message() << Utf8(stored) : testing::Message() << "none");
        RegDeleteKeyValueW(HKEY_CURRENT_USER, settings::SETTINGS_KEY, settings::LANGUAGE_VALUE);
        if (stored) SetRegValue(settings::SETTINGS_KEY, settings::LANGUAGE_VALUE, stored);
        for (const bool uninstaller : {false, true}) {
            SCOPED_TRACE(uninstaller ? "the uninstaller" : "setup");
            Program run(uninstaller ? File(L"Uninstall.exe") : BinDir() + L"\\Varnosklen-1.0-setup.exe", BinDir(), {},
                        false);
            HWND window = nullptr;
            ASSERT_TRUE(WaitFor(
                [&] {
                    window = support::FindWindowWhere(L"#32770", [&](HWND w) {
                        return IsWindowVisible(w) && GetWindow(w, GW_OWNER) == nullptr &&
                               support::WindowText(w).find(L"Varnosklen") != std::wstring::npos &&
                               (uninstaller || support::ProcessOf(w) == run.Id());
                    });
                    return window != nullptr;
                },
                60000));
            const std::wstring texts = TextsOf(window);
            EXPECT_EQ(HasGreek(texts), greek) << Utf8(texts);
            const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, support::ProcessOf(window));
            ASSERT_NE(process, nullptr);
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
    }
    ASSERT_EQ(Uninstall(), 0u);
}

}  // namespace
