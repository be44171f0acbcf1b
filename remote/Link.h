// Both ends of a request to the running program: the front end's, which
// finds the window and waits for its answer, and the window's, which answers.
#pragma once

#include <windows.h>

#include "remote/Protocol.h"

namespace remote {

// A program whose window has not taken a request within this is busy.
inline constexpr DWORD ANSWER_MS = 2000;
// Once its answer is taken, the longest the asker waits for the window to
// have carried the request out.
inline constexpr DWORD FINISH_MS = 30000;

// Whether a window, of any process, is of the class.
bool IsWindowOfClass(HWND window, const wchar_t* cls);

// Lets WM_COPYDATA reach the window from a process of a lower integrity
// level, only when this one runs elevated (the program run as administrator,
// or a command run elevated): the other end is then at Medium.
void AcceptCopyDataWhenElevated(HWND window);

enum class Asked {
    Answered,     // the program took the request and did it; answer says what it found
    Unconfirmed,  // it took a switch, then hung or ended before it said the press was done
    NoProgram,    // none is published, or its process has ended
    Busy,         // it did not take the request in time: nothing was done
    Refused       // it takes no request from this process (Trust.h): nothing was done
};

// Asks the running program and waits, at most ANSWER_MS for it to take the
// request and FINISH_MS more for it to finish. The request's id comes from
// the system's random generator: a process that did not see the request
// cannot make up an answer to it.
Asked Ask(Op op, Answer& answer);

// The window's end: offers the answer to the asker before acting on it; true
// when the asker took it.
bool OfferAnswer(HWND reply_to, HWND from, const Answer& answer);

}  // namespace remote
