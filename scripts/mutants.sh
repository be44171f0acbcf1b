#!/usr/bin/env bash
# Shows that the tests catch real faults: applies deliberate faults, one at a
# time, to a copy of the sources, builds it, runs the tests that should catch
# each, and prints a table. Not part of the test run (about 20 minutes).
#   scripts/mutants.sh [NAME-PATTERN]   (a regular expression on the faults' names)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

run_setup
say_architecture
start_private_display
init_prefix

copy="$BUILD_DIR/mutants/src"
rm -rf "$copy" && mkdir -p "$copy"
(cd "$ROOT" && git ls-files -co --exclude-standard -z | xargs -0 cp --parents -t "$copy")
build_dir="$BUILD_DIR/mutants/build"
toolchain=mingw-i686
if [ "$VARNOSKLEN_ARCH" = 64 ]; then toolchain=mingw-x86_64; fi
cmake -S "$copy" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain.cmake" -DWINE="$WINE_LOADER" >/dev/null

python3 - "$copy" "$build_dir" "${1:-}" <<'PY'
import os, re, subprocess, sys
src, build, only = sys.argv[1], sys.argv[2], sys.argv[3]

NSI = "packaging/installer.nsi"
# Setup's writes of its uninstaller and entry, and the copies that follow them.
nsi = open(os.path.join(src, NSI), encoding="utf-8").read()
WRITES = '  WriteUninstaller "$INSTDIR\\Uninstall.exe"\n  Call WriteEntry\n'
COPIES = nsi[nsi.find(WRITES) + len(WRITES):nsi.find('  ${If} $OldDir != ""\n    Call RemoveOldCopy')]
ENGLISH = {"LC_ALL": "en_US.UTF-8", "VARNOSKLEN_EXPECT_ACP": "1252"}
# fault, file, text, replacement, test executable, gtest filter[, environment]
FAULTS = [
    ("a pass mask out of order", "device/SwitchCommand.h", "{0x02, 0x01, 0x02}", "{0x01, 0x02, 0x02}",
     "form_test", "FormTest.APressSendsTheTenCalls*"),
    ("the XOR dropped", "device/SwitchCommand.cpp", "port_byte ^= mask;", "(void)mask;",
     "form_test", "FormTest.APressSendsTheTenCalls*"),
    ("a status of 257 read as absent", "device/SwitchCommand.cpp", "status == module1::DEVICE_NOT_PRESENT",
     "static_cast<uint8_t>(status) == module1::DEVICE_NOT_PRESENT", "form_test", "FormTest.ThePollShows*"),
    ("the button enabled while the box is absent", "window/StatusBox.cpp",
     "{Text(TextId::Absent), colours::ABSENT, ButtonChange::Disable,",
     "{Text(TextId::Absent), colours::ABSENT, ButtonChange::Enable,",
     "form_test", "FormTest.ThePollShows*"),
    ("a press shows the poll's long text", "window/StatusBox.cpp", "{Text(TextId::ShortPresent),",
     "{Text(TextId::Present),",
     "form_test", "FormTest.APressSendsTheTenCalls*"),
    ("Enter presses a disabled button", "window/Form1.cpp", "if (IsWindowEnabled(Command1)) Command1_Click();",
     "Command1_Click();", "form_test", "FormTest.EnterTheTrayItem*"),
    ("a repaint on every steady tick", "window/StatusBox.cpp", "if (text == text_) return;", "",
     "form_test", "FormTest.ThePollShows*"),
    ("a brush leaked per tick", "window/StatusBox.cpp", "brush_.reset(CreateSolidBrush(colour));",
     "brush_.release();\n    brush_.reset(CreateSolidBrush(colour));", "leak_test", "LeakTest.TicksAndPresses*"),
    ("the button's caption cut at 120 and 144 dpi", "window/Layout.cpp",
     "return std::max<int>(ideal.cy, twice.cy + (twice.cy - once.cy) + 2 * margin);", "return ideal.cy + 0 * twice.cy;",
     "form_test", "FormTest.ControlsLie*"),
    ("the icons in one size, stretched at 120 and 144 dpi", "resources/make_icon.py", "SIZES = (16, 20, 24, 32, 48)",
     "SIZES = (16,)", "resources_test", "ResourcesTest.EachIcon*"),
    ("the tip's NUL lost", "tray/TrayIconRecord.cpp", "field[kept] = '\\0';", "field[kept] = ' ';", "tray_test", "TrayIconRecord.*:TrayTest.TheIcon*"),
    ("the icon not deleted on destroy", "tray/APIStuff.cpp", "Notify(NIM_DELETE);", "",
     "tray_test", "TrayTest.TheIcon*"),
    ("the hook not passing a message on", "tray/APIStuff.cpp",
     "        return PassOn(hWnd, msg, wParam, lParam);\n    }\n    if (msg == WM_TIMER",
     "        return 0;\n    }\n    if (msg == WM_TIMER", "tray_test", "TrayTest.TheHook*"),
    ("the restore item enabled in the wrong state", "window/Form1.cpp",
     "trayMenu_.SetItemEnabled(ID_MNU_TRAY_RESTORE, true);", "trayMenu_.SetItemEnabled(ID_MNU_TRAY_RESTORE, false);",
     "tray_test", "TrayTest.TheHook*"),
    ("the icon not re-added on TaskbarCreated", "tray/APIStuff.cpp",
     "taskbarCreatedMessage != 0) RestoreTrayIcon();", "taskbarCreatedMessage != 0) {}",
     "tray_test", "TrayTest.ANewTaskbar*"),
    ("the current folder searched for the library", "device/LibrarySearch.cpp", "folder, length)) return;",
     "folder, length)) return;\n    if (at(PlaceKind::ProgramFolder, folder, GetCurrentDirectoryW(MAX_PATH, folder))) return;",
     "e2e_test", "EndToEnd.TheLibraryIsLoadedOnly*"),
    ("the current folder left in the command line's DLL search", "cli/main.cpp",
     "device::KeepCurrentFolderOutOfDllSearch();", "", "cli_test", "CommandLine.WhatTheLibraryNeeds*"),
    ("a missing library looked for on every tick", "device/LibrarySearch.h",
     "if (searched_ && !soon_ && now_ms - last_ < RETRY_MS) return false;", "",
     "form_test", "SearchSchedule.*"),
    ("a tick run inside a press", "window/Form1.cpp", "if (deviceBusy_) {", "if (false) {",
     "form_test", "FormTest.APressSendsTheTenCalls*"),
    ("the status unreadable in a dark scheme", "window/StatusBox.cpp",
     "contrast::Readable(colour_, {GetSysColor(COLOR_WINDOWTEXT)})", "GetSysColor(COLOR_WINDOWTEXT)",
     "form_test", "FormTest.EveryTextReads*"),
    ("the popup deaf to the right button", "tray/APIStuff.cpp", "TPM_RETURNCMD | TPM_RIGHTBUTTON | align",
     "TPM_RETURNCMD | align", "tray_test", "TrayTest.OpenRightClicked*"),
    ("a switch from the command line sent to an absent box", "remote/Operations.cpp",
     "if (probed.state == device::DeviceState::Present) device::SendSwitchPasses(port);",
     "device::SendSwitchPasses(port);", "cli_test", "CommandLine.StatusAndSwitch*"),
    ("an absent box reported with exit code 0", "remote/Operations.cpp",
     "case device::DeviceState::Absent: return 1;", "case device::DeviceState::Absent: return 0;",
     "cli_test", "CommandLine.StatusAndSwitch*"),
    ("an unknown option taken", "cli/Arguments.cpp", 'return Fail(L"unexpected argument", option);', "continue;",
     "cli_test", "CommandLine.BadInput*"),
    ("the command line driving the box beside the running program", "window/Form1.cpp",
     "    case WM_COPYDATA: return OnCopyData(", "    case WM_COPYDATA + 0x10000: return OnCopyData(",
     "cli_test", "CommandLine.StatusAndSwitch*"),
    ("the tray icon not following the box", "window/Form1.cpp", "if (view.badge != shownBadge_) {", "if (false) {",
     "tray_test", "TrayTest.TheIconChanges*"),
    ("a call to the shell on every steady tick", "window/Form1.cpp", "if (view.badge != shownBadge_) {",
     "if (true) {", "tray_test", "TrayTest.TheIconChanges*"),
    ("the hotkey pressing a disabled button", "window/Form1.cpp", "if (id == HOTKEY_ID) SwitchIfEnabled();",
     "if (id == HOTKEY_ID) Command1_Click();", "form_test", "FormTest.EnterTheTrayItem*"),
    ("a modifier named twice taken", "settings/Hotkey.cpp", "if (parsed.modifiers & modifier->value) return false;",
     "", "tray_test", "TrayTest.TheHotkeySetting*"),
    ("start with Windows never removed", "window/Form1.cpp",
     "ChangeStartWithWindows(!StartsWithWindows());", "ChangeStartWithWindows(true);",
     "tray_test", "TrayTest.StartWithWindows*"),
    ("a failed icon add never tried again", "tray/APIStuff.cpp",
     "SetTimer(FormHandle(), TRAY_RETRY_TIMER_ID, TRAY_RETRY_MS, nullptr);", "(void)0;", "tray_test",
     "TrayTest.WithoutAnIcon*"),
    ("/tray showing the window", "window/main.cpp", "form.ShowInTray();", "form.Show(show_command);",
     "e2e_test", "EndToEnd.StartedWithTray*"),
    ("the link opened hidden", "window/Form1.cpp", "nullptr, nullptr, SW_SHOWNORMAL);", "nullptr, nullptr, SW_HIDE);",
     "shell_test", "LinkTest.*"),
    ("the box's lock never waited for", "device/BoxLock.cpp", "const DWORD waited = wait(mutex, wait_ms);",
     "const DWORD waited = WAIT_OBJECT_0;", "cli_test", "CommandLine.TwoCommandsAtOnce*"),
    ("the poll probing in the middle of another program's sequence", "window/Form1.cpp",
     "WaitForSingleObject);\n        lock) {", "WaitForSingleObject);\n        true) {",
     "form_test", "FormTest.ThePollAndThePress*"),
    ("a press waiting for the box with the window's messages stopped", "window/Form1.cpp",
     "press ? WaitReadingMessages : WaitForSingleObject", "WaitForSingleObject",
     "form_test", "FormTest.ThePollAndThePress*"),
    ("the box driven without its lock", "device/BoxLock.cpp", "    if (!mutex) return;",
     "    if (!mutex) {\n        held_ = true;\n        return;\n    }", "cli_test", "CommandLine.WithoutTheBoxsLock*"),
    ("the box's lock open to everyone, low integrity included", "common/SharedSecurity.h",
     'L"D:P(A;;GA;;;SY)(A;;GA;;;OW)(A;;0x00100001;;;AU)S:(ML;;NWNX;;;ME)"', 'L"D:(A;;0x001F0001;;;WD)S:(ML;;NW;;;LW)"',
     "cli_test", "CommandLine.OthersMayOnly*"),
    ("a request from a Low process carried out", "remote/Trust.h", "integrity >= SECURITY_MANDATORY_MEDIUM_RID",
     "integrity >= SECURITY_MANDATORY_LOW_RID", "cli_test", "CommandLine.OnlyTheUsersOwn*"),
    ("a request from another user's process carried out", "remote/Trust.h", "return same_user && integrity",
     "return (void)same_user, integrity", "cli_test", "CommandLine.OnlyTheUsersOwn*"),
    ("a switch whose end was not confirmed printed as switched", "remote/Client.cpp",
     "return finished || !pressing ? Asked::Answered : Asked::Unconfirmed;", "return Asked::Answered;",
     "cli_test", "CommandLine.ASwitchTakenBy*"),
    ("the library's own dependencies found through PATH", "device/LibrarySearch.cpp",
     "setDefault && setDefault(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32)", "false",
     "cli_test", "CommandLine.WhatTheLibraryNeeds*"),
    ("the command line driving the box beside a busy program", "remote/Operations.cpp",
     "no_program = asked == Asked::NoProgram;", "no_program = asked != Asked::Answered;",
     "cli_test", "CommandLine.ABusyProgram*"),
    ("a request carried out after its asker gave up", "window/RemoteRequests.cpp",
     "if (taken && press)", "if (press)",
     "cli_test", "CommandLine.ARequestIsCarriedOut*"),
    ("the size check of a request removed", "remote/Protocol.h",
     "data->dwData != REQUEST_TAG || data->cbData != sizeof request || ", "data->dwData != REQUEST_TAG || ",
     "cli_test", "CommandLine.ARequestIsCarriedOut*"),
    ("a mapped network drive on PATH searched", "device/LibrarySearch.cpp",
     "return GetDriveTypeW(root) == DRIVE_REMOTE;", "return false;", "e2e_test", "EndToEnd.TheLibraryIsLoadedOnly*"),
    ("a UNC folder on PATH searched", "device/LibrarySearch.cpp",
     "if (length >= 2 && IsSlash(folder[0]) && IsSlash(folder[1])) return true;", "",
     "form_test", "SearchSchedule.NetworkAnd*"),
    ("an incomplete library kept", "device/module1.cpp", "    for (FARPROC& op : operations) op = nullptr;\n    library.reset();\n",
     "", "e2e_test", "EndToEnd.AMissingOperation*"),
    ("a 64-bit library reported as missing", "device/module1.cpp",
     "return found.otherArchitecture ? LibraryState::OtherArchitecture : LibraryState::LibraryMissing;",
     "return LibraryState::LibraryMissing;", "e2e_test", "EndToEnd.TheLibraryIsLoadedOnly*"),
    ("the Greek tip cut short in the 8-bit record on another code page", "tray/TrayIconRecord.cpp",
     "return bytes <= 0 || lossy || static_cast<size_t>(bytes) - 1 > TIP_MAX_BYTES;", "return false;",
     "tray_test", "TrayIconRecord.*"),
    ("WM_SYSCOMMAND compared whole", "tray/APIStuff.cpp", "const WPARAM command = wParam & SYSCOMMAND_MASK;",
     "const WPARAM command = wParam;", "tray_test", "TrayTest.TheHook*"),
    ("a start disabled in Task Manager shown as on", "settings/Settings.cpp", " && !DisabledInTaskManager()", "",
     "tray_test", "TrayTest.StartWithWindows*"),
    ("the old font freed before the new one is in place", "window/Form1.cpp",
     "    common::ScopedFont font(layout::CreateGuiFont(dpi_));",
     "    font_.reset(layout::CreateGuiFont(dpi_));\n    common::ScopedFont font(font_.release());",
     "form_test", "FormTest.ControlsLie*"),
    ("a notification on the user's own switch", "window/Form1.cpp", "notifier_.OwnSwitch(GetTickCount64());", "",
     "tray_test", "TrayTest.ASettledChange*"),
    ("a notification while the window shows", "window/Form1.cpp", "(IsWindowVisible(hwnd_) && !IsIconic(hwnd_))",
     "false", "tray_test", "TrayTest.ASettledChange*"),
    ("a stream of notifications from a flapping box", "window/Notifier.cpp",
     "if (now_ms - seenSince_ < SETTLE_MS) return std::nullopt;", "", "tray_test", "Notifier.*:TrayTest.ASettledChange*"),
    ("a press for another user's job", "printing/QueueWatcher.cpp",
     "return fresh && !(status & JOB_ENDED) && IsOwnJob(owner, machine, me);",
     "return fresh && !(status & JOB_ENDED);", "print_test", "PrintTest.OnlyANewJob*"),
    ("two presses for a burst", "window/PrintSwitch.cpp",
     "return !(passes_sent_at && now_ms - passes_sent_at < PRESS_HOLD_MS);", "return true;",
     "print_test", "PrintTest.OnlyANewJob*"),
    ("a press for a job while off the bus", "window/PrintSwitch.cpp",
     "if (state == device::DeviceState::Absent || queued_) return false;", "if (queued_) return false;",
     "print_test", "PrintTest.OnlyANewJob*"),
    ("a job paused or deleted: the queue opened with the rights to do it", "printing/QueueWatcher.cpp",
     "PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ACCESS_USE};",
     "PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ALL_ACCESS};", "print_test", "PrintTest.OnlyANewJob*"),
    ("the spooler asked in the tick", "window/Form1.cpp", "void Form1::Timer1_Timer() {\n",
     "void Form1::Timer1_Timer() {\n    printing::TryWatch(printing::ActiveSpooler(), printSwitch_.Printer());\n",
     "print_test", "PrintTest.OnlyANewJob*"),
    # Issue 29: a print watch that keeps working through a PC's day.
    ("a stopped watch never tried again", "printing/PrintWatch.cpp",
     "const bool scheduled = health_ != Health::Off && health_ != Health::NoNotifications;",
     "const bool scheduled = health_ == Health::On;", "print_test", "PrintTest.AWatchTheSpooler*"),
    ("a watch on handles from before a restart kept", "printing/PrintWatch.cpp",
     "const int jobs = watcher_.Recheck();", "const int jobs = 0;", "print_test", "PrintTest.AWatchTheSpooler*"),
    ("the printer opened on the window's thread", "window/PrintSwitch.cpp", "    watch_.Start(window, MESSAGE, printer_);",
     "    printing::TryWatch(printing::ActiveSpooler(), printer_);\n    watch_.Start(window, MESSAGE, printer_);",
     "print_test", "PrintTest.TheWindowAnswers*"),
    ("a job from another computer under this user's name", "printing/QueueWatcher.cpp",
     "return owner && machine && SameName(machine, me.machine) && SameName(WithoutPrefix(owner), me.user);",
     "return owner && SameName(WithoutPrefix(owner), me.user);", "print_test", "PrintTest.OnlyANewJob*"),
    ("an owner given as DOMAIN\\user taken for another", "printing/QueueWatcher.cpp",
     "SameName(WithoutPrefix(owner), me.user);", "SameName(owner, me.user);", "print_test", "PrintTest.OnlyANewJob*"),
    ("the job's machine not asked for", "printing/QueueWatcher.h", "JOB_NOTIFY_FIELD_USER_NAME, JOB_NOTIFY_FIELD_MACHINE_NAME,",
     "JOB_NOTIFY_FIELD_USER_NAME,", "print_test", "PrintTest.OnlyANewJob*"),
    ("a job between the watch's start and its first listing lost", "printing/QueueWatcher.cpp",
     "const int listed = Refresh();", "const int listed = (Refresh(), 0);", "print_test", "PrintTest.OnlyANewJob*"),
    ("the jobs queued before the watch taken for new", "printing/QueueWatcher.cpp",
     "const bool fresh = Submitted(job.Submitted) >= since;", "const bool fresh = true;",
     "print_test", "PrintTest.OnlyANewJob*"),
    ("connections to other computers' printers taken for this PC's", "printing/QueueWatcher.cpp",
     "bool IsOwnPrinter(const PRINTER_INFO_4W& printer) {\n",
     "bool IsOwnPrinter(const PRINTER_INFO_4W& printer) {\n    if (printer.pPrinterName) return true;\n",
     "print_test", "PrintTest.OnlyANewJob*:PrintTest.TheSettingsList*"),
    ("connected told for a press not yet sent", "window/PrintSwitch.cpp", "if (!queued) return Outcome(sent, offline);",
     "if (true) return Outcome(sent || queued, offline);", "print_test", "PrintSwitchNotice.*"),
    ("a printer set to use offline not told", "window/PrintSwitch.cpp",
     "offline ? TextId::NoticePrintSwitchedOffline : TextId::NoticePrintSwitched",
     "offline ? TextId::NoticePrintSwitched : TextId::NoticePrintSwitched", "print_test", "PrintTest.OnlyANewJob*"),
    ("a job before the first tick decided on no probe", "window/Form1.cpp",
     "    if (!probed_) RunDeviceWork(DeviceWork::Tick);", "", "print_test", "PrintTest.TheWindowAnswers*"),
    ("doctor's own watch while the program runs", "cli/Doctor.cpp", "switch (remote::AskPrintWatch(health)) {",
     "switch (remote::Route::Here) {", "cli_test", "CommandLine.DoctorReports*"),
    ("Cancel saving", "window/SettingsDialog.cpp", "case IDCANCEL: Close(); return TRUE;",
     "case IDCANCEL: Accept(); return TRUE;", "settings_test", "SettingsTest.ShowsWhatIsInForce*"),
    ("a Greek text shown on an English system", "window/Texts.cpp", "    en::LABEL3,\n", "    texts::LABEL3,\n",
     "form_test", "FormTest.EveryText*", ENGLISH),
    ("Greek for a Hebrew or Arabic display language", "settings/Language.cpp",
     "PRIMARYLANGID(user_ui_language) == LANG_GREEK ?", "PRIMARYLANGID(user_ui_language) != LANG_ENGLISH ?",
     "settings_test", "Language.*"),
    ("an English text shown on a Greek system", "window/Texts.cpp", "    texts::LABEL3,\n", "    en::LABEL3,\n",
     "form_test", "FormTest.StartsSearching*"),
    ("the language picked in force only after a restart", "window/Form1.cpp",
     "    for (const ControlText& c : CONTROL_TEXTS) SetWindowTextW(this->*c.control, Text(c.text));", "",
     "settings_test", "SettingsTest.ALanguagePicked*"),
    ("the tray menu's language only after a restart", "window/TrayMenu.cpp",
     "    for (const Item& item : ITEMS) SetItemText(popup_, item.id, const_cast<wchar_t*>(Text(item.text)));", "",
     "settings_test", "SettingsTest.ALanguagePicked*"),
    ("an English text too long for its control", "window/TextsEnglish.h",
     'L"Notify me when the device changes state"',
     'L"Notify me with a message in the notification area whenever the device changes its state"',
     "form_test", "FormTest.TheSettingsDialog*"),
    ("a taken hotkey accepted", "window/SettingsDialog.cpp", "if (!owner_->ChangeHotkey(hotkey)) {",
     "if (!owner_->ChangeHotkey(hotkey) && false) {", "settings_test", "SettingsTest.AHotkeyHeldElsewhere*"),
    ("the uninstaller leaving the Run value behind", NSI, "  Call un.ForgetStart\n", "",
     "installer_test", "Setup.TheUninstaller*"),
    ("the uninstaller removing another copy's Run value", NSI, "  Call ${un}StartsThis\n  ${If} $0 = 1", "  ${If} 1 = 1",
     "installer_test", "Setup.TheUninstaller*"),
    ("the settings lost on upgrade", NSI, '  SetOutPath "$INSTDIR"\n', '  SetOutPath "$INSTDIR"\n  DeleteRegKey HKCU "${SETTINGS_KEY}"\n',
     "installer_test", "Setup.AnUpgrade*"),
    ("the running program killed instead of asked to exit", NSI,
     "System::Call 'user32::PostMessageW(p r1, i ${WM_COMMAND}, p ${EXIT_COMMAND}, p 0)'",
     "System::Call 'kernel32::TerminateProcess(p r3, i 1)'", "installer_test", "Setup.AnUpgrade*"),
    ("the program not started again after an upgrade", NSI, "  Call RestartProgram\nSectionEnd", "SectionEnd",
     "installer_test", "Setup.AnUpgrade*"),
    ("a library of the other bitness accepted", NSI, "${ElseIf} $7 = ${MACHINE}", "${ElseIf} $7 <> 0",
     "installer_test", "Setup.ALibraryIsRefused*"),
    ("the library taken from the current folder", NSI, '${If} $R3 == ":\\"', "${If} 1 = 1",
     "installer_test", "Setup.ASilentInstall*"),
    ("the folder removed with the user's files", NSI, '  ${EndIf}\n  RMDir "$INSTDIR"\nSectionEnd',
     '  ${EndIf}\n  RMDir /r "$INSTDIR"\nSectionEnd',
     "installer_test", "Setup.TheUninstaller*"),
    ("the uninstaller removing a library setup did not copy", NSI, '${IfThen} $1 = 1 ${|} Delete "$INSTDIR\\${LIBRARY}" ${|}',
     'Delete "$INSTDIR\\${LIBRARY}"', "installer_test", "Setup.TheUninstaller*"),
    ("the copied library forgotten on upgrade", NSI, '  ${If} $OldDir != ""\n    DeleteRegValue', "  ${If} 1 = 1\n    DeleteRegValue",
     "installer_test", "Setup.TheUninstaller*"),
    ("a library put in place of the copied one taken as setup's", NSI, "  ${AndIf} $2 == $7\n", "",
     "installer_test", "Setup.TheUninstaller*"),
    ("an unusable library of the user's written over", NSI, '    Call AsideName\n    ${If} $Aside != ""\n',
     '    ${If} $Aside != ""\n', "installer_test", "Setup.TheUninstaller*"),
    ("the quiet uninstall ending at once", NSI, "Uninstall.exe\" /S _?=$INSTDIR'", "Uninstall.exe\" /S'",
     "installer_test", "Setup.TheUninstaller*"),
    ("the program not started again when setup fails", NSI, "Function .onInstFailed\n  Call RestartProgram\n",
     "Function .onInstFailed\n", "installer_test", "Setup.AFileThatCannot*"),
    ("the uninstaller and the entry written after the files", NSI, WRITES + COPIES, COPIES + WRITES,
     "installer_test", "Setup.AFileThatCannot*"),
    ("the old copy left behind by an install elsewhere", NSI, "    Call RemoveOldCopy\n", "",
     "installer_test", "Setup.InstallingElsewhere*"),
    ("a mapped network drive on PATH searched by setup", NSI, "${If} $R4 <> ${DRIVE_REMOTE}", "${If} 1 = 1",
     "installer_test", "Setup.ASilentInstall*"),
    ("a PE header outside the file read", NSI, "  ${If} $4 < 0x40\n  ${OrIf} $4 > $5\n", "  ${If} 1 = 0\n",
     "installer_test", "Setup.ALibraryIsRefused*"),
    ("the optional header's magic not checked", NSI, '${IfThen} $9 = ${OPTIONAL_MAGIC} ${|} StrCpy $1 "" ${|}',
     'StrCpy $1 ""', "installer_test", "Setup.ALibraryIsRefused*"),
    ("a start disabled in Task Manager shown ticked by setup", NSI, "  ${If} $R1 = 1\n    StrCpy $0 0\n  ${EndIf}\n", "",
     "installer_test", "Setup.StartWithWindowsHonours*"),
    ("Task Manager's mark left when setup ticks the start", NSI,
     '    DeleteRegValue HKCU "${APPROVED_KEY}" "${VALUE}"\n  ${Else}', "  ${Else}",
     "installer_test", "Setup.StartWithWindowsHonours*"),
]

