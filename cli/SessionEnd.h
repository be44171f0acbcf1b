// The end of the user's session for a command that runs on (watch, switch
// --wait). A console program that has loaded user32 (the command line does
// once it talks to a running program, the device library may too) no longer
// hears of logoff and shutdown through its console handler: Windows tells it
// through its top-level windows instead. This one is hidden, and answers
// them between the command's sequences.
#pragma once

#include <windows.h>

namespace cli {

inline constexpr wchar_t SESSION_WINDOW_CLASS[] = L"Varnosklen.Session";

class SessionEnd {
public:
    // The process ends with this code when the session ends.
    explicit SessionEnd(int exit_code);
    ~SessionEnd();
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

    // Waits ms, answering the window meanwhile; Sleep where it could not be made.
    void Wait(DWORD ms);
};

}  // namespace cli
