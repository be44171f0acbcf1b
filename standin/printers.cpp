// The real program with the stand-in spooler's printers in place of this
// PC's, for pictures of the settings with a printer chosen: Wine has no
// printers of its own without a print server.
//   StandInPrinters.exe [/tray]
#include <windows.h>

#include "printing/Spooler.h"
#include "standin/spooler.h"
#include "window/Form1.h"
#include "window/MessageLoop.h"
#include "window/StartOptions.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    printing::UseSpooler(standin::SpoolerModel::Table());
    standin::spooler.Reset({L"Laser on the switch", L"Office inkjet"});
    Form1 form(instance);
    if (!form.Create()) return 1;
    if (startoptions::Parse(GetCommandLineW()).tray)
        form.ShowInTray();
    else
        form.Show(show_command);
    int exit_code = 0;
    while (messageloop::HandleNext(form, exit_code)) {}
    return exit_code;
}
