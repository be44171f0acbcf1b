// What the command line asks of a start. Words it does not know are ignored,
// as they always were.
#pragma once

namespace startoptions {

// Started with Windows: straight into the notification area, the window unseen.
inline constexpr wchar_t TRAY[] = L"/tray";
// For shortcuts and launchers: switch as varnosklen-cli does, open no window,
// end with its exit code.
inline constexpr wchar_t SWITCH[] = L"/switch";

struct StartOptions {
    bool tray = false;
    bool switchOnly = false;
};

// The whole command line, the program's own path first; options are whole
// words in any case.
StartOptions Parse(const wchar_t* command_line);

}  // namespace startoptions