def build_all():
    return subprocess.run(["cmake", "--build", build, "-j", str(os.cpu_count())],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

def run(exe, filter, extra={}):
    env = {**os.environ, "AVR309_STANDIN": "VarnosklenMutant", "VARNOSKLEN_EXPECT_ACP": "1253", **extra}
    done = subprocess.run([os.environ["WINE_LOADER"], exe + ".exe", "--gtest_filter=" + filter], cwd=os.path.join(build, "bin"), env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=900, text=True, errors="replace")
    if "Running 0 tests" in done.stdout:
        sys.exit(f"mutants: {exe} has no test {filter}")
    return done.returncode

faults = [f for f in FAULTS if re.search(only, f[0])]
if not build_all():
    sys.exit("mutants: the unchanged sources do not build")
for fault, file, text, replacement, exe, filter, *extra in faults:
    if open(os.path.join(src, file), encoding="utf-8").read().count(text) != 1:
        sys.exit(f"mutants: '{fault}': the text to change is not found once in {file}")
    if run(exe, filter, *extra) != 0:
        sys.exit(f"mutants: '{fault}': {exe} {filter} fails without the fault")
rows, missed = [], 0
for fault, file, text, replacement, exe, filter, *extra in faults:
    path = os.path.join(src, file)
    original = open(path, encoding="utf-8").read()
    open(path, "w", encoding="utf-8").write(original.replace(text, replacement))
    try:
        caught = "no (did not build)" if not build_all() else ("yes" if run(exe, filter, *extra) != 0 else "no")
    finally:
        open(path, "w", encoding="utf-8").write(original)
    missed += caught != "yes"
    rows.append((fault, f"{exe} {filter}", caught))
    print(f"{fault}: {caught}", file=sys.stderr)
build_all()

print("| Fault | Caught by | Caught |\n|---|---|---|")
for row in rows:
    print("| %s | `%s` | %s |" % row)
print(f"\n{len(rows) - missed} of {len(rows)} faults caught.")
sys.exit(1 if missed else 0)
PY
