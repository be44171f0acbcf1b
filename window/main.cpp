// Varnosklen: shows whether the USB sharing switch is on the bus and sends it
// the command that passes the line through to the shared peripheral.
#include <windows.h>

#include "device/LibrarySearch.h"
#include "remote/Operations.h"
#include "remote/SingleInstance.h"
#include "window/Form1.h"
#include "window/MessageLoop.h"
#include "window/StartOptions.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    // Nothing is loaded from the current folder: neither the device library
    // (its search leaves that folder out) nor anything the library needs.
    device::KeepCurrentFolderOutOfDllSearch();
    const startoptions::StartOptions options = startoptions::Parse(GetCommandLineW());
    // Through the running copy if there is one, and never a window of its own.
    if (options.switchOnly) return remote::ExitCode(remote::Switch());

    SingleInstance single;
    if (!single.IsFirst()) return 0;

    Form1 form(instance);
    if (!form.Create()) return 1;
    single.Publish(form.Handle());
    if (options.tray)
        form.ShowInTray();
    else
        form.Show(show_command);

    int exit_code = 0;
    while (messageloop::HandleNext(form, exit_code)) {}
    return exit_code;
}
